#include "scanner/BlankPage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Luma weights scaled to 256: a pixel's luma times 256.
constexpr int kRed = 77, kGreen = 150, kBlue = 29;

int lumaTimes256(QRgb colour) { return kRed * qRed(colour) + kGreen * qGreen(colour) + kBlue * qBlue(colour); }

int dotsPerInchOf(const QImage& image) {
  const double dpi = image.dotsPerMeterX() * 0.0254;
  if (dpi >= 50 && dpi <= 4800) return static_cast<int>(std::lround(dpi));
  return std::clamp(static_cast<int>(std::lround(image.width() / 8.3)), 50, 2400);
}

// The page reduced to cells of about 1/100 inch: mean luma of each.
struct Cells {
  int columns = 0;
  int rows = 0;
  double cellMm = 0;  // a cell's side in millimetres
  std::size_t size() const { return static_cast<std::size_t>(columns) * rows; }
  // Left uninitialised: the reduction writes every cell.
  std::unique_ptr<std::uint8_t[]> luma;
};

// Adds, for every cell of one band of cells, the luma (times 256) of the
// samples on one scan line. `at(line, x)` gives the luma of pixel x.
template <typename LumaAt>
void reduce(const QImage& image, int step, int block, Cells& cells, LumaAt at) {
  const int cellPixels = step * block;
  std::vector<std::uint32_t> sums(cells.columns);
  const std::uint32_t samples = static_cast<std::uint32_t>(block) * block * 256;
  // Division by multiplication, exact for sums below 2^24.
  const std::uint64_t reciprocal = ((std::uint64_t{1} << 40) + samples - 1) / samples;
  for (int cy = 0; cy < cells.rows; ++cy) {
    std::fill(sums.begin(), sums.end(), 0u);
    for (int by = 0; by < block; ++by) {
      const uchar* line = image.constScanLine(cy * cellPixels + by * step);
      for (int cx = 0; cx < cells.columns; ++cx) {
        const int x0 = cx * cellPixels;
        std::uint32_t sum = 0;
        for (int bx = 0; bx < block; ++bx) sum += at(line, x0 + bx * step);
        sums[cx] += sum;
      }
    }
    std::uint8_t* out = cells.luma.get() + static_cast<std::size_t>(cy) * cells.columns;
    for (int cx = 0; cx < cells.columns; ++cx)
      out[cx] = static_cast<std::uint8_t>(((sums[cx] + samples / 2) * reciprocal) >> 40);
  }
}

// The common case, a colour page at 300 dpi: the three scan lines of a band
// of cells are added byte by byte first (which the compiler turns into vector
// code), then each cell's nine sums are weighted once.
void reduceRgb888ByThree(const QImage& image, Cells& cells) {
  const std::size_t bytes = static_cast<std::size_t>(cells.columns) * 9;
  std::vector<std::uint16_t> band(bytes);
  constexpr std::uint32_t samples = 9 * 256;
  for (int cy = 0; cy < cells.rows; ++cy) {
    const uchar* a = image.constScanLine(cy * 3);
    const uchar* b = image.constScanLine(cy * 3 + 1);
    const uchar* c = image.constScanLine(cy * 3 + 2);
    std::uint16_t* sum = band.data();
    for (std::size_t i = 0; i < bytes; ++i) sum[i] = static_cast<std::uint16_t>(a[i] + b[i] + c[i]);
    std::uint8_t* out = cells.luma.get() + static_cast<std::size_t>(cy) * cells.columns;
    for (int cx = 0; cx < cells.columns; ++cx) {
      const std::uint16_t* p = sum + 9 * cx;
      const std::uint32_t r = p[0] + p[3] + p[6];
      const std::uint32_t g = p[1] + p[4] + p[7];
      const std::uint32_t bl = p[2] + p[5] + p[8];
      out[cx] = static_cast<std::uint8_t>((kRed * r + kGreen * g + kBlue * bl + samples / 2) / samples);
    }
  }
}

