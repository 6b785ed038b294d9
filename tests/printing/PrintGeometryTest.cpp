// Where a copied page lands: full printable width, or full printable height
// when the width-based height would not fit, proportions kept, truncated.

#include "output/PrintGeometry.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct GeometryCase {
  const char* name;
  int width, height;                    // page, scanner pixels
  int printableWidth, printableHeight;  // printer pixels
  QSize target;
};

void PrintTo(const GeometryCase& c, std::ostream* os) { *os << c.name; }

class PrintTargetSizeTest : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(PrintTargetSizeTest, FitsPageIntoPrintableArea) {
  const GeometryCase& c = GetParam();
  EXPECT_EQ(output::printTargetSize(c.width, c.height, c.printableWidth, c.printableHeight), c.target);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PrintTargetSizeTest,
    ::testing::Values(
        // A letter page at 600 pixels per inch less the margins.
        GeometryCase{"LetterLimitedByWidth", 2550, 3300, 4800, 6600, QSize(4800, 6211)},
        GeometryCase{"A4LimitedByHeight", 2480, 3508, 4800, 6600, QSize(4665, 6600)},
        GeometryCase{"LandscapeLimitedByWidth", 3300, 2550, 4800, 6600, QSize(4800, 3709)},
        // A 75 dpi scan is enlarged, not printed at its own size.
        GeometryCase{"SmallScanEnlargedToFullWidth", 638, 825, 4800, 6600, QSize(4800, 6206)},
        GeometryCase{"SameProportionsFillBoth", 1200, 1650, 4800, 6600, QSize(4800, 6600)},
        // 7 x 10 / 3 = 23; dividing first would give 20.
        GeometryCase{"ProductBeforeDivision", 3, 7, 10, 100, QSize(10, 23)},
        GeometryCase{"HeightLimitedTruncates", 7, 3, 100, 10, QSize(23, 10)},
        // 100000 x 30000 exceeds 32 bits.
        GeometryCase{"HugePageDoesNotOverflow", 50000, 100000, 30000, 70000, QSize(30000, 60000)},
        GeometryCase{"UnmeasuredPrinter", 2550, 3300, 0, 0, QSize()}),
    [](const ::testing::TestParamInfo<GeometryCase>& info) { return std::string(info.param.name); });

}  // namespace
