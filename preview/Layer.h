#pragma once

#include "preview/FloatRect.h"

#include <QPoint>
#include <Qt>

#include <optional>

class LayeredImage;
class QMouseEvent;
class QPainter;

// One layer of a LayeredImage. Locations are pane pixels; layers are never
// scaled with the view. Every layer sees the mouse; it says whether it took it.
class Layer {
 public:
  explicit Layer(LayeredImage* owner) : owner_(owner) {}
  virtual ~Layer() = default;
  Layer(const Layer&) = delete;
  Layer& operator=(const Layer&) = delete;

  FloatRect location() const { return location_; }
  virtual void setLocation(const FloatRect& location);

  bool isVisible() const { return visible_; }
  void setVisible(bool visible);

  virtual void paint(QPainter&) const {}

  virtual bool mousePress(QMouseEvent*) { return false; }
  virtual bool mouseMove(QMouseEvent*) { return false; }
  virtual bool mouseRelease(QMouseEvent*) { return false; }
  // The cursor to show while hovering at `point` with no button held.
  virtual std::optional<Qt::CursorShape> cursorAt(QPoint) const { return std::nullopt; }

 protected:
  void changed();

 private:
  LayeredImage* owner_;
  FloatRect location_;
  bool visible_ = true;
};
