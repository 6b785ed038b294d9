#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace platform {

// Loads a picture file with the decoder that its extension names (letter case
// doesn't matter): ".bmp" through Qt's image reader, ".jpg" and ".jpeg"
// through libjpeg. Any other extension is refused. Failures are thrown as
// platform::Error with a text for the user.
//
// `atLeast`, when valid, is the size of the area the picture will be shown
// in: a JPEG may then be decoded reduced (by libjpeg's DCT scaling) as long as
// it still covers that area in both directions. Other formats always load in
// full. `fullSize`, when given, receives the picture's size before reduction.
QImage loadPicture(const QString& path, const QSize& atLeast = QSize(),
                   QSize* fullSize = nullptr);

// The size a JPEG of `full` pixels decodes to when reduced for `atLeast`
// (libjpeg's eighths, rounded up as libjpeg rounds them). Equals `full` when
// no reduction fits.
QSize reducedJpegSize(const QSize& full, const QSize& atLeast);

}  // namespace platform
