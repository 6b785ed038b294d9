#include "preview/PageSizes.h"
#include "preview/Units.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(PageSizes, ItemTextsAreTheComboItemsWithTheirTrailingBlanks) {
  const QStringList expected = {"Custom",      "A4 Letter, A4 ", "B5 Letter, JIS B5 ", "US Letter ",
                                "US Legal ",   "A5 ",            "B4, ISO B4 ",        "B6, ISO B6 ",
                                "US Ledger ",  "US Executive ",  "A3 ",                "B3, ISO B3 ",
                                "A6 ",         "C4 ",            "C5",                 "C6"};
  EXPECT_EQ(page_sizes::itemTexts(), expected);
}

TEST(PageSizes, CustomHasNoSizeAndIndicesOutsideTheTableThrow) {
  EXPECT_FALSE(page_sizes::namedSizeRect(page_sizes::kCustom, 20.78f).has_value());
  EXPECT_THROW(page_sizes::pageSize(-1), std::out_of_range);
  EXPECT_THROW(page_sizes::pageSize(16), std::out_of_range);
}

TEST(PageSizes, A4AtTheInitialScaleIsTheOneDecimalInchSizeInPanePixels) {
  const auto rect = page_sizes::namedSizeRect(1, units::kInitialPreviewScale);
  ASSERT_TRUE(rect.has_value());
  EXPECT_EQ(rect->left, 0.0f);
  EXPECT_EQ(rect->top, 0.0f);
  EXPECT_NEAR(rect->right, 172.474, 0.001);
  EXPECT_NEAR(rect->bottom, 243.126, 0.001);
  // Single precision throughout, as the layers hold it.
  EXPECT_EQ(rect->right, 8.3f * 20.78f);
  EXPECT_EQ(rect->bottom, 11.7f * 20.78f);
}

struct ReadoutCase {
  int index;
  int units;
  const char* expected;
};

class NamedSizeReadout : public ::testing::TestWithParam<ReadoutCase> {};

// The readout of a named size doesn't depend on the scale it was placed at.
TEST_P(NamedSizeReadout, ShowsTheRoundedSizeAtAnyScale) {
  const ReadoutCase c = GetParam();
  for (float scale : {20.78f, 32.82353f, 25.0f}) {
    const FloatRect rect = *page_sizes::namedSizeRect(c.index, scale);
    EXPECT_EQ(units::sizeReadout(rect, scale, c.units), QString::fromLatin1(c.expected)) << "scale " << scale;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, NamedSizeReadout,
                         ::testing::Values(ReadoutCase{1, 2, "211 x 297 mm"}, ReadoutCase{3, 2, "216 x 279 mm"},
                                           ReadoutCase{10, 2, "297 x 419 mm"}, ReadoutCase{11, 2, "353 x 500 mm"},
                                           ReadoutCase{1, 1, "8 x 11 in"}, ReadoutCase{4, 1, "8 x 14 in"},
                                           ReadoutCase{9, 1, "7 x 10 in"}, ReadoutCase{8, 1, "11 x 17 in"},
                                           // Any unit but millimetres reads as inches.
                                           ReadoutCase{1, 5, "8 x 11 in"}, ReadoutCase{1, 0, "8 x 11 in"}));

TEST(Readout, AOnePixelWideFrameReadsOneMillimetreButNoInch) {
  const FloatRect frame{10.0f, 0.0f, 11.0f, 100.0f};
  EXPECT_TRUE(units::sizeReadout(frame, 20.78f, units::kMillimetres).startsWith("1 x "));
  EXPECT_TRUE(units::sizeReadout(frame, 20.78f, units::kInches).startsWith("0 x "));
}

TEST(Rounding, MillimetreTiesGoToTheEvenNumber) {
  const std::pair<double, long> cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {210.5, 210},
                                           {210.82, 211}, {2.49, 2}, {-1.5, -2}};
  for (const auto& [value, expected] : cases) EXPECT_EQ(units::roundMillimetres(value), expected) << value;
}

TEST(Rounding, InchesRoundToHundredthsThenDropTheFraction) {
  const std::pair<double, long> cases[] = {{8.3, 8}, {8.996, 9}, {8.994, 8}, {8.5, 8}, {0.99, 0}, {0.999, 1}, {17.0, 17}};
  for (const auto& [value, expected] : cases) EXPECT_EQ(units::roundInches(value), expected) << value;
}

TEST(Conversion, PaneRectangleToInchesDividesEachEdgeByTheScale) {
  const FloatRect inches = units::paneToInches({10, 20, 110, 220}, 25.0f);
  EXPECT_FLOAT_EQ(inches.left, 0.4f);
  EXPECT_FLOAT_EQ(inches.top, 0.8f);
  EXPECT_FLOAT_EQ(inches.right, 4.4f);
  EXPECT_FLOAT_EQ(inches.bottom, 8.8f);

  const FloatRect whole = units::paneToInches({20.78f, 41.56f, 124.68f, 145.46f}, 20.78f);
  EXPECT_FLOAT_EQ(whole.left, 1.0f);
  EXPECT_FLOAT_EQ(whole.top, 2.0f);
  EXPECT_FLOAT_EQ(whole.right, 6.0f);
  EXPECT_FLOAT_EQ(whole.bottom, 7.0f);
}

TEST(Conversion, MetricUnits) {
  EXPECT_DOUBLE_EQ(units::inchesToMillimetres(1.0), 25.4);
  EXPECT_DOUBLE_EQ(units::inchesToCentimetres(2.0), 5.08);
  EXPECT_NEAR(units::centimetresToPanePixels(2.54, 20.78), 20.78, 1e-12);
}

}  // namespace
