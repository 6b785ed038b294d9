#pragma once

// Blank-page measure for pages from the document feeder.

#include <QImage>

// Luma (0..255, weights 0.299, 0.587, 0.114) below which a pixel counts as
// marked rather than paper. Paper from a real scanner rarely reads darker than
// about 220, while text, lines and all but the palest colours fall well below.
constexpr int kPaperWhiteLuma = 200;

// Share (0..1) of non-background pixels: pixels whose luma is below
// kPaperWhiteLuma, counted in the page without a strip of 1 % of its width at
// the left and right and 1 % of its height at the top and bottom (the edges
// are where shadows of the paper's border and of the feeder show). For line
// art a pixel is marked when it shows the darker of the image's two palette
// colours. An image with nothing left inside the strips measures 0.
float measureNoiseLevel(const QImage& image);
