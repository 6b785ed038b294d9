#include "preview/SelectionFrame.h"

#include "preview/AreaLayer.h"
#include "preview/FrameGeometry.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace {

QPoint pixelAt(const QMouseEvent* event) {
  const QPointF at = event->position();
  return QPoint(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())));
}

}  // namespace

void SelectionFrame::setLocation(const FloatRect& location) {
  Layer::setLocation(location);
  if (child_) child_->setLocation(location);
}

void SelectionFrame::setChild(AreaLayer* child) {
  child_ = child;
  if (child_) setLocation(child_->location());
}

void SelectionFrame::paint(QPainter& painter) const {
  const QRect r = frame_geometry::pixelRect(location());
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBrush(Qt::NoBrush);

  // 2 white, 2 black: a solid white line with black dashes over it.
  painter.setPen(QPen(Qt::white, 0));
  painter.drawRect(QRect(r.topLeft(), QSize(r.width() - 1, r.height() - 1)));
  QPen dashes(Qt::black, 0);
  dashes.setDashPattern({2, 2});
  dashes.setDashOffset(2);
  painter.setPen(dashes);
  painter.drawRect(QRect(r.topLeft(), QSize(r.width() - 1, r.height() - 1)));

  // Each handle covers 3 pixels before its point to 2 after, 6 x 6 in all.
  painter.setPen(QPen(Qt::black, 0));
  painter.setBrush(Qt::white);
  for (const QPoint& point : frame_geometry::handles(location()).points)
    painter.drawRect(QRect(point.x() - 3, point.y() - 3, 5, 5));
  painter.restore();
}

bool SelectionFrame::mousePress(QMouseEvent* event) {
  const QPoint at = pixelAt(event);
  state_ = frame_geometry::hitTest(location(), at);
  if (state_ == DragState::None) return false;
  pressLocation_ = location();
  moveOffset_ = QPointF(at.x() - pressLocation_.left, at.y() - pressLocation_.top);
  return true;
}

bool SelectionFrame::mouseMove(QMouseEvent* event) {
  if (state_ == DragState::None) return false;
  FloatRect next = frame_geometry::dragTo(pressLocation_, state_, pixelAt(event), moveOffset_, minimum_, maximum_);
  if (resizing_) resizing_(pressLocation_, next, state_, event->modifiers());
  if (next != location()) setLocation(next);
  return true;
}

bool SelectionFrame::mouseRelease(QMouseEvent*) {
  if (state_ == DragState::None) return false;
  state_ = DragState::None;
  return true;
}

std::optional<Qt::CursorShape> SelectionFrame::cursorAt(QPoint point) const {
  const DragState state = frame_geometry::hitTest(location(), point);
  if (state == DragState::None) return std::nullopt;
  return frame_geometry::cursorFor(state);
}
