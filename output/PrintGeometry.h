#pragma once

// Where a copied page lands on the printer: as large as the printable area
// allows, keeping its proportions, from the area's top-left corner.

#include <QSize>

namespace output {

// Target size of a width x height page on a printableWidth x printableHeight
// area, in printer pixels: the full printable width, unless the height that
// goes with it exceeds the printable height, then the full printable height.
// Integer arithmetic, products before divisions, truncating; the products are
// 64-bit so that large pages on fine printers can't overflow. The scan
// resolution plays no part, so a small scan is enlarged just as a large one is
// reduced. An empty page or area gives an empty size.
QSize printTargetSize(int width, int height, int printableWidth, int printableHeight);

}  // namespace output