Cells reducePage(const QImage& original) {
  QImage image = original;
  switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
    case QImage::Format_RGB888:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
      break;
    default:
      image = image.convertToFormat(image.isGrayscale() ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
      break;
  }

  const int dpi = dotsPerInchOf(original);
  const int step = std::max(1, static_cast<int>(std::lround(dpi / 300.0)));
  const int block = std::max(1, static_cast<int>(std::lround(dpi / (100.0 * step))));
  const int cellPixels = step * block;

  Cells cells;
  cells.columns = std::max(1, image.width() / cellPixels);
  cells.rows = std::max(1, image.height() / cellPixels);
  cells.cellMm = 25.4 * cellPixels / dpi;
  cells.luma.reset(new std::uint8_t[cells.size()]);
  if (image.width() < cellPixels || image.height() < cellPixels) {
    // Smaller than one cell: the mean of the whole image.
    cells.columns = cells.rows = 1;
    std::uint64_t sum = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) sum += lumaTimes256(image.pixel(x, y));
    const std::uint64_t count = static_cast<std::uint64_t>(image.width()) * image.height() * 256;
    cells.luma[0] = static_cast<std::uint8_t>((sum + count / 2) / count);
    return cells;
  }

  switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8: {
      std::array<int, 256> table{};
      for (int i = 0; i < 256; ++i) table[i] = i < image.colorCount() ? lumaTimes256(image.color(i)) : 0;
      // Line art without a palette: Qt's default, 0 black and 1 white.
      if (image.format() != QImage::Format_Indexed8 && image.colorCount() < 2) table = {0, 255 * 256};
      if (image.format() == QImage::Format_Mono)
        reduce(image, step, block, cells,
               [&](const uchar* line, int x) { return table[(line[x >> 3] >> (7 - (x & 7))) & 1]; });
      else if (image.format() == QImage::Format_MonoLSB)
        reduce(image, step, block, cells,
               [&](const uchar* line, int x) { return table[(line[x >> 3] >> (x & 7)) & 1]; });
      else
        reduce(image, step, block, cells, [&](const uchar* line, int x) { return table[line[x]]; });
      break;
    }
    case QImage::Format_Grayscale8:
      reduce(image, step, block, cells, [](const uchar* line, int x) { return line[x] * 256; });
      break;
    case QImage::Format_RGB888:
      if (step == 1 && block == 3)
        reduceRgb888ByThree(image, cells);
      else
        reduce(image, step, block, cells, [](const uchar* line, int x) {
          const uchar* p = line + 3 * x;
          return kRed * p[0] + kGreen * p[1] + kBlue * p[2];
        });
      break;
    default:  // 32 bits a pixel
      reduce(image, step, block, cells,
             [](const uchar* line, int x) { return lumaTimes256(reinterpret_cast<const QRgb*>(line)[x]); });
      break;
  }
  return cells;
}

struct Paper {
  int level = 255;
  int spread = 0;
};

