// Decoding the files the viewer shows: TIFF through libtiff, BMP and JPEG
// through the picture loader, and what a damaged or foreign file gives.

#include "Fixtures.h"
#include "support/BitmapFixtures.h"
#include "support/TestSupport.h"

#include "imagelist/TiffDecoder.h"
#include "platform/Error.h"
#include "platform/PictureLoader.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QPainter>

#include <cstdlib>
#include <functional>

using namespace imagelist_fixtures;

namespace {

QString thrownText(const std::function<void()>& action) {
  try {
    action();
  } catch (const platform::Error& error) {
    return error.text();
  }
  return QStringLiteral("<nothing thrown>");
}

// Within a JPEG's loss.
bool near(QRgb actual, QRgb expected, int tolerance = 24) {
  return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
         std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
         std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

struct TiffCase {
  const char* name;
  TiffKind kind;
  // expected colours of the four quadrants: top-left, top-right, bottom-left, bottom-right
  QRgb topLeft, topRight, bottomLeft, bottomRight;
};

class TiffDecoding : public ::testing::TestWithParam<TiffCase> {};

TEST_P(TiffDecoding, GivesThePixelsUprightInScreenOrder) {
  const TiffCase& c = GetParam();
  const QString path = testing_support::makeTempDir() + "/page.tiff";
  writeTiff(path, quadrants(10, 6), c.kind);

  const QImage image = decodeTiff(path);
  ASSERT_EQ(image.size(), QSize(10, 6));
  EXPECT_EQ(image.pixel(1, 1), c.topLeft);
  EXPECT_EQ(image.pixel(8, 1), c.topRight);
  EXPECT_EQ(image.pixel(1, 4), c.bottomLeft);
  EXPECT_EQ(image.pixel(8, 4), c.bottomRight);
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 255);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, TiffDecoding,
    ::testing::Values(
        TiffCase{"colour", TiffKind::Colour, qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0),
                 qRgb(255, 255, 255)},
        TiffCase{"grey", TiffKind::Grey, qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(0, 0, 0),
                 qRgb(255, 255, 255)},
        TiffCase{"bilevel", TiffKind::Bilevel, qRgb(255, 255, 255), qRgb(0, 0, 0),
                 qRgb(0, 0, 0), qRgb(255, 255, 255)}),
    [](const auto& info) { return std::string(info.param.name); });

// A picture with an alpha channel keeps its colours: painted over white,
// half-transparent red is pink, not the dark red of premultiplied values taken
// as straight ones. Both kinds of stored alpha must give the same picture.
TEST(TiffDecoding, AlphaChannelGivesTheStraightColours) {
  const QRgb halfRed = qRgba(200, 40, 0, 128);
  const QRgb opaqueBlue = qRgba(10, 20, 230, 255);
  for (const bool associated : {true, false}) {
    SCOPED_TRACE(associated ? "associated alpha" : "unassociated alpha");
    const QString path = testing_support::makeTempDir() + "/alpha.tif";
    writeTiffWithAlpha(path, halfRed, opaqueBlue, associated);

    const QImage image = decodeTiff(path);
    ASSERT_EQ(image.size(), QSize(2, 1));
    const QColor left = image.pixelColor(0, 0);
    EXPECT_NEAR(left.alpha(), 128, 1);
    EXPECT_NEAR(left.red(), 200, 3);
    EXPECT_NEAR(left.green(), 40, 3);
    EXPECT_NEAR(left.blue(), 0, 3);
    EXPECT_EQ(image.pixel(1, 0), opaqueBlue);

    QImage onWhite(2, 1, QImage::Format_RGB32);
    onWhite.fill(Qt::white);
    {
      QPainter painter(&onWhite);
      painter.drawImage(0, 0, image);
    }
    EXPECT_NEAR(qRed(onWhite.pixel(0, 0)), (200 * 128 + 255 * 127) / 255, 3);
    EXPECT_NEAR(qGreen(onWhite.pixel(0, 0)), (40 * 128 + 255 * 127) / 255, 3);
  }
}

