#include "preview/FrameGeometry.h"

#include <cmath>
#include <cstdlib>

namespace frame_geometry {
namespace {

bool near(int a, int b) { return std::abs(a - b) <= kNear; }

bool namesLeft(DragState s) {
  return s == DragState::SizeLeft || s == DragState::SizeTopLeft || s == DragState::SizeBottomLeft;
}
bool namesRight(DragState s) {
  return s == DragState::SizeRight || s == DragState::SizeTopRight || s == DragState::SizeBottomRight;
}
bool namesTop(DragState s) {
  return s == DragState::SizeTop || s == DragState::SizeTopLeft || s == DragState::SizeTopRight;
}
bool namesBottom(DragState s) {
  return s == DragState::SizeBottom || s == DragState::SizeBottomLeft || s == DragState::SizeBottomRight;
}

// Holds the span between `fixed` and the moved edge within the limits, moving
// only the moved edge. `sign` is +1 when the moved edge is the larger one.
float limitEdge(float moved, float fixed, int sign, double minimum, double maximum) {
  const float span = (moved - fixed) * static_cast<float>(sign);
  if (span < minimum) return fixed + static_cast<float>(sign * minimum);
  if (span > maximum) return fixed + static_cast<float>(sign * maximum);
  return moved;
}

}  // namespace

QRect pixelRect(const FloatRect& location) {
  const int left = static_cast<int>(std::floor(location.left));
  const int top = static_cast<int>(std::floor(location.top));
  const int right = static_cast<int>(std::floor(location.right)) - 1;
  const int bottom = static_cast<int>(std::floor(location.bottom)) - 1;
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

Handles handles(const FloatRect& location) {
  const QRect r = pixelRect(location);
  const int midX = (r.left() + r.right()) / 2;
  const int midY = (r.top() + r.bottom()) / 2;
  return Handles{{r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight(), QPoint(midX, r.top()),
                  QPoint(r.right(), midY), QPoint(midX, r.bottom()), QPoint(r.left(), midY)}};
}

DragState hitTest(const FloatRect& location, QPoint point) {
  const QRect r = pixelRect(location);
  const int x = point.x(), y = point.y();
  const int l = r.left(), t = r.top(), rr = r.right(), b = r.bottom();
  const int midX = (l + rr) / 2;
  const int midY = (t + b) / 2;
  if (near(x, rr) && near(y, b)) return DragState::SizeBottomRight;
  if (near(x, l) && near(y, b)) return DragState::SizeBottomLeft;
  if (near(x, rr) && near(y, t)) return DragState::SizeTopRight;
  if (near(x, l) && near(y, t)) return DragState::SizeTopLeft;
  if (near(x, rr) && near(y, midY)) return DragState::SizeRight;
  if (near(x, midX) && near(y, b)) return DragState::SizeBottom;
  if (near(x, l) && near(y, midY)) return DragState::SizeLeft;
  if (near(x, midX) && near(y, t)) return DragState::SizeTop;
  if (l <= x && x < rr && t <= y && y < b) return DragState::Move;
  return DragState::None;
}

Qt::CursorShape cursorFor(DragState state) {
  switch (state) {
    case DragState::Move: return Qt::SizeAllCursor;
    case DragState::SizeLeft:
    case DragState::SizeRight: return Qt::SizeHorCursor;
    case DragState::SizeTop:
    case DragState::SizeBottom: return Qt::SizeVerCursor;
    case DragState::SizeTopLeft:
    case DragState::SizeBottomRight: return Qt::SizeFDiagCursor;
    case DragState::SizeTopRight:
    case DragState::SizeBottomLeft: return Qt::SizeBDiagCursor;
    case DragState::None: break;
  }
  return Qt::ArrowCursor;
}

FloatRect dragTo(const FloatRect& old, DragState state, QPoint point, QPointF moveOffset,
                 QSizeF minimum, QSizeF maximum) {
  FloatRect next = old;
  const auto x = static_cast<float>(point.x());
  const auto y = static_cast<float>(point.y());
  if (state == DragState::Move) {
    next.left = x - static_cast<float>(moveOffset.x());
    next.top = y - static_cast<float>(moveOffset.y());
    next.right = next.left + old.width();
    next.bottom = next.top + old.height();
    return next;
  }
  if (namesLeft(state)) next.left = limitEdge(x, next.right, -1, minimum.width(), maximum.width());
  if (namesRight(state)) next.right = limitEdge(x, next.left, +1, minimum.width(), maximum.width());
  if (namesTop(state)) next.top = limitEdge(y, next.bottom, -1, minimum.height(), maximum.height());
  if (namesBottom(state)) next.bottom = limitEdge(y, next.top, +1, minimum.height(), maximum.height());
  return next;
}

void clampToImage(const FloatRect& old, FloatRect& moved, DragState state, const FloatRect& image) {
  const float right = image.right;
  const float bottom = image.bottom;
  if (state == DragState::Move) {
    if (moved.left < 0) {
      moved.left = 0;
      moved.right = old.width();
    }
    if (moved.top < 0) {
      moved.top = 0;
      moved.bottom = old.height();
    }
    if (moved.right > right) {
      moved.right = right;
      moved.left = right - old.width();
    }
    if (moved.bottom > bottom) {
      moved.bottom = bottom;
      moved.top = bottom - old.height();
    }
    return;
  }
  if (namesLeft(state) && moved.left < 0) moved.left = 0;
  if (namesRight(state) && moved.right > right) moved.right = right;
  if (namesTop(state) && moved.top < 0) moved.top = 0;
  if (namesBottom(state) && moved.bottom > bottom) moved.bottom = bottom;
}

}  // namespace frame_geometry
