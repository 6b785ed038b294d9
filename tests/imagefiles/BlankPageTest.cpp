// The blank-page measure: how much of a page, inside its edge strips, is marked.

#include "scanner/BlankPage.h"

#include <gtest/gtest.h>

#include <QPainter>

namespace {

QImage page(QImage::Format format, int width, int height, QColor paper = Qt::white) {
  QImage image(width, height, format);
  if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB) {
    image.setColorCount(2);
    image.setColor(0, qRgb(0, 0, 0));
    image.setColor(1, qRgb(255, 255, 255));
    image.fill(1);
  } else {
    image.fill(paper);
  }
  return image;
}

void blacken(QImage& image, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB)
        image.setPixel(x, y, 0);
      else
        image.setPixelColor(x, y, Qt::black);
    }
}

// The same marks in every kind of page the scanner delivers.
class NoiseLevelByFormat : public ::testing::TestWithParam<QImage::Format> {};

TEST_P(NoiseLevelByFormat, CountsMarkedPixelsInsideTheEdgeStrips) {
  // 203 x 100: strips of 2 columns and 1 row, so 199 x 98 pixels count.
  QImage image = page(GetParam(), 203, 100);
  EXPECT_FLOAT_EQ(measureNoiseLevel(image), 0.0f);

  // Marks on the edge strips only: a shadow of the sheet's border.
  blacken(image, QRect(0, 0, 2, 100));
  blacken(image, QRect(0, 99, 203, 1));
  EXPECT_FLOAT_EQ(measureNoiseLevel(image), 0.0f);

  // 98 marked pixels inside: one column, whole inner height; odd offsets so
  // the one-bit formats are counted across byte boundaries.
  blacken(image, QRect(13, 0, 1, 100));
  EXPECT_FLOAT_EQ(measureNoiseLevel(image), 98.0f / (199.0f * 98.0f));
  blacken(image, QRect(100, 1, 99, 98));
  EXPECT_FLOAT_EQ(measureNoiseLevel(image), 100.0f * 98.0f / (199.0f * 98.0f));
}

INSTANTIATE_TEST_SUITE_P(Formats, NoiseLevelByFormat,
                         ::testing::Values(QImage::Format_Mono, QImage::Format_MonoLSB,
                                           QImage::Format_Grayscale8, QImage::Format_RGB888,
                                           QImage::Format_RGB32));

TEST(NoiseLevel, PaperToneDecidesByLumaNotByChannel) {
  // Greyish paper as a real scanner reads it is background; a saturated blue
  // with a bright green channel is a mark.
  const struct {
    QColor colour;
    bool marked;
  } rows[] = {{QColor(230, 228, 220), false}, {QColor(200, 200, 200), false},
              {QColor(199, 199, 199), true},  {QColor(0, 0, 255), true},
              {QColor(255, 255, 0), false},   {QColor(255, 0, 0), true}};
  for (const auto& row : rows) {
    const QImage image = page(QImage::Format_RGB32, 50, 50, row.colour);
    EXPECT_FLOAT_EQ(measureNoiseLevel(image), row.marked ? 1.0f : 0.0f) << row.colour.name().toStdString();
  }
}

TEST(NoiseLevel, LineArtWithAnInvertedPaletteAndDegeneratePages) {
  // Some drivers deliver line art with 0 as white: the darker colour is the mark.
  QImage inverted(100, 100, QImage::Format_Mono);
  inverted.setColorCount(2);
  inverted.setColor(0, qRgb(255, 255, 255));
  inverted.setColor(1, qRgb(0, 0, 0));
  inverted.fill(0);
  EXPECT_FLOAT_EQ(measureNoiseLevel(inverted), 0.0f);
  inverted.fill(1);
  EXPECT_FLOAT_EQ(measureNoiseLevel(inverted), 1.0f);

  EXPECT_FLOAT_EQ(measureNoiseLevel(QImage()), 0.0f);
  EXPECT_FLOAT_EQ(measureNoiseLevel(page(QImage::Format_RGB32, 1, 1, Qt::black)), 1.0f)
      << "a page too small for strips is measured whole";
}

}  // namespace