TEST(TiffDecodingFailures, EachGivesItsMessage) {
  const QString dir = testing_support::makeTempDir();
  const QString missing = dir + "/missing.tif";
  const QString truncated = dir + "/truncated.tif";
  writeTiff(truncated, quadrants(64, 64), TiffKind::Colour);
  truncateFile(truncated, 0.5);
  const QString huge = dir + "/huge.tif";
  writeTiffHeaderOnly(huge, 100000, 100000);
  const QString notTiff = dir + "/picture.tif";
  writeBmp(notTiff, quadrants(4, 4));

  EXPECT_EQ(thrownText([&] { decodeTiff(missing); }), "Unable to open file '" + missing + "'");
  EXPECT_EQ(thrownText([&] { decodeTiff(truncated); }), "Unable to open file '" + truncated + "'");
  EXPECT_EQ(thrownText([&] { decodeTiff(huge); }), "Unable to create TBitmap buffer");
  EXPECT_EQ(thrownText([&] { decodeTiff(notTiff); }), "Unable to open file '" + notTiff + "'");
}

TEST(PictureLoader, LoadsBmpAndJpegWhateverTheExtensionsCase) {
  const QString dir = testing_support::makeTempDir();
  const QImage source = quadrants(32, 16);
  writeBmp(dir + "/a.bmp", source);
  writeBmp(dir + "/b.BMP", source);
  writeJpeg(dir + "/c.jpg", source);
  writeJpeg(dir + "/d.JPEG", source);

  for (const char* name : {"a.bmp", "b.BMP"}) {
    const QImage image = platform::loadPicture(dir + "/" + name);
    ASSERT_EQ(image.size(), QSize(32, 16)) << name;
    EXPECT_EQ(image.pixel(2, 2), qRgb(255, 0, 0)) << name;
    EXPECT_EQ(image.pixel(29, 13), qRgb(255, 255, 255)) << name;
  }
  for (const char* name : {"c.jpg", "d.JPEG"}) {
    const QImage image = platform::loadPicture(dir + "/" + name);
    ASSERT_EQ(image.size(), QSize(32, 16)) << name;
    EXPECT_TRUE(near(image.pixel(3, 3), qRgb(255, 0, 0))) << name;
    EXPECT_TRUE(near(image.pixel(28, 3), qRgb(0, 0, 255))) << name;
    EXPECT_TRUE(near(image.pixel(3, 12), qRgb(0, 255, 0))) << name;
  }
}

TEST(PictureLoader, GreyJpegLoads) {
  const QString path = testing_support::makeTempDir() + "/grey.jpg";
  QImage grey = quadrants(16, 16).convertToFormat(QImage::Format_Grayscale8);
  ASSERT_TRUE(grey.save(path, "JPG"));
  const QImage image = platform::loadPicture(path);
  ASSERT_EQ(image.size(), QSize(16, 16));
  EXPECT_EQ(image.format(), QImage::Format_Grayscale8);
}

TEST(PictureLoader, RefusesWhatItCannotLoadWithAClearMessage) {
  const QString dir = testing_support::makeTempDir();
  const QString tif = dir + "/scan.TIF";
  writeTiff(tif, quadrants(8, 8), TiffKind::Colour);
  const QString noExtension = dir + "/scan";
  writeBmp(noExtension, quadrants(8, 8));
  const QString missing = dir + "/gone.bmp";
  const QString truncatedJpeg = dir + "/cut.jpg";
  writeJpeg(truncatedJpeg, quadrants(256, 256));
  truncateFile(truncatedJpeg, 0.5);
  const QString headerOnlyJpeg = dir + "/head.jpg";
  writeJpeg(headerOnlyJpeg, quadrants(64, 64));
  truncateFile(headerOnlyJpeg, 0.05);
  const QString garbageJpeg = dir + "/garbage.jpg";
  writeBytes(garbageJpeg, QByteArray(500, 'x'));
  const QString garbageBmp = dir + "/garbage.bmp";
  writeBytes(garbageBmp, QByteArray(500, 'x'));
  const QString emptyJpeg = dir + "/empty.jpeg";
  writeBytes(emptyJpeg, QByteArray());

  EXPECT_EQ(thrownText([&] { platform::loadPicture(tif); }),
            "Unknown picture file extension (.TIF)");
  EXPECT_EQ(thrownText([&] { platform::loadPicture(noExtension); }),
            "Unknown picture file extension ()");
  EXPECT_EQ(thrownText([&] { platform::loadPicture(missing); }),
            "Unable to open file '" + missing + "'");
  EXPECT_EQ(thrownText([&] { platform::loadPicture(dir + "/gone.jpg"); }),
            "Unable to open file '" + dir + "/gone.jpg'");
  EXPECT_EQ(thrownText([&] { platform::loadPicture(truncatedJpeg); }),
            "Unable to load picture '" + truncatedJpeg + "': Premature end of JPEG file");
  for (const QString& path : {headerOnlyJpeg, garbageJpeg, garbageBmp, emptyJpeg}) {
    const QString text = thrownText([&] { platform::loadPicture(path); });
    EXPECT_TRUE(text.startsWith("Unable to load picture '" + path + "': ")) << text.toStdString();
    EXPECT_GT(text.size(), ("Unable to load picture '" + path + "': ").size()) << text.toStdString();
  }
}

