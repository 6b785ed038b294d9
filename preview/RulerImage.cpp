#include "preview/RulerImage.h"

#include <QPainter>

QImage& RulerImage::canvas() {
  if (bitmap_.isNull()) bitmap_ = QImage(size(), QImage::Format_RGB32);
  update();
  return bitmap_;
}

void RulerImage::paintEvent(QPaintEvent*) {
  if (bitmap_.isNull()) return;
  QPainter(this).drawImage(QPoint(0, 0), bitmap_);
}
