#include "support/BitmapFixtures.h"

#include <QList>

namespace testing_support {

QImage bitmapFixture(BitmapKind kind, int width, int height) {
  QImage rgb(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      rgb.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * 5 + y * 61) % 256, (x * y + 3 * x) % 256));
  switch (kind) {
    case BitmapKind::Colour:
      return rgb.convertToFormat(QImage::Format_RGB888);
    case BitmapKind::Grey:
      return rgb.convertToFormat(QImage::Format_Grayscale8);
    case BitmapKind::LineArt: {
      QImage mono = rgb.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
      mono.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
      return mono;
    }
    case BitmapKind::ColourPalette8: {
      QList<QRgb> palette;
      for (int i = 0; i < 256; ++i) palette << qRgb(i, 255 - i, (i * 7) % 256);
      return rgb.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
    }
    case BitmapKind::ColourPalette1: {
      QImage mono = rgb.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
      mono.setColorTable({qRgb(200, 10, 10), qRgb(10, 10, 200)});
      return mono;
    }
    case BitmapKind::FewColours:  // Qt writes these as 4-bit bitmaps
      return rgb.convertToFormat(QImage::Format_Indexed8, {qRgb(0, 0, 0), qRgb(90, 200, 30), qRgb(250, 250, 250)},
                                 Qt::ThresholdDither);
  }
  return {};
}

}  // namespace testing_support
