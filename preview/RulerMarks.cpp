#include "preview/RulerMarks.h"

#include "preview/Units.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <cmath>

namespace ruler_marks {
namespace {

int trunc(double value) { return static_cast<int>(std::trunc(value)); }

void addLabel(Ruler& ruler, Side side, int n, double position) {
  const QString text = QString::number(n);
  if (side == Side::Top) {
    const int shift = n <= 9 ? 2 : 4;
    ruler.labels.push_back({text, QPoint(trunc(position - shift), 0), ruler.marks.size()});
  } else {
    const int indent = n <= 9 ? 4 : 1;
    ruler.labels.push_back({text, QPoint(indent, trunc(position - 6)), ruler.marks.size()});
  }
}

// Half-inch steps. The top ruler only has whole inches, labelled just left of
// the mark; the left ruler also has half inches, and inch n is labelled at the
// half-inch mark before it.
void inchMarks(Ruler& ruler, int length, double scale, Side side) {
  const int count = trunc(length / scale + 1);
  for (int i = 0; i < 2 * count; ++i) {
    const double position = i * scale * 0.5;
    const bool even = i % 2 == 0;
    if (side == Side::Top) {
      if (!even) continue;
      ruler.marks.push_back({trunc(position), true});
      if (i > 0) addLabel(ruler, side, i / 2, position);
    } else {
      ruler.marks.push_back({trunc(position), even});
      if (!even) addLabel(ruler, side, (i + 1) / 2, position);
    }
  }
}

// Centimetre steps, long at even centimetres; the odd marks carry the next
// even number, so labels read 2, 4, 6 ...
void metricMarks(Ruler& ruler, int length, double scale, Side side) {
  const int count = trunc((length / scale + 1) * 2.54);
  for (int i = 0; i < count; ++i) {
    const double position = units::centimetresToPanePixels(i, scale);
    const bool even = i % 2 == 0;
    ruler.marks.push_back({trunc(position), even});
    if (!even) addLabel(ruler, side, i + 1, position);
  }
}

// The largest font of the default family whose character cell fits the height.
QFont labelFont() {
  QFont font;
  for (int pixels = kLabelCellHeight; pixels > 1; --pixels) {
    font.setPixelSize(pixels);
    if (QFontMetrics(font).height() <= kLabelCellHeight) break;
  }
  return font;
}

}  // namespace

Ruler rulerMarks(int length, double scale, int displayUnits, Side side) {
  Ruler ruler;
  if (displayUnits == units::kInches) {
    ruler.caption = QStringLiteral("in");
    inchMarks(ruler, length, scale, side);
  } else if (displayUnits == units::kMillimetres) {
    ruler.caption = QStringLiteral("mm");
    metricMarks(ruler, length, scale, side);
  }
  return ruler;
}

void paintRuler(QImage& bitmap, const Ruler& ruler, Side side, const QColor& face, const QColor& text) {
  bitmap.fill(face);
  QPainter painter(&bitmap);
  painter.setRenderHint(QPainter::Antialiasing, false);
  const QFont font = labelFont();
  const QFontMetrics metrics(font);
  painter.setFont(font);

  const auto drawMark = [&](const Mark& mark) {
    painter.setPen(QPen(Qt::black, 0));
    const int start = mark.isLong ? kLongMarkStart : kShortMarkStart;
    if (side == Side::Top)
      painter.drawLine(mark.position, start, mark.position, kMarkEnd);
    else
      painter.drawLine(start, mark.position, kMarkEnd, mark.position);
  };
  const auto drawLabel = [&](const Label& label) {
    // The opaque cell hides the part of a mark that the label covers.
    const QRect cell(label.topLeft, QSize(metrics.horizontalAdvance(label.text), kLabelCellHeight));
    painter.fillRect(cell, face);
    painter.setPen(text);
    painter.drawText(cell, Qt::AlignLeft | Qt::AlignTop, label.text);
  };

  // In step order: the labels that follow a mark are drawn before the next one.
  auto label = ruler.labels.begin();
  for (std::size_t drawn = 0; drawn <= ruler.marks.size(); ++drawn) {
    for (; label != ruler.labels.end() && label->marksBefore <= drawn; ++label) drawLabel(*label);
    if (drawn < ruler.marks.size()) drawMark(ruler.marks[drawn]);
  }
}

}  // namespace ruler_marks
