#pragma once

#include <QColor>
#include <QPoint>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

class QImage;

// What a ruler shows at a given scale: its marks, its labels and the caption of
// the corner between the rulers. Positions are pixels along the ruler.
namespace ruler_marks {

enum class Side { Top, Left };

struct Mark {
  int position = 0;  // column (top ruler) or row (left ruler)
  bool isLong = false;
  friend bool operator==(const Mark&, const Mark&) = default;
};

struct Label {
  QString text;
  QPoint topLeft;  // where the text's top-left corner goes
  // How many marks are drawn before this label: each step draws its mark,
  // then its label, so a label covers earlier marks but never a later one.
  std::size_t marksBefore = 0;
  friend bool operator==(const Label& a, const Label& b) { return a.text == b.text && a.topLeft == b.topLeft; }
};

struct Ruler {
  std::vector<Mark> marks;
  std::vector<Label> labels;
  std::optional<QString> caption;  // nothing: the corner keeps its text
};

// Marks and labels for a ruler `length` pixels long at `scale` pane pixels per
// inch; units 1 inches, 2 metric, anything else an empty ruler. Marks past the
// ruler's end are listed too; they fall outside the bitmap when painted.
Ruler rulerMarks(int length, double scale, int displayUnits, Side side);

// The row (top ruler) or column (left ruler) where a mark starts; it runs to 14.
constexpr int kLongMarkStart = 1;
constexpr int kShortMarkStart = 8;
constexpr int kMarkEnd = 14;
constexpr int kLabelCellHeight = 12;

// Clears `bitmap` to `face` and draws the ruler on it: black 1-pixel marks and
// labels in `text` colour on an opaque `face` background.
void paintRuler(QImage& bitmap, const Ruler& ruler, Side side, const QColor& face, const QColor& text);

}  // namespace ruler_marks
