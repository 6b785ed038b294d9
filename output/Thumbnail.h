#pragma once

// Thumbnails of scanned pages for the image list: the page reduced to fit a
// 100 x 75 cell and centred on white.

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

namespace output {

constexpr int kThumbnailWidth = 100;
constexpr int kThumbnailHeight = 75;

struct ThumbnailGeometry {
  QSize scaled;    // size of the reduced page
  QPoint topLeft;  // its place in the cell; negative where it is cut off
};

// For a page of width x height pixels (integers, products first, divisions
// truncating toward zero): a wider page is 100 wide and height*100/width
// high, any other w*75/h wide and 75 high; it sits at ((100 - w) / 2,
// (75 - h) / 2). Only which side is longer decides, so a lying page less than
// 4:3 wide comes out taller than the cell and is cut at top and bottom.
ThumbnailGeometry thumbnailGeometry(int width, int height);

// Reduces all of `source` to `size` by area averaging: each target pixel is
// the mean of the source pixels it covers. Returns an RGB32 image.
QImage boxReduce(const QImage& source, const QSize& size);

// The 100 x 75 RGB32 thumbnail of the bitmap at `bmpPath`: white, with the
// picture reduced to thumbnailGeometry(width, height) copied opaquely onto it
// and clipped to the cell. `width` and `height` are the page's size as the
// scanner reports it; the file supplies the pixels. Throws platform::Error
// naming the path when the file can't be read. On a screen scaled by `ratio`
// the thumbnail holds ratio times the pixels each way, in the same places, and
// carries that device pixel ratio.
QImage makeThumbnailImage(const QString& bmpPath, int width, int height, qreal ratio = 1.0);

}  // namespace output
