#pragma once

#include <QImage>
#include <QSize>

namespace bench {

// An A4 page at 300 dpi as a colour scanner delivers it (RGB888): off-white
// paper with a fibrous texture, a photo block, a heading and paragraphs of
// text, and sensor noise. The same seed always paints the same page.
constexpr QSize kA4At300Dpi(2480, 3508);
constexpr int kPageDotsPerInch = 300;

QImage makeSyntheticPage(unsigned seed = 20091208, QSize size = kA4At300Dpi);

}  // namespace bench
