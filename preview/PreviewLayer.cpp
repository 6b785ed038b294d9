#include "preview/PreviewLayer.h"

#include <QPainter>

#include <cmath>

void PreviewLayer::setBitmap(QImage bitmap) {
  bitmap_ = std::move(bitmap);
  changed();
}

void PreviewLayer::paint(QPainter& painter) const {
  if (bitmap_.isNull()) return;
  const FloatRect at = location();
  painter.drawImage(QPoint(static_cast<int>(std::trunc(at.left)), static_cast<int>(std::trunc(at.top))), bitmap_);
}
