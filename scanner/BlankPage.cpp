#include "scanner/BlankPage.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace {

// Set bits among pixels [from, to) of a most-significant-bit-first row.
qint64 countSetBits(const uchar* row, int from, int to) {
  qint64 count = 0;
  int x = from;
  for (; x < to && (x & 7) != 0; ++x) count += (row[x >> 3] >> (7 - (x & 7))) & 1;
  const uchar* bytes = row + (x >> 3);
  const int wholeBytes = (to - x) >> 3;
  int i = 0;
  for (; i + 8 <= wholeBytes; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + i, sizeof word);
    count += std::popcount(word);
  }
  for (; i < wholeBytes; ++i) count += std::popcount(static_cast<unsigned>(bytes[i]));
  for (x += wholeBytes * 8; x < to; ++x) count += (row[x >> 3] >> (7 - (x & 7))) & 1;
  return count;
}

constexpr int kLumaLimit = kPaperWhiteLuma * 1000;

bool isMarked(int red, int green, int blue) { return 299 * red + 587 * green + 114 * blue < kLumaLimit; }

}  // namespace

float measureNoiseLevel(const QImage& image) {
  QImage page = image;
  switch (page.format()) {
    case QImage::Format_Mono:
    case QImage::Format_Grayscale8:
    case QImage::Format_RGB888:
      break;
    case QImage::Format_MonoLSB:
      page = page.convertToFormat(QImage::Format_Mono);
      break;
    default:
      page = page.convertToFormat(QImage::Format_RGB888);
      break;
  }

  const int marginX = page.width() / 100;
  const int marginY = page.height() / 100;
  const int left = marginX, right = page.width() - marginX;
  const int top = marginY, bottom = page.height() - marginY;
  if (right <= left || bottom <= top) return 0.0f;

  qint64 marked = 0;
  switch (page.format()) {
    case QImage::Format_Mono: {
      // Qt's default palette is black for 0, white for 1.
      const bool setBitIsDark = page.colorCount() >= 2 && qGray(page.color(1)) < qGray(page.color(0));
      for (int y = top; y < bottom; ++y) {
        const qint64 ones = countSetBits(page.constScanLine(y), left, right);
        marked += setBitIsDark ? ones : (right - left) - ones;
      }
      break;
    }
    case QImage::Format_Grayscale8:
      for (int y = top; y < bottom; ++y) {
        const uchar* row = page.constScanLine(y);
        int rowMarked = 0;
        for (int x = left; x < right; ++x) rowMarked += row[x] < kPaperWhiteLuma;
        marked += rowMarked;
      }
      break;
    default:  // RGB888
      for (int y = top; y < bottom; ++y) {
        const uchar* row = page.constScanLine(y);
        int rowMarked = 0;
        for (int x = left; x < right; ++x) rowMarked += isMarked(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
        marked += rowMarked;
      }
      break;
  }
  const qint64 total = static_cast<qint64>(right - left) * (bottom - top);
  return static_cast<float>(static_cast<double>(marked) / static_cast<double>(total));
}
