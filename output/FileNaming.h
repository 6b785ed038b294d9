#pragma once

// Names of a scanned page: its output file in the destination folder, its
// temporary bitmap copy and its caption in the image list all carry the same
// time stamp, made unique against the destination folder.
//
// Shapes (Unique = the stamp after makeUniqueStamp):
//   output path     Folder + "/" + Base + "_" + Unique + "." + Ext
//   temporary copy  Temp + "/" + Base + "_" + Unique + ".bmp"
//   list caption    Base + "_" + Unique + "." + Ext
//   preview file    Temp + "/Brevalto.bmp"
// The separator after a folder is always inserted, even when the folder
// already ends with one; a doubled "/" is harmless and keeps names
// predictable.

#include <QDateTime>
#include <QString>

#include <functional>

namespace platform {
class RegionalFormats;
}

namespace output {

// What a page's names are made of, as read from the main window's controls
// when the page is handled.
struct NameParts {
  QString folder;  // destination folder, trimmed
  QString base;    // base file name, trimmed
  QString ext;     // extension of the chosen format ("bmp", "jpg", "tiff")
  QString temp;    // the temporary folder
};

// The three names of one page.
struct PageNames {
  QString outputPath;
  QString tempCopyPath;
  QString caption;
};

// Removes blanks and control characters (everything up to U+0020) from both
// ends; nothing inside the text is touched.
QString trimName(const QString& text);

// The first four characters of a format entry, trimmed, letters A-Z lowered:
// "BMP (Windows Bitmap)" -> "bmp", "JPG (JPEG)" -> "jpg",
// "TIFF (Tag Image File Format)" -> "tiff".
QString extensionForFormat(const QString& formatText);

// Parts from the raw texts of the destination, file name and format controls
// and the temporary folder.
NameParts nameParts(const QString& folderText, const QString& baseText, const QString& formatText,
                    const QString& tempFolder);

// The page's time stamp: the short date, then (unless the time of day is
// exactly 00:00:00) one blank and the long time; every ":" then "/" becomes
// "-", nothing else changes. 8 Dec 2009 23:45:10 gives "12-08-2009 11-45-10 PM"
// in en_US and "08.12.2009 23-45-10" in de_DE.
QString timeStamp(const QDateTime& local, const platform::RegionalFormats& formats);

// The same in the user's regional formats.
QString timeStamp(const QDateTime& local);

using FileExists = std::function<bool(const QString& path)>;

// Whether anything (file, folder, even a dangling link) occupies `path`.
bool pathIsTaken(const QString& path);

// Folder + "/" + Base + "_" + unique + "." + Ext.
QString outputPathFor(const NameParts& parts, const QString& unique);

// `stamp` when its output path is free, else stamp + "_k" for the smallest
// k = 1, 2, ... whose output path is free, so gaps left by deleted files are
// filled from below. Only the destination folder is asked.
QString makeUniqueStamp(const NameParts& parts, const QString& stamp, const FileExists& exists = pathIsTaken);

// All three names for the unique stamp.
PageNames pageNames(const NameParts& parts, const QString& unique);

// The one file every preview is saved to.
QString previewFilePath(const QString& tempFolder);

}  // namespace output