Paper paperOf(const Cells& cells) {
  std::array<std::int64_t, 256> histogram{};
  for (std::size_t i = 0; i < cells.size(); ++i) ++histogram[cells.luma[i]];
  // The most common value, over a window of five so that noise splitting the
  // paper over neighbouring values does not matter.
  Paper paper;
  std::int64_t best = -1;
  for (int v = 0; v < 256; ++v) {
    std::int64_t window = 0;
    for (int w = std::max(0, v - 2); w <= std::min(255, v + 2); ++w) window += histogram[w];
    if (window > best) best = window, paper.level = v;
  }
  // The fullest value in that window.
  const int centre = paper.level;
  for (int w = std::max(0, centre - 2); w <= std::min(255, centre + 2); ++w)
    if (histogram[w] > histogram[paper.level]) paper.level = w;
  // Spread: how far below the paper level lies the darkest tenth of the
  // cells that are paper or close to it (within 40 steps below).
  const int floor = std::max(0, paper.level - 40);
  std::int64_t near = 0;
  for (int v = floor; v <= paper.level; ++v) near += histogram[v];
  std::int64_t below = 0;
  int tenth = paper.level;
  for (int v = floor; v <= paper.level; ++v) {
    below += histogram[v];
    if (below * 10 >= near) {
      tenth = v;
      break;
    }
  }
  // The tenth of the half below the middle of a normal spread lies 1.64
  // standard deviations below its middle.
  paper.spread = (paper.level - tenth) * 100 / 164;
  // Content only darkens, so the cells just brighter than the paper tell its
  // spread without being misled by a page full of faint marks, unless the
  // scanner clipped the paper at white. There the 80th percentile of the
  // upper half lies 1.28 standard deviations above the middle.
  if (paper.level <= 245) {
    const int ceiling = std::min(255, paper.level + 40);
    std::int64_t above = 0;
    for (int v = paper.level; v <= ceiling; ++v) above += histogram[v];
    std::int64_t counted = 0;
    for (int v = paper.level; v <= ceiling; ++v) {
      counted += histogram[v];
      if (counted * 10 >= above * 8) {
        paper.spread = std::min(paper.spread, (v - paper.level) * 100 / 128);
        break;
      }
    }
  }
  return paper;
}

struct Blob {
  int count = 0;
  int left = 0, top = 0, right = 0, bottom = 0;  // bounding box in cells, inclusive
  double sumX = 0, sumY = 0, sumXX = 0, sumYY = 0, sumXY = 0;
  int nearestBorder = 0;   // fewest cells between a blob cell and the border
  int farthestBorder = 0;  // most cells between a blob cell and the border
  int faint = 0;           // faint cells joined to the dark ones
};

bool isContent(const Blob& blob, const Cells& cells) {
  const double mm = cells.cellMm;
  const double width = (blob.right - blob.left + 1) * mm;
  const double height = (blob.bottom - blob.top + 1) * mm;
  const double extent = std::max(width, height);
  // Across a speck's outermost cells' centres: a speck that only grazes a
  // cell on either side is no larger for it.
  if (extent - mm <= kSpeckMm) return false;
  // Faint marks with a few dark cells among them: show-through where the
  // noise darkens it, not a stroke.
  if (blob.count * kDarkShare < blob.count + blob.faint) return false;
  if (blob.nearestBorder * mm <= kEdgeTouchMm && (blob.farthestBorder + 1) * mm <= kEdgeDepthMm) return false;

  const double pageWidth = cells.columns * mm, pageHeight = cells.rows * mm;
  const double centreX = (blob.sumX / blob.count + 0.5) * mm, centreY = (blob.sumY / blob.count + 0.5) * mm;
  const double toSide = std::min(centreX, pageWidth - centreX);
  const double toEnd = std::min(centreY, pageHeight - centreY);
  // Near an edge: within 25 mm of it, and in the outer quarter of the page
  // (on a slip of a few centimetres every mark is near some edge).
  const double nearSide = std::min(25.0, pageWidth / 4), nearEnd = std::min(25.0, pageHeight / 4);

  // A punch hole: round, filled, near an edge.
  const double area = blob.count * mm * mm;
  const double fill = area / (width * height);
  if (extent >= 4.0 && extent <= 10.0 && std::min(width, height) / extent >= 0.75 && fill >= 0.55 &&
      (toSide <= nearSide || toEnd <= nearEnd))
    return false;

  // A staple: a straight bar near a corner. Length and width from the blob's
  // second moments (a bar of length L has variance L * L / 12 along it).
  if (toSide <= nearSide && toEnd <= nearEnd) {
    const double n = blob.count;
    const double vx = blob.sumXX / n - (blob.sumX / n) * (blob.sumX / n);
    const double vy = blob.sumYY / n - (blob.sumY / n) * (blob.sumY / n);
    const double cxy = blob.sumXY / n - (blob.sumX / n) * (blob.sumY / n);
    const double middle = (vx + vy) / 2, half = std::sqrt((vx - vy) * (vx - vy) / 4 + cxy * cxy);
    const double length = std::sqrt(12 * (middle + half) + 1) * mm;
    const double thickness = std::sqrt(12 * std::max(0.0, middle - half) + 1) * mm;
    if (length >= 8.0 && length <= 16.0 && thickness <= 1.5 && area >= 0.5 * length * thickness) return false;
  }
  return true;
}

}  // namespace

