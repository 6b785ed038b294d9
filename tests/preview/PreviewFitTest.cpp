#include "preview/PreviewFit.h"

#include "platform/Error.h"
#include "support/BitmapFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImageWriter>
#include <QRandomGenerator>

namespace {

TEST(PreviewFit, ALetterPageAtOneHundredDotsPerInchInThePane) {
  const preview_fit::Fit fit = preview_fit::fit(QSize(279, 422), QSize(850, 1100));
  EXPECT_FLOAT_EQ(fit.factor, 0.3282353f);
  EXPECT_EQ(fit.area.left, 0.0f);
  EXPECT_EQ(fit.area.top, 0.0f);
  EXPECT_NEAR(fit.area.right, 279.0, 1e-3);
  EXPECT_NEAR(fit.area.bottom, 361.0588, 1e-3);
  // Taller than wide: the height is the truncated 361, the width 850 * 361 / 1100.
  EXPECT_EQ(fit.bitmap, QSize(278, 361));
  EXPECT_FLOAT_EQ(preview_fit::previewScale(100, fit.factor), 32.82353f);
}

TEST(PreviewFit, TheBitmapFollowsTheLongerSide) {
  // Wider than tall: the width is the truncated right edge, the height follows it.
  const preview_fit::Fit wide = preview_fit::fit(QSize(279, 422), QSize(1100, 850));
  EXPECT_FLOAT_EQ(wide.factor, 279.0f / 1100.0f);
  const int c = static_cast<int>(wide.area.right);
  EXPECT_EQ(wide.bitmap, QSize(c, c * 850 / 1100));

  // A small picture is enlarged to the pane.
  const preview_fit::Fit small = preview_fit::fit(QSize(279, 422), QSize(93, 100));
  EXPECT_FLOAT_EQ(small.factor, 3.0f);
  EXPECT_EQ(small.bitmap, QSize(279, 300));

  // A sliver keeps its height and gets no width; nothing divides by zero later.
  const preview_fit::Fit sliver = preview_fit::fit(QSize(279, 422), QSize(1, 5000));
  EXPECT_EQ(sliver.bitmap, QSize(0, 422));
  EXPECT_TRUE(preview_fit::resample(QImage(1, 5000, QImage::Format_RGB32), sliver.bitmap).isNull());
}

// Each destination pixel is the average of the source area it covers, partly
// covered pixels counting by their share.
TEST(Resample, AveragesTheCoveredAreaInEveryFormat) {
  QImage source(3, 2, QImage::Format_RGB32);
  const int values[3] = {0, 90, 180};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) source.setPixel(x, y, qRgb(values[x], values[x], 255 - values[x]));

  for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_Indexed8}) {
    const QImage converted = source.convertToFormat(format);
    const QImage result = preview_fit::resample(converted, QSize(2, 1));
    ASSERT_EQ(result.format(), QImage::Format_RGB32);
    // Column 0 covers source 0 and half of 1: (0 + 45) / 1.5; column 1 the rest.
    EXPECT_EQ(result.pixel(0, 0), qRgb(30, 30, 225)) << format;
    EXPECT_EQ(result.pixel(1, 0), qRgb(150, 150, 105)) << format;
  }
}

TEST(Resample, ACheckerboardShrinksToItsMeanAndTheResultIsOpaque) {
  QImage source(64, 64, QImage::Format_ARGB32);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) source.setPixel(x, y, (x + y) % 2 ? qRgba(255, 255, 255, 0) : qRgba(0, 0, 0, 255));
  const QImage result = preview_fit::resample(source, QSize(8, 8));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(result.pixel(x, y), qRgb(128, 128, 128));
}

// A picture that isn't 32-bit is worked through in strips; the strips must
// join up exactly, also when the height isn't a multiple of a strip.
TEST(Resample, StripsGiveTheSameResultAsTheWholePicture) {
  QImage gray(300, 1001, QImage::Format_Grayscale8);
  QRandomGenerator random(7);
  for (int y = 0; y < gray.height(); ++y)
    for (int x = 0; x < gray.width(); ++x) gray.scanLine(y)[x] = static_cast<uchar>(random.bounded(256));
  const QSize size(83, 277);
  EXPECT_EQ(preview_fit::resample(gray, size), preview_fit::resample(gray.convertToFormat(QImage::Format_RGB32), size));
}

