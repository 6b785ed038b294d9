#pragma once

// Blank-page measure for pages from the document feeder.
//
// The question it answers is "did anybody put something on this sheet?", so
// that the fixed limit 0.01 separates sheets with any content (a line of text,
// a page number, a signature, a pencil note, a stamp, faded print) from empty
// sheets, whatever their paper and whatever the scanner added to them.
//
// How a page is measured:
//  1. Reduction. The page is read once, on a grid of cells about 1/100 inch
//     square (3 x 3 pixels at 300 dpi; at 600 dpi and above only every
//     second pixel of every second row is read). A cell's value is the mean
//     luma (0.299 R + 0.587 G + 0.114 B) of its pixels; line art counts its
//     palette's darker colour as black. The resolution comes from the
//     image's dots per metre; without a plausible one the page is taken to be
//     about 8.3 inches wide.
//  2. Paper. The paper's level is the most common cell value, so white,
//     cream and recycled grey paper are all "empty". Its spread (scanner
//     noise, the paper's texture) is read from the cells around that level,
//     on the brighter side unless the scanner clipped the paper at white. A
//     page whose paper level is below kDarkestPaperLuma is no empty sheet of
//     paper and measures 1.
//  3. Marks. A cell is dark when it differs from the paper by at least
//     kMarkContrast (or four times the paper's spread, when that is more),
//     and faint from kFaintContrast (or three times the spread); darker or
//     lighter alike, for white print on a sheet covered in colour.
//     Show-through from the back of the sheet and pale fibres stay faint;
//     pencil and faded grey print are dark, at least in some cells of each
//     stroke.
//  4. Shapes. A blob grows from a dark cell through the dark and faint cells
//     that touch it (8-neighbours); its dark cells give its size, shape and
//     place. Not content are:
//       - faint blobs: fewer than one cell in kDarkShare dark (show-through
//         that noise darkens here and there);
//       - specks: dark cells at most kSpeckMm across (dust, paper flecks);
//       - edge artefacts: blobs within kEdgeTouchMm of the page border that
//         reach no deeper than kEdgeDepthMm into the page (feeder shadows,
//         dark borders around a sheet narrower than the scan);
//       - punch holes: filled round blobs 4 to 10 mm across, centred near
//         an edge (within 25 mm of it and in the outer quarter of the page);
//       - staples: straight bars 8 to 16 mm long and at most 1.5 mm wide,
//         centred near both edges at a corner.
//     Every other blob is content, however small its share of the page: a
//     dense small mark counts on an otherwise empty page.
//  5. Value. The page is divided into kContentTiles x kContentTiles tiles;
//     the measure is the share of tiles that a content blob reaches (0..1).
//     An empty sheet measures 0, and one content blob anywhere gives at least
//     1/64 (0.016), above the limit 0.01.

#include <QImage>

// Contrast, in luma steps from the paper, from which a cell is dark.
constexpr int kMarkContrast = 28;
// Contrast from which a cell is faint: it joins dark cells next to it into one
// blob (a thin pencil stroke is dark in some cells, faint in the others).
constexpr int kFaintContrast = 18;
// A blob is content only when at least one of this many of its cells is dark.
constexpr int kDarkShare = 8;
// A paper level below this is no empty sheet: such a page measures 1.
constexpr int kDarkestPaperLuma = 96;
// Blobs this small (largest extent, millimetres) are specks.
constexpr double kSpeckMm = 1.2;
// Blobs within this distance of the page border are edge artefacts when they
// reach no deeper than kEdgeDepthMm into the page.
constexpr double kEdgeTouchMm = 0.5;
constexpr double kEdgeDepthMm = 25.0;
// The measure counts content in a grid of this many tiles on each side.
constexpr int kContentTiles = 8;

// The share (0..1) of the page's tiles that hold content, as described above.
// A null image measures 0.
float measureNoiseLevel(const QImage& image);
