#pragma once

#include <QImage>

namespace testing_support {

// Pictures that, saved as BMP by Qt, give each kind of bitmap file: the
// three the program writes (24-bit colour, 8-bit grey, 1-bit line art), the
// palette kinds a bitmap reader must also handle, and one with a short
// palette that Qt writes as a 4-bit file. Each is a fixed pattern that
// differs from pixel to pixel, so that a wrong row or column shows.
enum class BitmapKind { Colour, Grey, LineArt, ColourPalette8, ColourPalette1, FewColours };

QImage bitmapFixture(BitmapKind kind, int width, int height);

}  // namespace testing_support
