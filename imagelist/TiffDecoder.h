#pragma once

#include <QImage>
#include <QString>

// Decodes the first image of a TIFF file through libtiff's RGBA reader into a
// 32-bit picture with premultiplied alpha. Throws platform::Error with the
// text for the user when the file can't be opened or the picture can't be
// made.
QImage decodeTiff(const QString& path);
