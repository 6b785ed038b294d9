#include "preview/PreviewFit.h"

#include "platform/BitmapFile.h"
#include "platform/Error.h"

#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace preview_fit {
namespace {

// Weights are fixed-point with 12 fraction bits, and each destination pixel's
// weights add up to exactly one. A row reduced across (at most 255 * 2^12 per
// value) and then spread down (weights again adding up to 2^12) stays within
// 32 bits: 255 * 2^24 < 2^32.
constexpr int kFractionBits = 12;
constexpr int kOne = 1 << kFractionBits;

// For one axis: the run of source pixels each destination pixel covers, and
// the share of its area each contributes.
struct Run {
  int first = 0;
  int count = 0;
  std::size_t weights = 0;  // index of the first weight
};

struct Axis {
  std::vector<Run> runs;
  std::vector<uint32_t> weights;
};

Axis axis(int sourceLength, int destinationLength) {
  Axis result;
  result.runs.resize(static_cast<std::size_t>(destinationLength));
  const double step = static_cast<double>(sourceLength) / destinationLength;
  for (int d = 0; d < destinationLength; ++d) {
    const double from = d * step;
    const double to = (d + 1) * step;
    const int first = static_cast<int>(std::floor(from));
    const int last = std::min(sourceLength - 1, static_cast<int>(std::ceil(to)) - 1);
    Run& run = result.runs[static_cast<std::size_t>(d)];
    run.weights = result.weights.size();
    int total = 0;
    std::size_t largest = run.weights;
    for (int s = first; s <= last; ++s) {
      const double overlap = std::min<double>(to, s + 1) - std::max<double>(from, s);
      if (overlap <= 0) continue;
      const int weight = static_cast<int>(std::lround(overlap / step * kOne));
      if (run.count++ == 0) {
        run.first = s;
        largest = result.weights.size();
      } else if (weight > static_cast<int>(result.weights[largest])) {
        largest = result.weights.size();
      }
      result.weights.push_back(static_cast<uint32_t>(weight));
      total += weight;
    }
    // The rounding's remainder goes to the largest share, so that the
    // weights add up to exactly one and a flat picture stays flat.
    if (run.count > 0)
      result.weights[largest] = static_cast<uint32_t>(static_cast<int>(result.weights[largest]) + kOne - total);
  }
  return result;
}

constexpr int kStripRows = 64;

// Gathers source rows, in any order, into the destination sums.
class Reducer {
 public:
  Reducer(QSize source, QSize size, int channels)
      : width_(size.width()),
        height_(size.height()),
        channels_(channels),
        columns_(axis(source.width(), size.width())),
        sums_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) *
              static_cast<std::size_t>(channels)),
        reduced_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(channels)),
        spread_(static_cast<std::size_t>(source.height())) {
    // Source row -> the destination rows it overlaps, with its weight in each.
    const Axis rows = axis(source.height(), size.height());
    for (int d = 0; d < height_; ++d) {
      const Run& run = rows.runs[static_cast<std::size_t>(d)];
      for (int i = 0; i < run.count; ++i)
        spread_[static_cast<std::size_t>(run.first + i)].push_back(
            {d, rows.weights[run.weights + static_cast<std::size_t>(i)]});
    }
  }

  // Source row `y` as values `Stride` bytes apart per pixel: B, G, R for a
  // reducer of 3 channels, grey for one of 1.
  template <int Stride, int Channels>
  void addRow(int y, const unsigned char* values) {
    static_assert(Channels == 1 || (Channels == 3 && Stride >= 3));
    const auto& targets = spread_[static_cast<std::size_t>(y)];
    if (targets.empty()) return;
    uint32_t* out = reduced_.data();
    for (const Run& run : columns_.runs) {
      const unsigned char* pixel = values + static_cast<std::size_t>(run.first) * Stride;
      const uint32_t* weight = columns_.weights.data() + run.weights;
      if constexpr (Channels == 1) {
        uint32_t v = 0;
        for (int i = 0; i < run.count; ++i, pixel += Stride) v += pixel[0] * weight[i];
        *out++ = v;
      } else {
        uint32_t b = 0, g = 0, r = 0;
        for (int i = 0; i < run.count; ++i, pixel += Stride) {
          b += pixel[0] * weight[i];
          g += pixel[1] * weight[i];
          r += pixel[2] * weight[i];
        }
        *out++ = b;
        *out++ = g;
        *out++ = r;
      }
    }
    const std::size_t rowValues = reduced_.size();
    for (const Target& target : targets) {
      uint32_t* sum = sums_.data() + static_cast<std::size_t>(target.row) * rowValues;
      for (std::size_t i = 0; i < rowValues; ++i) sum[i] += reduced_[i] * target.weight;
    }
  }

  QImage result() const {
    QImage destination(QSize(width_, height_), QImage::Format_RGB32);
    const uint32_t* sum = sums_.data();
    auto value = [](uint32_t total) {
      return std::min(255, static_cast<int>((static_cast<uint64_t>(total) + (1u << (2 * kFractionBits - 1))) >>
                                            (2 * kFractionBits)));
    };
    for (int y = 0; y < height_; ++y) {
      auto* out = reinterpret_cast<QRgb*>(destination.scanLine(y));
      for (int x = 0; x < width_; ++x) {
        if (channels_ == 1) {
          const int grey = value(*sum++);
          out[x] = qRgb(grey, grey, grey);
        } else {
          const int b = value(sum[0]);
          const int g = value(sum[1]);
          const int r = value(sum[2]);
          sum += 3;
          out[x] = qRgb(r, g, b);
        }
      }
    }
    return destination;
  }

 private:
  struct Target {
    int row;
    uint32_t weight;
  };

  int width_;
  int height_;
  int channels_;
  Axis columns_;
  std::vector<uint32_t> sums_;
  std::vector<uint32_t> reduced_;
  std::vector<std::vector<Target>> spread_;
};

