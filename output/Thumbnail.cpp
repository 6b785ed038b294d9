#include "output/Thumbnail.h"

#include "output/BitmapFileReduce.h"
#include "output/BoxSpans.h"
#include "platform/Error.h"

#include <QImageReader>

#include <algorithm>
#include <cstring>
#include <vector>

namespace output {

namespace {

// Area averaging in two passes per target row: each source row of the band
// is summed across each target column's span, the sums of the band are added
// up, and the totals divided by the pixel count. `Channels` is 4 for RGB32
// (bytes B, G, R, unused) or 1 for 8-bit grey.
template <int Channels>
void reduceInto(const QImage& source, QImage& target) {
  const int targetWidth = target.width();
  const std::vector<Span> columns = boxSpans(source.width(), targetWidth);
  const std::vector<Span> rows = boxSpans(source.height(), target.height());
  constexpr int kSums = Channels == 4 ? 3 : 1;
  std::vector<quint64> band(static_cast<size_t>(targetWidth) * kSums);

  for (int ty = 0; ty < target.height(); ++ty) {
    std::fill(band.begin(), band.end(), 0);
    const Span rowSpan = rows[static_cast<size_t>(ty)];
    for (int y = rowSpan.begin; y < rowSpan.end; ++y) {
      const uchar* line = source.constScanLine(y);
      quint64* sum = band.data();
      for (const Span& column : columns) {
        const uchar* pixel = line + column.begin * Channels;
        const uchar* last = line + column.end * Channels;
        if constexpr (Channels == 4) {
          quint32 blue = 0, green = 0, red = 0;
          for (; pixel < last; pixel += 4) {
            blue += pixel[0];
            green += pixel[1];
            red += pixel[2];
          }
          sum[0] += blue;
          sum[1] += green;
          sum[2] += red;
          sum += 3;
        } else {
          quint32 grey = 0;
          for (; pixel < last; ++pixel) grey += *pixel;
          *sum++ += grey;
        }
      }
    }
    QRgb* out = reinterpret_cast<QRgb*>(target.scanLine(ty));
    const quint64 bandRows = static_cast<quint64>(rowSpan.end - rowSpan.begin);
    const quint64* sum = band.data();
    for (int tx = 0; tx < targetWidth; ++tx, sum += kSums) {
      const Span column = columns[static_cast<size_t>(tx)];
      const quint64 count = bandRows * static_cast<quint64>(column.end - column.begin);
      auto mean = [count](quint64 total) { return static_cast<int>((total + count / 2) / count); };
      if constexpr (Channels == 4)
        out[tx] = qRgb(mean(sum[2]), mean(sum[1]), mean(sum[0]));
      else
        out[tx] = qRgb(mean(sum[0]), mean(sum[0]), mean(sum[0]));
    }
  }
}

}  // namespace

ThumbnailGeometry thumbnailGeometry(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  QSize scaled;
  if (width > height)
    scaled = QSize(kThumbnailWidth, static_cast<int>(static_cast<qint64>(height) * kThumbnailWidth / width));
  else
    scaled = QSize(static_cast<int>(static_cast<qint64>(width) * kThumbnailHeight / height), kThumbnailHeight);
  // C++ division truncates toward zero, also for a negative difference.
  return ThumbnailGeometry{scaled, QPoint((kThumbnailWidth - scaled.width()) / 2,
                                         (kThumbnailHeight - scaled.height()) / 2)};
}

QImage boxReduce(const QImage& source, const QSize& size) {
  if (source.isNull() || size.isEmpty()) return QImage();
  QImage target(size, QImage::Format_RGB32);
  switch (source.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:  // a bitmap's alpha means nothing here
      reduceInto<4>(source, target);
      break;
    case QImage::Format_Grayscale8:
      reduceInto<1>(source, target);
      break;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
      // For palette images isGrayscale() looks at the palette only.
      if (source.isGrayscale())
        reduceInto<1>(source.convertToFormat(QImage::Format_Grayscale8), target);
      else
        reduceInto<4>(source.convertToFormat(QImage::Format_RGB32), target);
      break;
    default:
      reduceInto<4>(source.convertToFormat(QImage::Format_RGB32), target);
      break;
  }
  return target;
}

QImage makeThumbnailImage(const QString& bmpPath, int width, int height, qreal ratio) {
  const ThumbnailGeometry geometry = thumbnailGeometry(width, height);
  // On a scaled screen the cell holds that many more pixels, in the same
  // places.
  const auto device = [ratio](int pixels) { return qRound(pixels * ratio); };
  const QSize scaledSize(device(geometry.scaled.width()), device(geometry.scaled.height()));
  const QPoint at(device(geometry.topLeft.x()), device(geometry.topLeft.y()));
  const int cellWidth = device(kThumbnailWidth);
  const int cellHeight = device(kThumbnailHeight);
  // Our own bitmaps are reduced straight from the file; anything else goes
  // through Qt's reader, which also words the error of an unreadable file.
  QImage scaled;
  if (std::optional<QImage> reduced = boxReduceBitmapFile(bmpPath, scaledSize)) {
    scaled = std::move(*reduced);
  } else {
    QImageReader reader(bmpPath);
    QImage source;
    if (!reader.read(&source))
      throw platform::Error(QStringLiteral("Unable to read file '%1': %2").arg(bmpPath, reader.errorString()));
    scaled = boxReduce(source, scaledSize);
  }

  QImage cell(cellWidth, cellHeight, QImage::Format_RGB32);
  cell.setDevicePixelRatio(ratio);
  cell.fill(qRgb(255, 255, 255));
  if (scaled.isNull()) return cell;
  // An opaque copy of the part that falls inside the cell.
  const int left = std::max(at.x(), 0);
  const int right = std::min(at.x() + scaled.width(), cellWidth);
  const int top = std::max(at.y(), 0);
  const int bottom = std::min(at.y() + scaled.height(), cellHeight);
  for (int y = top; y < bottom; ++y) {
    const QRgb* from = reinterpret_cast<const QRgb*>(scaled.constScanLine(y - at.y()));
    QRgb* to = reinterpret_cast<QRgb*>(cell.scanLine(y));
    if (right > left)
      std::memcpy(to + left, from + (left - at.x()), static_cast<size_t>(right - left) * sizeof(QRgb));
  }
  return cell;
}

}  // namespace output
