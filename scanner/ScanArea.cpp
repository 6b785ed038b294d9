#include "scanner/ScanArea.h"

#include <algorithm>
#include <array>

namespace scanarea {
namespace {

constexpr double kMmPerInch = 25.4;

// Inches, width x height, by page-size item 1..15.
constexpr std::array<std::array<double, 2>, 15> kPageSizes{{
    {8.3, 11.7},   // A4
    {6.9, 9.8},    // B5
    {8.5, 11},     // US Letter
    {8.5, 14},     // US Legal
    {5.8, 8.3},    // A5
    {9.8, 13.9},   // B4
    {4.9, 6.9},    // B6
    {11, 17},      // US Ledger
    {7.25, 10.5},  // US Executive
    {11.7, 16.5},  // A3
    {13.9, 19.7},  // B3
    {4.1, 5.8},    // A6
    {9, 12.8},     // C4
    {6.4, 9},      // C5
    {4.5, 6.4},    // C6
}};

}  // namespace

std::optional<QSizeF> pageSizeInches(int pageSize) {
  if (pageSize < kFirstPageSize || pageSize > kLastPageSize) return std::nullopt;
  const auto& size = kPageSizes[static_cast<size_t>(pageSize - kFirstPageSize)];
  return QSizeF(size[0], size[1]);
}

std::optional<ScanAreaMm> pageAreaMm(int pageSize) {
  const auto inches = pageSizeInches(pageSize);
  if (!inches) return std::nullopt;
  return ScanAreaMm{0, 0, inches->width() * kMmPerInch, inches->height() * kMmPerInch};
}

bool isSupportedUnit(int unitOfMeasure) {
  return unitOfMeasure == kUnitInches || unitOfMeasure == kUnitCentimetres;
}

ScanAreaMm layoutAreaMm(float left, float top, float right, float bottom, int unitOfMeasure) {
  const double factor = unitOfMeasure == kUnitCentimetres ? 10.0 : kMmPerInch;
  const double l = left * factor, t = top * factor, r = right * factor, b = bottom * factor;
  return {std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
}

Clamped clampToBed(const ScanAreaMm& area, const Bed& bed) {
  Clamped out;
  out.area = {std::clamp(area.left, bed.minX, bed.maxX), std::clamp(area.top, bed.minY, bed.maxY),
              std::clamp(area.right, bed.minX, bed.maxX), std::clamp(area.bottom, bed.minY, bed.maxY)};
  out.reduced = out.area.left != area.left || out.area.top != area.top || out.area.right != area.right ||
                out.area.bottom != area.bottom;
  out.empty = out.area.right <= out.area.left || out.area.bottom <= out.area.top;
  return out;
}

}  // namespace scanarea
