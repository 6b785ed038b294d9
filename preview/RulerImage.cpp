#include "preview/RulerImage.h"

#include <QPainter>

QImage& RulerImage::canvas() {
  // At the screen's resolution, so that marks and labels stay sharp on a
  // scaled screen; whoever draws on it works in the control's pixels.
  const qreal ratio = devicePixelRatioF();
  if (bitmap_.isNull() || bitmap_.devicePixelRatio() != ratio) {
    bitmap_ = QImage((QSizeF(size()) * ratio).toSize(), QImage::Format_RGB32);
    bitmap_.setDevicePixelRatio(ratio);
  }
  update();
  return bitmap_;
}

void RulerImage::paintEvent(QPaintEvent*) {
  if (bitmap_.isNull()) return;
  QPainter(this).drawImage(QPoint(0, 0), bitmap_);
}
