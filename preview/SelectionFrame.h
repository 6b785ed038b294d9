#pragma once

#include "preview/DragState.h"
#include "preview/Layer.h"

#include <QPointF>
#include <QSizeF>

#include <functional>

class AreaLayer;

// The rubber band on top of the pane: moved by its inside, sized by eight
// handles, with a child layer that always takes its location.
class SelectionFrame : public Layer {
 public:
  // Called on every pointer move of a drag with the location at the press and
  // the proposed one, which the callback may change before the frame takes it.
  using Resizing =
      std::function<void(const FloatRect& oldLocation, FloatRect& newLocation, DragState, Qt::KeyboardModifiers)>;

  using Layer::Layer;

  void setLocation(const FloatRect& location) override;

  // Makes `child` follow the frame; the frame takes over the child's location.
  void setChild(AreaLayer* child);
  AreaLayer* child() const { return child_; }

  QSizeF minimumSize() const { return minimum_; }
  QSizeF maximumSize() const { return maximum_; }
  void setMinimumSize(QSizeF size) { minimum_ = size; }
  void setMaximumSize(QSizeF size) { maximum_ = size; }

  void setResizing(Resizing resizing) { resizing_ = std::move(resizing); }

  DragState dragState() const { return state_; }

  void paint(QPainter& painter) const override;
  bool mousePress(QMouseEvent* event) override;
  bool mouseMove(QMouseEvent* event) override;
  bool mouseRelease(QMouseEvent* event) override;
  std::optional<Qt::CursorShape> cursorAt(QPoint point) const override;

 private:
  AreaLayer* child_ = nullptr;
  QSizeF minimum_{1, 1};
  QSizeF maximum_{1, 1};
  Resizing resizing_;
  DragState state_ = DragState::None;
  FloatRect pressLocation_;
  QPointF moveOffset_;
};
