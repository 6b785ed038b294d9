#include "PreviewPictures.h"

#include <QImage>
#include <QPainter>

QString writeLetterScan(const QString& folder) {
  QImage page(850, 1100, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter painter(&page);
  painter.setPen(QPen(QColor(120, 120, 120), 12));
  painter.drawRect(6, 6, 838, 1088);
  painter.fillRect(QRect(100, 120, 300, 200), QColor(30, 90, 200));
  painter.setPen(QPen(Qt::black, 8));
  for (int y = 420; y < 1000; y += 60) painter.drawLine(100, y, 750, y);
  painter.end();
  const QString path = folder + "/Brevalto.bmp";
  page.save(path, "BMP");
  return path;
}
