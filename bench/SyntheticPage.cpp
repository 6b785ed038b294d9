#include "bench/SyntheticPage.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <random>

namespace bench {

namespace {

const char* const kWords[] = {"scanner", "page",   "document", "the",     "of",      "and",   "archive", "invoice",
                              "letter",  "folder", "quality",  "colour",  "resolution", "to", "with",    "a",
                              "report",  "office", "records",  "between", "number",  "in",    "paper",   "image"};

QString sentence(std::mt19937& random, int words) {
  std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(kWords)) - 1);
  QString text;
  for (int i = 0; i < words; ++i) {
    if (i) text += QLatin1Char(' ');
    text += QString::fromLatin1(kWords[pick(random)]);
  }
  return text;
}

// Paper: a warm white with slow blotches and horizontal fibres.
void paintPaper(QImage& page, std::mt19937& random) {
  QPainter painter(&page);
  page.fill(QColor(246, 243, 236));
  std::uniform_real_distribution<double> unit(0, 1);
  for (int i = 0; i < 60; ++i) {
    const QPointF centre(unit(random) * page.width(), unit(random) * page.height());
    const double radius = 150 + unit(random) * 500;
    QRadialGradient blotch(centre, radius);
    const int shade = static_cast<int>(unit(random) * 10) - 5;
    blotch.setColorAt(0, QColor(240 + shade, 236 + shade, 226 + shade, 60));
    blotch.setColorAt(1, QColor(246, 243, 236, 0));
    painter.fillRect(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), blotch);
  }
  for (int i = 0; i < 3000; ++i) {
    const double x = unit(random) * page.width();
    const double y = unit(random) * page.height();
    const int shade = 215 + static_cast<int>(unit(random) * 25);
    painter.setPen(QPen(QColor(shade, shade - 3, shade - 10, 70), 1));
    painter.drawLine(QPointF(x, y), QPointF(x + 8 + unit(random) * 40, y + unit(random) * 3 - 1.5));
  }
}

// A photo: sky, hills, a sun and some houses, soft enough to be photo-like.
void paintPhoto(QPainter& painter, const QRect& block, std::mt19937& random) {
  std::uniform_real_distribution<double> unit(0, 1);
  QLinearGradient sky(block.topLeft(), block.bottomLeft());
  sky.setColorAt(0, QColor(70, 120, 190));
  sky.setColorAt(0.55, QColor(190, 210, 230));
  sky.setColorAt(1, QColor(90, 120, 60));
  painter.fillRect(block, sky);
  painter.setClipRect(block);
  QRadialGradient sun(block.left() + block.width() * 0.75, block.top() + block.height() * 0.25, block.height() * 0.18);
  sun.setColorAt(0, QColor(255, 245, 200));
  sun.setColorAt(1, QColor(255, 245, 200, 0));
  painter.fillRect(block, sun);
  for (int hill = 0; hill < 4; ++hill) {
    QPainterPath path;
    const double base = block.top() + block.height() * (0.5 + hill * 0.12);
    path.moveTo(block.left(), block.bottom());
    for (int x = 0; x <= block.width(); x += 40)
      path.lineTo(block.left() + x, base - 60 * std::sin(x / (180.0 + hill * 70) + hill) - unit(random) * 8);
    path.lineTo(block.right(), block.bottom());
    const int g = 90 + hill * 25;
    painter.fillPath(path, QColor(40 + hill * 15, g, 40 + hill * 10));
  }
  for (int i = 0; i < 14; ++i) {
    const int x = block.left() + static_cast<int>(unit(random) * (block.width() - 120));
    const int y = block.top() + block.height() * 2 / 3 + static_cast<int>(unit(random) * block.height() / 4);
    painter.fillRect(QRect(x, y, 90, 70), QColor(200 - i * 5, 160 + i * 3, 120));
    painter.fillRect(QRect(x + 30, y + 30, 25, 40), QColor(60, 40, 30));
  }
  painter.setClipping(false);
}

void paintText(QPainter& painter, const QRect& column, std::mt19937& random, int fromY, int untilY) {
  QFont body(QStringLiteral("DejaVu Serif"));
  body.setPixelSize(42);  // 10 points at 300 dpi
  painter.setFont(body);
  painter.setPen(QColor(25, 25, 30));
  std::uniform_int_distribution<int> words(9, 13);
  int y = fromY;
  while (y < untilY) {
    const int lines = 4 + static_cast<int>(random() % 6);
    for (int line = 0; line < lines && y < untilY; ++line) {
      const bool last = line == lines - 1;
      const QString text = sentence(random, last ? words(random) / 2 : words(random));
      painter.drawText(QRect(column.left(), y, column.width(), 60), Qt::AlignLeft | Qt::AlignVCenter, text);
      y += 58;
    }
    y += 40;  // paragraph gap
  }
}

// Sensor noise and a slight uneven illumination across the bed.
void addNoise(QImage& page, std::mt19937& random) {
  std::normal_distribution<float> noise(0.0f, 3.5f);
  // A table of noise values, walked with random offsets per line, keeps the
  // generation quick without visible repetition.
  std::vector<int> table(1 << 16);
  for (int& v : table) v = static_cast<int>(std::lround(noise(random)));
  const int width = page.width();
  for (int y = 0; y < page.height(); ++y) {
    uchar* line = page.scanLine(y);
    size_t at = random() & 0xffff;
    const int light = static_cast<int>(std::lround(3 * std::sin(y / 700.0)));
    for (int x = 0; x < width * 3; ++x) {
      const int value = line[x] + table[at] + light;
      at = (at + 1 + (x & 7)) & 0xffff;
      line[x] = static_cast<uchar>(std::clamp(value, 0, 255));
    }
  }
}

}  // namespace

QImage makeSyntheticPage(unsigned seed, QSize size) {
  std::mt19937 random(seed);
  QImage canvas(size, QImage::Format_RGB32);
  paintPaper(canvas, random);
  {
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double sx = size.width() / 2480.0;
    const double sy = size.height() / 3508.0;
    painter.scale(sx, sy);
    const QRect column(236, 0, 2008, 0);
    QFont heading(QStringLiteral("DejaVu Sans"));
    heading.setPixelSize(84);
    heading.setBold(true);
    painter.setFont(heading);
    painter.setPen(QColor(20, 20, 20));
    painter.drawText(QRect(236, 260, 2008, 120), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Quarterly report of the archive"));
    paintText(painter, column, random, 440, 1100);
    paintPhoto(painter, QRect(236, 1140, 1240, 880), random);
    paintText(painter, QRect(1520, 0, 724, 0), random, 1140, 2020);
    paintText(painter, column, random, 2080, 3250);
    painter.setPen(QColor(90, 90, 90));
    painter.drawText(QRect(236, 3300, 2008, 60), Qt::AlignHCenter, QStringLiteral("- 3 -"));
  }
  QImage page = canvas.convertToFormat(QImage::Format_RGB888);
  addNoise(page, random);
  const int dotsPerMeter = static_cast<int>(std::lround(kPageDotsPerInch / 0.0254));
  page.setDotsPerMeterX(dotsPerMeter);
  page.setDotsPerMeterY(dotsPerMeter);
  return page;
}

}  // namespace bench
