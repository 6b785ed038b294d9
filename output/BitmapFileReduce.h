#pragma once

// Area-averaged reduction of a Windows bitmap straight from its file, a band
// of rows at a time, without ever holding the whole picture: the thumbnail of
// a 300 dpi page would otherwise decode 35 MB only to keep 4000 pixels.

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

namespace output {

// The same result as boxReduce(QImage(path), size), for the bitmaps this
// program writes: uncompressed, bottom-up, 24-bit, or 8-bit or 1-bit with a
// full palette. nullopt for any other file (another layout, a short or
// unreadable file, an empty size), which the caller then hands to Qt's reader.
std::optional<QImage> boxReduceBitmapFile(const QString& path, const QSize& size);

}  // namespace output