float measureNoiseLevel(const QImage& image) {
  if (image.isNull()) return 0.0f;
  Cells cells = reducePage(image);
  const Paper paper = paperOf(cells);
  if (paper.level < kDarkestPaperLuma) return 1.0f;

  // Marks lighter than the paper count alike: white print on a sheet covered
  // in colour.
  const int darkContrast = std::max(kMarkContrast, 4 * paper.spread);
  const int faintContrast = std::max(kFaintContrast, 3 * paper.spread);
  const int columns = cells.columns, rows = cells.rows;
  // From here on each cell holds its state instead of its luma: 0 paper,
  // 1 faint, 2 dark; 4 is added once the cell belongs to a blob.
  std::uint8_t* const state = cells.luma.get();
  const int size = static_cast<int>(cells.size());
  std::array<std::uint8_t, 256> stateOf{};
  for (int v = 0; v < 256; ++v) {
    const int contrast = std::abs(v - paper.level);
    stateOf[v] = contrast >= darkContrast ? 2 : contrast >= faintContrast ? 1 : 0;
  }
  for (int i = 0; i < size; ++i) state[i] = stateOf[state[i]];

  std::array<bool, kContentTiles * kContentTiles> tiles{};
  std::vector<int> stack;
  std::vector<int> members;
  // Each blob grows from a dark cell through dark and faint ones; only its
  // dark cells give its size, shape and place.
  for (int start = 0; start < size; ++start) {
    const void* next = std::memchr(state + start, 2, static_cast<std::size_t>(size - start));
    if (!next) break;
    start = static_cast<int>(static_cast<const std::uint8_t*>(next) - state);
    Blob blob;
    blob.left = blob.right = start % columns;
    blob.top = blob.bottom = start / columns;
    blob.nearestBorder = columns + rows;
    members.clear();
    stack.assign(1, start);
    state[start] |= 4;
    while (!stack.empty()) {
      const int at = stack.back();
      stack.pop_back();
      const int x = at % columns, y = at / columns;
      if (state[at] == 6) {
        members.push_back(at);
        ++blob.count;
        blob.left = std::min(blob.left, x), blob.right = std::max(blob.right, x);
        blob.top = std::min(blob.top, y), blob.bottom = std::max(blob.bottom, y);
        blob.sumX += x, blob.sumY += y;
        blob.sumXX += double(x) * x, blob.sumYY += double(y) * y, blob.sumXY += double(x) * y;
        const int border = std::min({x, y, columns - 1 - x, rows - 1 - y});
        blob.nearestBorder = std::min(blob.nearestBorder, border);
        blob.farthestBorder = std::max(blob.farthestBorder, border);
      } else {
        ++blob.faint;
      }
      for (int ny = std::max(0, y - 1); ny <= std::min(rows - 1, y + 1); ++ny)
        for (int nx = std::max(0, x - 1); nx <= std::min(columns - 1, x + 1); ++nx) {
          const int neighbour = ny * columns + nx;
          if (state[neighbour] == 1 || state[neighbour] == 2) {
            state[neighbour] |= 4;
            stack.push_back(neighbour);
          }
        }
    }
    if (!isContent(blob, cells)) continue;
    for (const int at : members)
      tiles[(at / columns) * kContentTiles / rows * kContentTiles + (at % columns) * kContentTiles / columns] = true;
  }
  const auto reached = std::count(tiles.begin(), tiles.end(), true);
  return static_cast<float>(reached) / static_cast<float>(tiles.size());
}
