// Thumbnails of scanned pages: where the reduced page sits in the 100 x 75
// cell, what the reduction averages, and a file that can't be read.

#include "output/Thumbnail.h"
#include "platform/Error.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace output;

namespace {

struct GeometryCase {
  int width, height;
  QSize scaled;
  QPoint topLeft;
};

class Geometry : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(Geometry, ScaledSizeAndPlaceInTheCell) {
  const GeometryCase& c = GetParam();
  const ThumbnailGeometry g = thumbnailGeometry(c.width, c.height);
  EXPECT_EQ(g.scaled, c.scaled);
  EXPECT_EQ(g.topLeft, c.topLeft);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, Geometry,
    ::testing::Values(GeometryCase{2480, 3508, {53, 75}, {23, 0}},   // A4 upright
                      GeometryCase{3508, 2480, {100, 70}, {0, 2}},   // A4 lying
                      GeometryCase{1000, 1000, {75, 75}, {12, 0}},   // square
                      GeometryCase{1100, 1000, {100, 90}, {0, -7}},  // cut at top and bottom
                      GeometryCase{20, 10, {100, 50}, {0, 12}}));    // small pages are enlarged

QString writePage(const QImage& image, const QString& name) {
  const QString path = testing_support::makeTempDir("thumbs") + "/" + name;
  EXPECT_TRUE(image.save(path, "BMP"));
  return path;
}

TEST(Thumbnail, UprightPageBetweenWhiteBars) {
  QImage page(300, 400, QImage::Format_RGB32);
  page.fill(qRgb(0, 0, 160));
  const QImage cell = makeThumbnailImage(writePage(page, "upright.bmp"), 300, 400);
  ASSERT_EQ(cell.size(), QSize(100, 75));
  // 56 x 75 from x = 22.
  for (int y : {0, 37, 74}) {
    EXPECT_EQ(cell.pixel(21, y), qRgb(255, 255, 255));
    EXPECT_EQ(cell.pixel(22, y), qRgb(0, 0, 160));
    EXPECT_EQ(cell.pixel(77, y), qRgb(0, 0, 160));
    EXPECT_EQ(cell.pixel(78, y), qRgb(255, 255, 255));
  }
}

TEST(Thumbnail, LyingPageNarrowerThanTheCellIsCutNotBarred) {
  // Top half red, bottom half green: rows 7.. of the 90-row picture show.
  QImage page(1100, 1000, QImage::Format_RGB32);
  page.fill(qRgb(255, 0, 0));
  for (int y = 500; y < 1000; ++y)
    for (int x = 0; x < 1100; ++x) page.setPixel(x, y, qRgb(0, 255, 0));
  const QImage cell = makeThumbnailImage(writePage(page, "lying.bmp"), 1100, 1000);
  EXPECT_EQ(cell.pixel(50, 0), qRgb(255, 0, 0)) << "no white bar above";
  EXPECT_EQ(cell.pixel(50, 74), qRgb(0, 255, 0)) << "no white bar below";
  EXPECT_EQ(cell.pixel(50, 37), qRgb(255, 0, 0)) << "picture row 44 is still in the red half";
  EXPECT_EQ(cell.pixel(50, 38), qRgb(0, 255, 0)) << "picture row 45 starts the green half";
}

TEST(Thumbnail, ReductionAveragesEverySourcePixel) {
  // A one-pixel checkerboard must come out as an even grey, not as black or
  // white as a nearest-pixel reduction would give.
  QImage checker(400, 300, QImage::Format_RGB32);
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x) checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
  const QImage reduced = boxReduce(checker, QSize(100, 75));
  ASSERT_EQ(reduced.size(), QSize(100, 75));
  for (int y = 0; y < 75; y += 7)
    for (int x = 0; x < 100; x += 9) EXPECT_EQ(qGray(reduced.pixel(x, y)), 128) << x << "," << y;

  // Grey and line-art pages give the same means as colour ones.
  const QImage mono = checker.convertToFormat(QImage::Format_Mono);
  EXPECT_EQ(qGray(boxReduce(mono, QSize(100, 75)).pixel(50, 40)), 128);
  const QImage grey = checker.convertToFormat(QImage::Format_Grayscale8);
  EXPECT_EQ(qGray(boxReduce(grey, QSize(100, 75)).pixel(50, 40)), 128);
}

TEST(Thumbnail, UnreadableFileNamesThePath) {
  const QString path = testing_support::makeTempDir("thumbs") + "/gone.bmp";
  try {
    makeThumbnailImage(path, 100, 100);
    FAIL() << "no error for a missing file";
  } catch (const platform::Error& error) {
    EXPECT_NE(QString::fromUtf8(error.what()).indexOf(path), -1) << error.what();
  }
}

}  // namespace
