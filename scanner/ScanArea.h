#pragma once

// Scan areas: the standard page sizes, layouts in the program's units, and
// clamping an area to a device's bed. All in millimetres from the bed's
// top-left corner.

#include "scanner/ScanDriver.h"

#include <QSizeF>

#include <optional>

namespace scanarea {

constexpr int kFirstPageSize = 1;
constexpr int kLastPageSize = 15;

// Width and height in inches of page-size item 1..15; nothing for 0 (custom)
// or an unknown item.
std::optional<QSizeF> pageSizeInches(int pageSize);

// The area of a page-size item placed at the bed's top-left corner.
std::optional<ScanAreaMm> pageAreaMm(int pageSize);

// Units of SetImageLayout.
constexpr int kUnitInches = 0;
constexpr int kUnitCentimetres = 1;
bool isSupportedUnit(int unitOfMeasure);

// A layout in the given unit, normalised so that left <= right and top <= bottom.
ScanAreaMm layoutAreaMm(float left, float top, float right, float bottom, int unitOfMeasure);

// The bed: the ranges the device accepts for x and y.
struct Bed {
  double minX = 0;
  double maxX = 0;
  double minY = 0;
  double maxY = 0;
};

struct Clamped {
  ScanAreaMm area;
  bool reduced = false;  // some edge lay outside the bed
  bool empty = false;    // nothing of the area is left
};
Clamped clampToBed(const ScanAreaMm& area, const Bed& bed);

}  // namespace scanarea
