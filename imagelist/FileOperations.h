#pragma once

#include <QString>

// The file behind a list entry: the folder as the user typed it, a separator,
// and the caption. The separator is always inserted; a doubled one is harmless.
QString listedFilePath(const QString& folder, const QString& caption);

// Whether a typed caption can name a file in the folder: not empty, not "."
// or "..", no separator (which would move the file out of the folder).
bool isPlainFileName(const QString& name);

// Renames a regular file without ever replacing an existing file of the new
// name. False when nothing was renamed, also when `from` is no regular file.
bool renameWithoutReplacing(const QString& from, const QString& to);

// Deletes the file for good (no waste bin). False when it is still there.
bool deleteFile(const QString& path);
