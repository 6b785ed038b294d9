// Page sizes, layouts and clamping to the bed.

#include "scanner/ScanArea.h"

#include <gtest/gtest.h>

namespace {

struct SizeCase {
  int index;
  double width;
  double height;
};

class PageSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PageSizes, AreaIsTheSizeInMillimetresAtTheCorner) {
  const auto& c = GetParam();
  const auto area = scanarea::pageAreaMm(c.index);
  ASSERT_TRUE(area);
  EXPECT_DOUBLE_EQ(area->left, 0);
  EXPECT_DOUBLE_EQ(area->top, 0);
  EXPECT_NEAR(area->right, c.width * 25.4, 1e-9);
  EXPECT_NEAR(area->bottom, c.height * 25.4, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Table, PageSizes,
                         ::testing::Values(SizeCase{1, 8.3, 11.7}, SizeCase{2, 6.9, 9.8}, SizeCase{3, 8.5, 11},
                                           SizeCase{4, 8.5, 14}, SizeCase{5, 5.8, 8.3}, SizeCase{6, 9.8, 13.9},
                                           SizeCase{7, 4.9, 6.9}, SizeCase{8, 11, 17}, SizeCase{9, 7.25, 10.5},
                                           SizeCase{10, 11.7, 16.5}, SizeCase{11, 13.9, 19.7}, SizeCase{12, 4.1, 5.8},
                                           SizeCase{13, 9, 12.8}, SizeCase{14, 6.4, 9}, SizeCase{15, 4.5, 6.4}));

TEST(PageSizes, CustomAndUnknownItemsHaveNoSize) {
  EXPECT_FALSE(scanarea::pageAreaMm(0));
  EXPECT_FALSE(scanarea::pageAreaMm(16));
  EXPECT_FALSE(scanarea::pageAreaMm(-1));
}

TEST(Layout, InchesAndCentimetresBecomeMillimetresNormalised) {
  const ScanAreaMm inches = scanarea::layoutAreaMm(1, 2, 6, 7, scanarea::kUnitInches);
  EXPECT_NEAR(inches.left, 25.4, 1e-5);
  EXPECT_NEAR(inches.bottom, 177.8, 1e-4);
  const ScanAreaMm swapped = scanarea::layoutAreaMm(6, 7, 1, 2, scanarea::kUnitCentimetres);
  EXPECT_NEAR(swapped.left, 10, 1e-5);
  EXPECT_NEAR(swapped.top, 20, 1e-5);
  EXPECT_NEAR(swapped.right, 60, 1e-5);
  EXPECT_NEAR(swapped.bottom, 70, 1e-5);
}

TEST(ClampToBed, InsideStaysOutsideIsReducedOrEmpty) {
  const scanarea::Bed bed{0, 200, 0, 200};
  const auto inside = scanarea::clampToBed({10, 10, 100, 100}, bed);
  EXPECT_FALSE(inside.reduced);
  EXPECT_FALSE(inside.empty);

  const auto a4 = scanarea::clampToBed(*scanarea::pageAreaMm(1), bed);
  EXPECT_TRUE(a4.reduced);
  EXPECT_FALSE(a4.empty);
  EXPECT_DOUBLE_EQ(a4.area.right, 200);
  EXPECT_DOUBLE_EQ(a4.area.bottom, 200);

  const auto beyond = scanarea::clampToBed({250, 10, 300, 100}, bed);
  EXPECT_TRUE(beyond.empty);
}

}  // namespace
