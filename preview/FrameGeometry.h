#pragma once

#include "preview/DragState.h"
#include "preview/FloatRect.h"

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSizeF>

#include <Qt>

// The selection frame's arithmetic: which drag a press starts, where the frame
// goes while the pointer moves, and the clamping to the previewed image.
namespace frame_geometry {

// A press this close to a handle grabs it (handle size 3 plus 1).
constexpr int kNear = 4;

// The frame in whole pixels: left/top the first, right/bottom the last column
// and row inside it.
QRect pixelRect(const FloatRect& location);

// Handle centres: four corners, then the middles of the four sides.
struct Handles {
  QPoint points[8];
};
Handles handles(const FloatRect& location);

// The drag that a press at `point` starts; corners before side middles before
// the inside, the first match wins.
DragState hitTest(const FloatRect& location, QPoint point);

// The cursor that tells what a press at this state would do.
Qt::CursorShape cursorFor(DragState state);

// Where the frame goes while the pointer is at `point`: a move keeps the old
// size, a resize puts the named edges on the pointer and then holds the size
// within [minimum, maximum] by moving those edges again.
FloatRect dragTo(const FloatRect& old, DragState state, QPoint point, QPointF moveOffset,
                 QSizeF minimum, QSizeF maximum);

// Keeps `moved` on the image (left and top 0, right `image.right`, bottom
// `image.bottom`) by drag state; a move keeps the old size, so a frame larger
// than the image ends flush with its right and bottom edges. None clamps nothing.
void clampToImage(const FloatRect& old, FloatRect& moved, DragState state, const FloatRect& image);

}  // namespace frame_geometry