std::optional<QImage> resampleBitmap(const platform::BitmapFile& file, QSize size) {
  Reducer reducer(QSize(file.width(), file.height()), size, file.channels());
  std::vector<unsigned char> band;
  std::vector<unsigned char> scratch;
  for (int top = 0; top < file.height(); top += kStripRows) {
    const int count = std::min(kStripRows, file.height() - top);
    if (!file.readBand(top, count, band)) return std::nullopt;
    // The band lies bottom-up: its first row is the lowest.
    for (int r = 0; r < count; ++r) {
      const unsigned char* values =
          file.rowValues(band.data() + file.rowBytes() * static_cast<std::size_t>(r), scratch);
      const int y = top + count - 1 - r;
      if (file.channels() == 1)
        reducer.addRow<1, 1>(y, values);
      else
        reducer.addRow<3, 3>(y, values);
    }
  }
  return reducer.result();
}

// A 32-bit pixel lies in memory as B, G, R, A on the machines we build for.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);

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
  if (size.isEmpty() || source.isNull()) return QImage(size, QImage::Format_RGB32);
  Reducer reducer(source.size(), size, 3);
  const bool native = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32;
  QImage strip;
  for (int y = 0; y < source.height(); ++y) {
    const int inStrip = y % kStripRows;
    if (!native && inStrip == 0)
      strip = source.copy(0, y, source.width(), std::min(kStripRows, source.height() - y))
                  .convertToFormat(QImage::Format_RGB32);
    reducer.addRow<4, 3>(y, native ? source.constScanLine(y) : strip.constScanLine(inStrip));
  }
  return reducer.result();
}

std::optional<QImage> resampleBitmapFile(const QString& path, QSize size) {
  if (size.isEmpty()) return std::nullopt;
  const std::optional<platform::BitmapFile> file = platform::BitmapFile::open(path);
  if (!file) return std::nullopt;
  return resampleBitmap(*file, size);
}

Loaded loadFitted(const QString& path, QSize pane, qreal ratio) {
  const auto deviceSize = [ratio](QSize size) { return ratio == 1.0 ? size : (QSizeF(size) * ratio).toSize(); };
  const auto done = [ratio](Loaded loaded) {
    loaded.bitmap.setDevicePixelRatio(ratio);
    return loaded;
  };
  // The bitmaps a preview job writes are reduced straight from the file.
  if (const std::optional<platform::BitmapFile> file = platform::BitmapFile::open(path)) {
    Loaded loaded;
    loaded.fit = fit(pane, QSize(file->width(), file->height()));
    if (loaded.fit.bitmap.isEmpty()) {
      loaded.bitmap = QImage(loaded.fit.bitmap, QImage::Format_RGB32);
      return loaded;
    }
    if (std::optional<QImage> bitmap = resampleBitmap(*file, deviceSize(loaded.fit.bitmap))) {
      loaded.bitmap = std::move(*bitmap);
      return done(std::move(loaded));
    }
    // The file changed under us: Qt's reader below says what is wrong with it.
  }
  QImageReader reader(path);
  const QImage source = reader.read();
  if (source.isNull()) {
    throw platform::Error(QStringLiteral("Cannot load the preview picture \"%1\": %2").arg(path, reader.errorString()));
  }
  Loaded loaded;
  loaded.fit = fit(pane, source.size());
  loaded.bitmap = resample(source, deviceSize(loaded.fit.bitmap));
  return done(std::move(loaded));
}

}  // namespace preview_fit
