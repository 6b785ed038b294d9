#include "preview/PreviewFit.h"

#include "platform/Error.h"

#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <vector>

namespace preview_fit {
namespace {

// For one axis: the source pixels that each destination pixel covers, with the
// share of its area each contributes.
struct Tap {
  int source;
  double weight;
};

std::vector<std::vector<Tap>> taps(int sourceLength, int destinationLength) {
  std::vector<std::vector<Tap>> result(static_cast<std::size_t>(destinationLength));
  const double step = static_cast<double>(sourceLength) / destinationLength;
  for (int d = 0; d < destinationLength; ++d) {
    const double from = d * step;
    const double to = (d + 1) * step;
    const int first = static_cast<int>(std::floor(from));
    const int last = std::min(sourceLength - 1, static_cast<int>(std::ceil(to)) - 1);
    for (int s = first; s <= last; ++s) {
      const double overlap = std::min<double>(to, s + 1) - std::max<double>(from, s);
      if (overlap > 0) result[static_cast<std::size_t>(d)].push_back({s, overlap / step});
    }
  }
  return result;
}

constexpr int kStripRows = 64;

}  // namespace

Fit fit(QSize pane, QSize source) {
  const float kx = static_cast<float>(pane.width()) / static_cast<float>(source.width());
  const float ky = static_cast<float>(pane.height()) / static_cast<float>(source.height());
  Fit result;
  result.factor = kx < ky ? kx : ky;
  const float right = static_cast<float>(source.width()) * result.factor;
  const float bottom = static_cast<float>(source.height()) * result.factor;
  result.area = FloatRect{0.0f, 0.0f, right, bottom};
  const qint64 c = static_cast<qint64>(std::trunc(result.area.right));
  const qint64 d = static_cast<qint64>(std::trunc(result.area.bottom));
  const qint64 w = source.width();
  const qint64 h = source.height();
  if (w > h)
    result.bitmap = QSize(static_cast<int>(c), static_cast<int>(c * h / w));
  else
    result.bitmap = QSize(static_cast<int>(d * w / h), static_cast<int>(d));
  return result;
}

float previewScale(int resolution, float factor) { return static_cast<float>(resolution) * factor; }

QImage resample(const QImage& source, QSize size) {
  QImage destination(size, QImage::Format_RGB32);
  if (size.isEmpty() || source.isNull()) return destination;

  const int dw = size.width();
  const auto columns = taps(source.width(), dw);
  const auto rows = taps(source.height(), size.height());

  // Destination rows waiting for more source rows; each source row is reduced
  // horizontally once and then spread over the destination rows it overlaps.
  std::vector<double> sums(static_cast<std::size_t>(dw) * size.height() * 3, 0.0);
  std::vector<double> reduced(static_cast<std::size_t>(dw) * 3);

  // Source row -> (destination row, weight) list, inverted from `rows`.
  std::vector<std::vector<Tap>> spread(static_cast<std::size_t>(source.height()));
  for (int d = 0; d < size.height(); ++d)
    for (const Tap& tap : rows[static_cast<std::size_t>(d)])
      spread[static_cast<std::size_t>(tap.source)].push_back({d, tap.weight});

  const bool native = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32;
  QImage strip;
  for (int y = 0; y < source.height(); ++y) {
    const int inStrip = y % kStripRows;
    if (!native && inStrip == 0)
      strip = source.copy(0, y, source.width(), std::min(kStripRows, source.height() - y))
                  .convertToFormat(QImage::Format_RGB32);
    const auto* line = reinterpret_cast<const QRgb*>(native ? source.constScanLine(y) : strip.constScanLine(inStrip));

    std::fill(reduced.begin(), reduced.end(), 0.0);
    for (int x = 0; x < dw; ++x) {
      double* out = &reduced[static_cast<std::size_t>(x) * 3];
      for (const Tap& tap : columns[static_cast<std::size_t>(x)]) {
        const QRgb pixel = line[tap.source];
        out[0] += qRed(pixel) * tap.weight;
        out[1] += qGreen(pixel) * tap.weight;
        out[2] += qBlue(pixel) * tap.weight;
      }
    }
    for (const Tap& target : spread[static_cast<std::size_t>(y)]) {
      double* sum = &sums[static_cast<std::size_t>(target.source) * dw * 3];
      for (std::size_t i = 0; i < reduced.size(); ++i) sum[i] += reduced[i] * target.weight;
    }
  }

  for (int y = 0; y < size.height(); ++y) {
    auto* out = reinterpret_cast<QRgb*>(destination.scanLine(y));
    const double* sum = &sums[static_cast<std::size_t>(y) * dw * 3];
    for (int x = 0; x < dw; ++x) {
      auto channel = [&](int c) { return std::clamp(static_cast<int>(std::lround(sum[x * 3 + c])), 0, 255); };
      out[x] = qRgb(channel(0), channel(1), channel(2));
    }
  }
  return destination;
}

Loaded loadFitted(const QString& path, QSize pane) {
  QImageReader reader(path);
  const QImage source = reader.read();
  if (source.isNull()) {
    throw platform::Error(QStringLiteral("Cannot load the preview picture \"%1\": %2")
                              .arg(path, reader.errorString()));
  }
  Loaded loaded;
  loaded.fit = fit(pane, source.size());
  loaded.bitmap = resample(source, loaded.fit.bitmap);
  return loaded;
}

}  // namespace preview_fit
