#include "output/BitmapFileReduce.h"

#include "output/BoxSpans.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace output {

namespace {

constexpr size_t kFileHeader = 14;
constexpr size_t kInfoHeader = 40;

uint16_t le16(const unsigned char* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }
uint32_t le32(const unsigned char* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
         static_cast<uint32_t>(at[3]) << 24;
}

class Descriptor {
 public:
  explicit Descriptor(const QString& path)
      : fd_(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  off_t size() const {
    struct stat status;
    return ::fstat(fd_, &status) == 0 ? status.st_size : -1;
  }
  // All of `size` bytes at `offset`, or false.
  bool readAt(void* data, size_t size, off_t offset) const {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
      const ssize_t got = ::pread(fd_, bytes, size, offset);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      bytes += got;
      size -= static_cast<size_t>(got);
      offset += got;
    }
    return true;
  }

 private:
  int fd_;
};

struct Layout {
  int width = 0;
  int height = 0;
  int bits = 0;
  size_t rowBytes = 0;
  uint32_t pixelOffset = 0;
  // For palette bitmaps: each index as grey, or as B, G, R when the palette
  // holds any colour (Qt's reader then gives a colour picture too).
  bool paletteIsGrey = true;
  std::array<std::array<unsigned char, 3>, 256> palette{};
};

std::optional<Layout> readLayout(const Descriptor& file) {
  unsigned char header[kFileHeader + kInfoHeader];
  if (!file.readAt(header, sizeof header, 0)) return std::nullopt;
  if (header[0] != 'B' || header[1] != 'M') return std::nullopt;
  const unsigned char* info = header + kFileHeader;
  Layout layout;
  layout.pixelOffset = le32(header + 10);
  const auto width = static_cast<int32_t>(le32(info + 4));
  const auto height = static_cast<int32_t>(le32(info + 8));
  layout.bits = le16(info + 14);
  const uint32_t compression = le32(info + 16);
  const uint32_t coloursUsed = le32(info + 32);
  // Top-down (negative height), compressed, bit-field and other header
  // variants are left to Qt's reader.
  if (le32(info) != kInfoHeader || le16(info + 12) != 1 || compression != 0) return std::nullopt;
  if (width <= 0 || height <= 0 || width > (1 << 20) || height > (1 << 20)) return std::nullopt;
  if (layout.bits != 24 && layout.bits != 8 && layout.bits != 1) return std::nullopt;
  layout.width = width;
  layout.height = height;
  layout.rowBytes = ((static_cast<size_t>(width) * static_cast<size_t>(layout.bits) + 31) >> 5) << 2;

  if (layout.bits < 24) {
    // A short palette leaves indices without a colour; Qt's reader decides those.
    const uint32_t colours = 1u << layout.bits;
    if (coloursUsed != 0 && coloursUsed != colours) return std::nullopt;
    if (layout.pixelOffset < kFileHeader + kInfoHeader + colours * 4) return std::nullopt;
    unsigned char table[256 * 4];
    if (!file.readAt(table, colours * 4, kFileHeader + kInfoHeader)) return std::nullopt;
    for (uint32_t i = 0; i < colours; ++i) {
      const unsigned char* entry = table + i * 4;
      layout.palette[i] = {entry[0], entry[1], entry[2]};
      if (entry[0] != entry[1] || entry[1] != entry[2]) layout.paletteIsGrey = false;
    }
  } else if (layout.pixelOffset < kFileHeader + kInfoHeader) {
    return std::nullopt;
  }
  const off_t size = file.size();
  if (size < 0 || static_cast<uint64_t>(size) <
                      layout.pixelOffset + static_cast<uint64_t>(layout.rowBytes) * static_cast<uint64_t>(height))
    return std::nullopt;
  return layout;
}

// Adds one file row to the column sums, as 1 (grey) or 3 (B, G, R) values
// per pixel.
void accumulateRow(const Layout& layout, int channels, const unsigned char* row, uint32_t* sums) {
  const int width = layout.width;
  if (layout.bits == 24) {
    const size_t values = static_cast<size_t>(width) * 3;
    for (size_t i = 0; i < values; ++i) sums[i] += row[i];
    return;
  }
  for (int x = 0; x < width; ++x) {
    const unsigned index = layout.bits == 8 ? row[x] : (row[x >> 3] >> (7 - (x & 7))) & 1u;
    const auto& colour = layout.palette[index];
    if (channels == 1) {
      sums[x] += colour[0];
    } else {
      uint32_t* sum = sums + static_cast<size_t>(x) * 3;
      sum[0] += colour[0];
      sum[1] += colour[1];
      sum[2] += colour[2];
    }
  }
}

}  // namespace

std::optional<QImage> boxReduceBitmapFile(const QString& path, const QSize& size) {
  if (size.isEmpty()) return std::nullopt;
  const Descriptor file(path);
  if (!file.isOpen()) return std::nullopt;
  const std::optional<Layout> layout = readLayout(file);
  if (!layout) return std::nullopt;

  const int channels = layout->bits == 24 || !layout->paletteIsGrey ? 3 : 1;
  const std::vector<Span> columns = boxSpans(layout->width, size.width());
  const std::vector<Span> rows = boxSpans(layout->height, size.height());
  int tallestSpan = 1;
  for (const Span& span : rows) tallestSpan = std::max(tallestSpan, span.end - span.begin);

  std::vector<unsigned char> band(layout->rowBytes * static_cast<size_t>(tallestSpan));
  std::vector<uint32_t> sums(static_cast<size_t>(layout->width) * static_cast<size_t>(channels));
  QImage target(size, QImage::Format_RGB32);

  for (int ty = 0; ty < size.height(); ++ty) {
    // Rows [begin, end) counted from the top lie in the file bottom-up, one
    // contiguous run ending at file row height - 1 - begin.
    const Span span = rows[static_cast<size_t>(ty)];
    const int count = span.end - span.begin;
    const off_t offset = static_cast<off_t>(layout->pixelOffset) +
                         static_cast<off_t>(layout->height - span.end) * static_cast<off_t>(layout->rowBytes);
    if (!file.readAt(band.data(), layout->rowBytes * static_cast<size_t>(count), offset)) return std::nullopt;
    std::fill(sums.begin(), sums.end(), 0u);
    for (int r = 0; r < count; ++r)
      accumulateRow(*layout, channels, band.data() + layout->rowBytes * static_cast<size_t>(r), sums.data());

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
