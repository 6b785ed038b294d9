#include "preview/LayeredImage.h"

#include "preview/Layer.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

LayeredImage::LayeredImage(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);  // so the cursor can show what a press would do
  setAttribute(Qt::WA_OpaquePaintEvent);
}

LayeredImage::~LayeredImage() = default;

void LayeredImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Dark));
  for (const auto& layer : layers_)
    if (layer->isVisible()) layer->paint(painter);
}

void LayeredImage::mousePressEvent(QMouseEvent* event) {
  if (grabber_) {
    // A second button during a drag changes nothing. With no other button
    // held, the release of the last drag went elsewhere: that drag is over.
    if (event->buttons() & ~event->button()) return;
    grabber_->mouseRelease(event);
    grabber_ = nullptr;
  }
  for (auto it = layers_.rbegin(); it != layers_.rend(); ++it) {
    if ((*it)->isVisible() && (*it)->mousePress(event)) {
      grabber_ = it->get();
      return;
    }
  }
}

void LayeredImage::mouseMoveEvent(QMouseEvent* event) {
  if (grabber_) {
    if (event->buttons() != Qt::NoButton) {
      grabber_->mouseMove(event);
      return;
    }
    // Moving with no button held: the release never reached us.
    grabber_->mouseRelease(event);
    grabber_ = nullptr;
  }
  const QPointF at = event->position();
  showCursorAt(QPoint(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y()))));
}

void LayeredImage::mouseReleaseEvent(QMouseEvent* event) {
  if (!grabber_) return;
  if (event->buttons() != Qt::NoButton) return;  // the drag ends with its last button
  grabber_->mouseRelease(event);
  grabber_ = nullptr;
  const QPointF at = event->position();
  showCursorAt(QPoint(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y()))));
}

void LayeredImage::showCursorAt(QPoint point) {
  for (auto it = layers_.rbegin(); it != layers_.rend(); ++it) {
    if (!(*it)->isVisible()) continue;
    if (const auto shape = (*it)->cursorAt(point)) {
      setCursor(*shape);
      return;
    }
  }
  unsetCursor();
}
