#include "imagelist/PicturePlacement.h"

QSize proportionalSize(const QSize& picture, const QSize& client) {
  if (picture.isEmpty() || client.isEmpty()) return QSize(0, 0);
  const qint64 w = picture.width(), h = picture.height();
  const qint64 cw = client.width(), ch = client.height();
  // cw / (w / h) and (w / h) * ch, done as products first so that no
  // rounding of the ratio moves a result by a pixel.
  qint64 width, height;
  if (w > h) {
    width = cw;
    height = cw * h / w;
    if (height > ch) {
      height = ch;
      width = w * ch / h;
    }
  } else {
    height = ch;
    width = w * ch / h;
    if (width > cw) {
      width = cw;
      height = cw * h / w;
    }
  }
  return QSize(int(width), int(height));
}
