#pragma once

#include <QImage>
#include <QString>

namespace imagelist_fixtures {

enum class TiffKind { Colour, Grey, Bilevel };

// Writes `image` as a one-strip TIFF of the given kind (grey and bi-level take
// the red channel; bi-level thresholds it at 128).
void writeTiff(const QString& path, const QImage& image, TiffKind kind);
// A 2x1 RGBA TIFF of straight colours `left` and `right` (alpha included),
// stored with associated (premultiplied) or unassociated alpha as the
// EXTRASAMPLES tag says.
void writeTiffWithAlpha(const QString& path, QRgb left, QRgb right, bool associated);
// A TIFF whose header claims width x height pixels and carries almost no data.
void writeTiffHeaderOnly(const QString& path, quint32 width, quint32 height);
void writeJpeg(const QString& path, const QImage& image, int quality = 95);
void writeBmp(const QString& path, const QImage& image);
void writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path);
// Keeps only the first `fraction` of the file.
void truncateFile(const QString& path, double fraction);

// A small picture with four distinct quadrants, so orientation and channel
// order both show in a few samples.
QImage quadrants(int width, int height);

}  // namespace imagelist_fixtures
