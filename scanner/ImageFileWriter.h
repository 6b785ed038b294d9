#pragma once

// Encoding of acquired pages into the files the user keeps: Windows bitmap,
// JPEG (libjpeg) and TIFF (libtiff), chosen by the file name's extension.

#include <QImage>
#include <QString>

#include <optional>

enum class ImageFileFormat { Bmp, Jpeg, Tiff };

// By the path's extension, case-insensitive: bmp; jpg, jpeg; tif, tiff.
// nullopt otherwise.
std::optional<ImageFileFormat> imageFileFormatForPath(const QString& path);

// Writes `image` to `path` in `format`, recording `dotsPerInch` as the file's
// resolution.
//
// Pages come as QImage::Format_Mono (line art), Format_Grayscale8 or
// Format_RGB888; anything else is converted first (an indexed image with a
// grey palette to grey, everything else to RGB). By format:
//   BMP:  1-bit with a two-colour palette, 8-bit with a grey palette, 24-bit.
//   JPEG: quality 75; grey as one component (line art is written as grey),
//         colour as RGB; the JFIF density carries the resolution.
//   TIFF: 1-bit (CCITT Group 4, MinIsWhite or MinIsBlack to match the image's
//         palette), 8-bit grey or 24-bit RGB (uncompressed, so that a page
//         writes in milliseconds); resolution tags in inches.
//
// What a written file is for, which decides how it is put in place.
enum class ImageFileUse {
  // Replaces a file at the path, mode as the umask allows.
  Replace,
  // A temporary file of the program (the preview, a page's bitmap copy):
  // readable and writable by the user only (0600); replaces what stands at
  // the path, a link included, never writing through it.
  Temporary,
  // A page the user keeps: never replaces a file at the path, however it got
  // there (another copy of the program scanning to the same folder in the
  // same second), and is on the disk once the call returns: the file is
  // flushed before it is moved in, and the folder after.
  Kept,
};

// The file is written under a hidden temporary name in the same folder,
// created anew, and moved onto `path` only once it is complete, so a failure
// never leaves a half-written file at `path`. On failure returns false and
// sets *error (when given) to a reason that names the path, such as
// "Unable to write file '/x/y.bmp': No space left on device"; for a Kept file
// whose name was taken meanwhile *nameTaken (when given) is set as well and
// nothing is left behind.
bool writeImageFile(const QImage& image, const QString& path, ImageFileFormat format,
                    int dotsPerInch, QString* error, ImageFileUse use = ImageFileUse::Replace,
                    bool* nameTaken = nullptr);
