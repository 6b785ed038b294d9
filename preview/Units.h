#pragma once

#include "preview/FloatRect.h"

#include <QString>

// Conversions between pane pixels, inches, centimetres and millimetres, and
// the rounding used on screen. Inches are the program's only inner unit.
namespace units {

constexpr int kInches = 1;
constexpr int kMillimetres = 2;

// The initial pane pixels per inch, before any preview exists.
constexpr float kInitialPreviewScale = 20.78f;

// 1 / 2.54 written out, so that centimetre steps don't accumulate the error of
// a rounded reciprocal.
constexpr double kInchesPerCentimetre = 0.3937007874015748;

// Each edge divided by `scale`, in single precision.
FloatRect paneToInches(const FloatRect& pane, float scale);

double inchesToMillimetres(double inches);
double inchesToCentimetres(double inches);
double centimetresToPanePixels(double centimetres, double scale);

// Whole millimetres, a tie going to the even number.
long roundMillimetres(double millimetres);

// Rounded to hundredths (a tie to the even hundredth), then the fraction is
// dropped: 8.996 shows as 9, 8.994 as 8.
long roundInches(double inches);

// "<w> x <h> mm" for units 2, "<w> x <h> in" for anything else.
QString sizeReadout(const FloatRect& location, float scale, int displayUnits);

}  // namespace units
