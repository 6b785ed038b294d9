#include "output/BitmapFileReduce.h"

#include "output/BoxSpans.h"
#include "platform/BitmapFile.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace output {

std::optional<QImage> boxReduceBitmapFile(const QString& path, const QSize& size) {
  if (size.isEmpty()) return std::nullopt;
  const std::optional<platform::BitmapFile> file = platform::BitmapFile::open(path);
  if (!file) return std::nullopt;

  const int channels = file->channels();
  const std::vector<Span> columns = boxSpans(file->width(), size.width());
  const std::vector<Span> rows = boxSpans(file->height(), size.height());

  std::vector<unsigned char> band;
  std::vector<unsigned char> scratch;
  const std::size_t values = static_cast<std::size_t>(file->width()) * static_cast<std::size_t>(channels);
  std::vector<uint32_t> sums(values);
  QImage target(size, QImage::Format_RGB32);

  for (int ty = 0; ty < size.height(); ++ty) {
    const Span span = rows[static_cast<size_t>(ty)];
    const int count = span.end - span.begin;
    if (!file->readBand(span.begin, count, band)) return std::nullopt;
    std::fill(sums.begin(), sums.end(), 0u);
    for (int r = 0; r < count; ++r) {
      const unsigned char* row = file->rowValues(band.data() + file->rowBytes() * static_cast<size_t>(r), scratch);
      for (std::size_t i = 0; i < values; ++i) sums[i] += row[i];
    }

    QRgb* out = reinterpret_cast<QRgb*>(target.scanLine(ty));
    for (int tx = 0; tx < size.width(); ++tx) {
      const Span column = columns[static_cast<size_t>(tx)];
      quint64 total[3] = {0, 0, 0};
      const uint32_t* sum = sums.data() + static_cast<size_t>(column.begin) * static_cast<size_t>(channels);
      for (int x = column.begin; x < column.end; ++x)
        for (int c = 0; c < channels; ++c) total[c] += *sum++;
      const quint64 pixels = static_cast<quint64>(count) * static_cast<quint64>(column.end - column.begin);
      auto mean = [pixels](quint64 value) { return static_cast<int>((value + pixels / 2) / pixels); };
      out[tx] = channels == 3 ? qRgb(mean(total[2]), mean(total[1]), mean(total[0]))
                              : qRgb(mean(total[0]), mean(total[0]), mean(total[0]));
    }
  }
  return target;
}

}  // namespace output
