#pragma once

#include "preview/FloatRect.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// Fitting a preview scan into the pane: the factor, the image area the layer
// takes and the size of the bitmap it holds.
namespace preview_fit {

struct Fit {
  float factor = 0;    // k, the smaller of pane / source per axis
  FloatRect area;      // (0, 0, W * k, H * k)
  QSize bitmap;        // the scaled bitmap, whole pixels
};

// Source and pane sizes in pixels; the source must not be empty.
Fit fit(QSize pane, QSize source);

// The preview scale after a preview at `resolution` dots per inch.
float previewScale(int resolution, float factor);

// Box-filter resample of the whole `source` into an opaque 32-bit bitmap of
// `size`: each destination pixel is the area-weighted average of the source
// pixels it covers. Works through the source a strip at a time so a large scan
// costs no second copy of itself. Weights are fixed-point, so a result can
// differ from exact arithmetic by one level in a rare rounding.
QImage resample(const QImage& source, QSize size);

// The same for a bitmap file this program writes (see platform::BitmapFile),
// read a band of rows at a time: the preview is never decoded whole. nullopt
// for any other file or an empty size.
std::optional<QImage> resampleBitmapFile(const QString& path, QSize size);

// Reads the picture at `path` and resamples it to fit `pane`. Throws
// platform::Error naming the path when it can't be read or isn't a picture.
// On a screen scaled by `ratio` the fit stays in the pane's pixels and the
// bitmap holds ratio times the pixels each way, with that device pixel ratio.
struct Loaded {
  Fit fit;
  QImage bitmap;
};
Loaded loadFitted(const QString& path, QSize pane, qreal ratio = 1.0);

}  // namespace preview_fit