// A bitmap that ends early is refused as a JPEG that ends early is, instead
// of being shown with its missing rows black; whole files of every kind still
// load. Each kind is cut inside its pixels and by its very last byte.
TEST(PictureLoader, TruncatedBitmapIsRefusedLikeATruncatedJpeg) {
  using testing_support::BitmapKind;
  const QString dir = testing_support::makeTempDir();
  const struct {
    const char* name;
    BitmapKind kind;
  } kinds[] = {{"colour", BitmapKind::Colour},           {"grey", BitmapKind::Grey},
               {"lineart", BitmapKind::LineArt},         {"palette8", BitmapKind::ColourPalette8},
               {"palette1", BitmapKind::ColourPalette1}, {"fourbit", BitmapKind::FewColours}};
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.name);
    const QImage source = testing_support::bitmapFixture(kind.kind, 37, 23);
    const QString whole = dir + "/" + kind.name + ".bmp";
    ASSERT_TRUE(source.save(whole, "BMP"));
    const QByteArray bytes = readBytes(whole);
    EXPECT_EQ(platform::loadPicture(whole).size(), QSize(37, 23));

    for (const qsizetype kept : {bytes.size() / 2, bytes.size() - 1}) {
      const QString cut = dir + "/" + kind.name + "-" + QString::number(kept) + ".bmp";
      writeBytes(cut, bytes.left(kept));
      EXPECT_EQ(thrownText([&] { platform::loadPicture(cut); }),
                "Unable to load picture '" + cut + "': Premature end of BMP file");
    }
  }
}

TEST(PictureLoader, BigJpegIsDecodedReducedForASmallArea) {
  const QString path = testing_support::makeTempDir() + "/page.jpg";
  writeJpeg(path, quadrants(1600, 1200), 50);

  QSize full;
  const QImage reduced = platform::loadPicture(path, QSize(429, 545), &full);
  EXPECT_EQ(full, QSize(1600, 1200));
  // 4/8 is the smallest eighth that still covers 545 rows.
  EXPECT_EQ(reduced.size(), QSize(800, 600));
  EXPECT_TRUE(near(reduced.pixel(10, 10), qRgb(255, 0, 0)));
  EXPECT_TRUE(near(reduced.pixel(790, 590), qRgb(255, 255, 255)));

  EXPECT_EQ(platform::loadPicture(path, QSize(1500, 1100), &full).size(), QSize(1600, 1200));
  EXPECT_EQ(platform::loadPicture(path).size(), QSize(1600, 1200));
}

TEST(PictureLoader, ReducedJpegSizeCoversTheAreaInBothDirections) {
  struct Row {
    QSize full, area, expected;
  };
  const Row rows[] = {
      {{2480, 3508}, {429, 545}, {620, 877}},   // 2/8: 877 rows cover 545, 1/8 gives 439
      {{2480, 3508}, {300, 400}, {310, 439}},   // 1/8 is enough
      {{2480, 3508}, {2400, 100}, {2480, 3508}},  // width needs all of it
      {{801, 601}, {101, 1}, {101, 76}},        // libjpeg rounds up
      {{100, 100}, {0, 0}, {100, 100}},         // no area: no reduction
  };
  for (const Row& r : rows)
    EXPECT_EQ(platform::reducedJpegSize(r.full, r.area), r.expected)
        << r.full.width() << "x" << r.full.height() << " in " << r.area.width() << "x"
        << r.area.height();
}

}  // namespace