// Fixed-point weights must add up to exactly one along both axes: a flat
// picture, white included, comes out flat at any ratio, shrunk or enlarged.
TEST(Resample, AFlatPictureStaysExactlyFlat) {
  const QSize sizes[][2] = {{{850, 1100}, {278, 361}}, {{2480, 3508}, {255, 361}}, {{7, 3}, {279, 120}},
                            {{1000, 3}, {3, 1}}};
  for (const QRgb colour : {qRgb(255, 255, 255), qRgb(255, 1, 128), qRgb(0, 0, 0)}) {
    for (const auto& [from, to] : sizes) {
      QImage source(from, QImage::Format_RGB32);
      source.fill(colour);
      const QImage result = preview_fit::resample(source, to);
      ASSERT_EQ(result.size(), to);
      for (int y = 0; y < to.height(); ++y)
        for (int x = 0; x < to.width(); ++x)
          ASSERT_EQ(result.pixel(x, y), colour) << from.width() << "x" << from.height() << " at " << x << "," << y;
    }
  }
}

// The bitmaps the program writes are reduced straight from the file, and
// must give what Qt's reader followed by the resample gives; other files go
// through Qt's reader, and the load gives the same picture either way.
struct FileCase {
  const char* name;
  testing_support::BitmapKind kind;
  QSize source;
  QSize target;
  bool fromFile;
};

class ResampleFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(ResampleFile, AgreesWithQtsReaderAndTheLoadUsesIt) {
  const FileCase& c = GetParam();
  const QString path = testing_support::makeTempDir("fit") + "/" + c.name + ".bmp";
  ASSERT_TRUE(testing_support::bitmapFixture(c.kind, c.source.width(), c.source.height()).save(path, "BMP"));
  const QImage decoded(path);
  ASSERT_FALSE(decoded.isNull());

  const std::optional<QImage> fast = preview_fit::resampleBitmapFile(path, c.target);
  ASSERT_EQ(fast.has_value(), c.fromFile);
  if (fast) {
    EXPECT_EQ(*fast, preview_fit::resample(decoded, c.target));
  }

  const QSize pane(279, 422);
  const preview_fit::Loaded loaded = preview_fit::loadFitted(path, pane);
  const preview_fit::Fit expected = preview_fit::fit(pane, c.source);
  EXPECT_EQ(loaded.fit.bitmap, expected.bitmap);
  EXPECT_EQ(loaded.bitmap, preview_fit::resample(decoded, expected.bitmap));
}

using testing_support::BitmapKind;
INSTANTIATE_TEST_SUITE_P(
    Bitmaps, ResampleFile,
    ::testing::Values(FileCase{"Colour", BitmapKind::Colour, {850, 1100}, {278, 361}, true},
                      FileCase{"ColourOddRows", BitmapKind::Colour, {301, 203}, {97, 65}, true},
                      FileCase{"ColourEnlarged", BitmapKind::Colour, {7, 5}, {100, 71}, true},
                      FileCase{"Grey", BitmapKind::Grey, {301, 450}, {100, 149}, true},
                      FileCase{"LineArt", BitmapKind::LineArt, {333, 250}, {279, 209}, true},
                      FileCase{"ColourPalette8", BitmapKind::ColourPalette8, {120, 90}, {100, 75}, true},
                      FileCase{"ColourPalette1", BitmapKind::ColourPalette1, {99, 130}, {56, 74}, true},
                      FileCase{"FourBitLeftToQt", BitmapKind::FewColours, {40, 30}, {40, 30}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadFitted, AFileThatIsNotAPictureThrowsNamingThePath) {
  const QString folder = testing_support::makeTempDir("fit");
  QFile text(folder + "/Brevalto.bmp");
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("this is no bitmap");
  text.close();

  for (const QString& path : {text.fileName(), folder + "/missing.bmp"}) {
    try {
      preview_fit::loadFitted(path, QSize(279, 422));
      ADD_FAILURE() << "no error for " << path.toStdString();
    } catch (const platform::Error& error) {
      EXPECT_TRUE(error.text().contains(path)) << error.text().toStdString();
    }
  }
}

}  // namespace
