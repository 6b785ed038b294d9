#include "preview/Units.h"

#include <cfenv>
#include <cmath>

namespace units {
namespace {

// nearbyint follows the current rounding mode; make sure it is to nearest, even.
double roundHalfEven(double value) {
  const int saved = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(value);
  std::fesetround(saved);
  return rounded;
}

}  // namespace

FloatRect paneToInches(const FloatRect& pane, float scale) {
  return FloatRect{pane.left / scale, pane.top / scale, pane.right / scale, pane.bottom / scale};
}

double inchesToMillimetres(double inches) { return inches * 25.4; }

double inchesToCentimetres(double inches) { return inches * 2.54; }

double centimetresToPanePixels(double centimetres, double scale) {
  return centimetres * scale * kInchesPerCentimetre;
}

long roundMillimetres(double millimetres) { return static_cast<long>(roundHalfEven(millimetres)); }

long roundInches(double inches) {
  return static_cast<long>(std::trunc(roundHalfEven(inches * 100.0) / 100.0));
}

QString sizeReadout(const FloatRect& location, float scale, int displayUnits) {
  const float width = (location.right - location.left) / scale;
  const float height = (location.bottom - location.top) / scale;
  if (displayUnits == kMillimetres) {
    return QString::asprintf("%ld x %ld", roundMillimetres(inchesToMillimetres(width)),
                             roundMillimetres(inchesToMillimetres(height))) +
           QStringLiteral(" mm");
  }
  return QString::asprintf("%ld x %ld", roundInches(width), roundInches(height)) + QStringLiteral(" in");
}

}  // namespace units
