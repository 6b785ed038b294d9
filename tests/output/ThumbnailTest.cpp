// Thumbnails of scanned pages: where the reduced page sits in the 100 x 75
// cell, what the reduction averages, and a file that can't be read.

#include "output/BitmapFileReduce.h"
#include "output/Thumbnail.h"
#include "platform/Error.h"
#include "support/BitmapFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cstring>

using namespace output;
using testing_support::BitmapKind;
using testing_support::bitmapFixture;

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

// On a scaled screen the thumbnail has the screen's pixels: the same page in
// the same place of a 100 x 75 cell, with ratio times the pixels each way.
TEST(Thumbnail, OnAScaledScreenTheCellHoldsTheScreensPixels) {
  QImage page(300, 400, QImage::Format_RGB32);
  page.fill(qRgb(0, 0, 160));
  const QString path = writePage(page, "scaled.bmp");
  struct Case {
    qreal ratio;
    QSize pixels;
    int firstBlue, lastBlue;  // the 56-pixel picture from x = 22, in device pixels
  };
  const Case cases[] = {{1.0, {100, 75}, 22, 77}, {1.5, {150, 113}, 33, 116}, {2.0, {200, 150}, 44, 155}};
  for (const Case& c : cases) {
    const QImage cell = makeThumbnailImage(path, 300, 400, c.ratio);
    EXPECT_EQ(cell.size(), c.pixels) << c.ratio;
    EXPECT_EQ(cell.devicePixelRatio(), c.ratio);
    EXPECT_EQ(cell.deviceIndependentSize().toSize(), QSize(100, 75)) << c.ratio;
    const int y = c.pixels.height() / 2;
    EXPECT_EQ(cell.pixel(c.firstBlue - 1, y), qRgb(255, 255, 255)) << c.ratio;
    EXPECT_EQ(cell.pixel(c.firstBlue, y), qRgb(0, 0, 160)) << c.ratio;
    EXPECT_EQ(cell.pixel(c.lastBlue, y), qRgb(0, 0, 160)) << c.ratio;
    EXPECT_EQ(cell.pixel(c.lastBlue + 1, y), qRgb(255, 255, 255)) << c.ratio;
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

// The reduction straight from the file must give what Qt's reader followed by
// boxReduce gives, for every bitmap kind the program writes and a few it
// doesn't; kinds it doesn't know it leaves to Qt's reader.
struct FileReduceCase {
  const char* name;
  BitmapKind kind;
  QSize source;
  QSize target;
  bool read;  // reduced from the file itself, not left to Qt's reader
};

class FileReduce : public ::testing::TestWithParam<FileReduceCase> {};

TEST_P(FileReduce, AgreesWithQtsReader) {
  const FileReduceCase& c = GetParam();
  const QString path = writePage(bitmapFixture(c.kind, c.source.width(), c.source.height()), QString(c.name) + ".bmp");
  const std::optional<QImage> fast = boxReduceBitmapFile(path, c.target);
  ASSERT_EQ(fast.has_value(), c.read);
  if (!c.read) return;
  const QImage expected = boxReduce(QImage(path), c.target);
  ASSERT_EQ(fast->size(), expected.size());
  ASSERT_EQ(fast->format(), expected.format());
  for (int y = 0; y < expected.height(); ++y)
    for (int x = 0; x < expected.width(); ++x)
      ASSERT_EQ(fast->pixel(x, y), expected.pixel(x, y)) << "at " << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(
    Bitmaps, FileReduce,
    ::testing::Values(FileReduceCase{"ColourShrunk", BitmapKind::Colour, {301, 203}, {53, 75}, true},
                      FileReduceCase{"ColourEnlarged", BitmapKind::Colour, {7, 5}, {100, 71}, true},
                      FileReduceCase{"ColourOneRow", BitmapKind::Colour, {640, 1}, {100, 1}, true},
                      FileReduceCase{"GreyShrunk", BitmapKind::Grey, {301, 203}, {100, 67}, true},
                      FileReduceCase{"GreyEnlarged", BitmapKind::Grey, {3, 9}, {25, 75}, true},
                      FileReduceCase{"LineArt", BitmapKind::LineArt, {333, 250}, {100, 75}, true},
                      FileReduceCase{"ColourPalette8", BitmapKind::ColourPalette8, {120, 90}, {100, 75}, true},
                      FileReduceCase{"ColourPalette1", BitmapKind::ColourPalette1, {99, 130}, {56, 75}, true},
                      FileReduceCase{"FourBitLeftToQt", BitmapKind::FewColours, {40, 30}, {40, 30}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Thumbnail, BitmapsTheFastReaderDeclinesStillGiveTheirThumbnail) {
  // A top-down bitmap (negative height, rows from the top) and a cut-off file.
  QImage page(60, 40, QImage::Format_RGB888);
  page.fill(qRgb(10, 20, 30));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x) page.setPixel(x, y, qRgb(250, 0, 0));
  const QString bottomUp = writePage(page, "bottomup.bmp");
  QFile file(bottomUp);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QByteArray bytes = file.readAll();
  file.close();
  const int rowBytes = (60 * 3 + 3) & ~3;
  QByteArray topDown = bytes.left(54);
  qint32 negative = -40;
  std::memcpy(topDown.data() + 22, &negative, 4);
  for (int fileRow = 39; fileRow >= 0; --fileRow) topDown += bytes.mid(54 + fileRow * rowBytes, rowBytes);
  const QString topDownPath = testing_support::makeTempDir("thumbs") + "/topdown.bmp";
  QFile out(topDownPath);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write(topDown);
  out.close();

  EXPECT_FALSE(boxReduceBitmapFile(topDownPath, QSize(100, 66)).has_value());
  EXPECT_EQ(makeThumbnailImage(topDownPath, 60, 40), makeThumbnailImage(bottomUp, 60, 40));
  EXPECT_EQ(makeThumbnailImage(topDownPath, 60, 40).pixel(50, 10), qRgb(250, 0, 0)) << "the top is red";

  const QString cut = testing_support::makeTempDir("thumbs") + "/cut.bmp";
  QFile cutFile(cut);
  ASSERT_TRUE(cutFile.open(QIODevice::WriteOnly));
  cutFile.write(bytes.left(bytes.size() - 7));
  cutFile.close();
  EXPECT_FALSE(boxReduceBitmapFile(cut, QSize(100, 66)).has_value());
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
