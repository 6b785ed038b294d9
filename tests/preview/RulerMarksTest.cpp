#include "preview/PreviewPane.h"
#include "preview/RulerImage.h"
#include "preview/RulerMarks.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>

#include <algorithm>

namespace {

using ruler_marks::Label;
using ruler_marks::Mark;
using ruler_marks::Side;

std::vector<int> positions(const ruler_marks::Ruler& ruler) {
  std::vector<int> result;
  for (const Mark& mark : ruler.marks) result.push_back(mark.position);
  return result;
}

const Label* labelNamed(const ruler_marks::Ruler& ruler, const QString& text) {
  const auto it = std::find_if(ruler.labels.begin(), ruler.labels.end(),
                               [&](const Label& label) { return label.text == text; });
  return it == ruler.labels.end() ? nullptr : &*it;
}

TEST(RulerMarks, InchesOnTheTopRulerHaveWholeInchMarksLabelledJustLeftOfThem) {
  const auto ruler = ruler_marks::rulerMarks(277, 20.78, 1, Side::Top);
  EXPECT_EQ(ruler.caption, QString("in"));
  ASSERT_EQ(ruler.marks.size(), 14u);  // NT = 14: inches 0 to 13
  const std::vector<int> all = positions(ruler);
  EXPECT_EQ(std::vector<int>(all.begin(), all.begin() + 4), (std::vector<int>{0, 20, 41, 62}));
  EXPECT_EQ(ruler.marks.back().position, 270);
  EXPECT_TRUE(std::all_of(ruler.marks.begin(), ruler.marks.end(), [](const Mark& m) { return m.isLong; }));

  ASSERT_EQ(ruler.labels.size(), 13u);
  EXPECT_EQ(ruler.labels.front(), (Label{"1", {18, 0}}));
  EXPECT_EQ(ruler.labels[1], (Label{"2", {39, 0}}));
  EXPECT_EQ(ruler.labels[8], (Label{"9", {185, 0}}));    // trunc(187.02 - 2)
  EXPECT_EQ(ruler.labels[9], (Label{"10", {203, 0}}));   // two digits shift by 4
  EXPECT_EQ(ruler.labels.back(), (Label{"13", {266, 0}}));
}

TEST(RulerMarks, InchesOnTheLeftRulerLabelEachInchAtTheHalfInchBeforeIt) {
  const auto ruler = ruler_marks::rulerMarks(420, 20.78, 1, Side::Left);
  ASSERT_EQ(ruler.marks.size(), 42u);  // NL = 21, in half inches
  EXPECT_EQ(ruler.marks[0], (Mark{0, true}));
  EXPECT_EQ(ruler.marks[1], (Mark{10, false}));
  EXPECT_EQ(ruler.marks[2], (Mark{20, true}));
  EXPECT_EQ(ruler.marks[3], (Mark{31, false}));
  EXPECT_EQ(ruler.marks.back(), (Mark{425, false}));  // past the end: not shown

  ASSERT_EQ(ruler.labels.size(), 21u);
  EXPECT_EQ(ruler.labels[0], (Label{"1", {4, 4}}));
  EXPECT_EQ(ruler.labels[1], (Label{"2", {4, 25}}));
  EXPECT_EQ(ruler.labels[9].topLeft.x(), 1);  // "10" moves left to fit
  EXPECT_EQ(ruler.labels.back(), (Label{"21", {1, 419}}));
}

TEST(RulerMarks, MetricMarksEveryCentimetreWithEvenNumbersAtTheOddMarks) {
  const auto top = ruler_marks::rulerMarks(277, 20.78, 2, Side::Top);
  EXPECT_EQ(top.caption, QString("mm"));
  ASSERT_EQ(top.marks.size(), 36u);
  EXPECT_EQ(top.marks[0], (Mark{0, true}));
  EXPECT_EQ(top.marks[1], (Mark{8, false}));
  EXPECT_EQ(top.marks[2], (Mark{16, true}));
  EXPECT_EQ(top.marks[3], (Mark{24, false}));
  ASSERT_NE(labelNamed(top, "2"), nullptr);
  EXPECT_EQ(labelNamed(top, "2")->topLeft, QPoint(6, 0));
  EXPECT_EQ(labelNamed(top, "4")->topLeft, QPoint(22, 0));
  EXPECT_EQ(labelNamed(top, "10")->topLeft, QPoint(69, 0));
  EXPECT_EQ(labelNamed(top, "3"), nullptr);  // only even numbers

  const auto left = ruler_marks::rulerMarks(420, 20.78, 2, Side::Left);
  EXPECT_EQ(left.marks.size(), 53u);  // trunc((420 / 20.78 + 1) * 2.54)
  EXPECT_EQ(labelNamed(left, "2")->topLeft, QPoint(4, 2));
  EXPECT_EQ(labelNamed(left, "10")->topLeft, QPoint(1, 67));
}

TEST(RulerMarks, AnyOtherUnitGivesAnEmptyRulerAndNoCaption) {
  for (int units : {0, 3, 6, -1}) {
    for (Side side : {Side::Top, Side::Left}) {
      const auto ruler = ruler_marks::rulerMarks(277, 20.78, units, side);
      EXPECT_TRUE(ruler.marks.empty());
      EXPECT_TRUE(ruler.labels.empty());
      EXPECT_FALSE(ruler.caption.has_value());
    }
  }
}

// The painted rulers, as the pane shows them.
class PaintedRulers : public ::testing::Test {
 protected:
  QColor face() const { return pane.palette().color(QPalette::Button); }
  bool isFace(const QImage& image, int x, int y) const { return image.pixelColor(x, y) == face(); }
  bool isBlack(const QImage& image, int x, int y) const { return image.pixelColor(x, y) == QColor(Qt::black); }

  PreviewPane pane;
};

TEST_F(PaintedRulers, MarksAreWhereTheMarkListSaysAndNowhereElse) {
  for (int units : {1, 2}) {
    pane.drawRulers(20.78, units);
    const QImage& top = pane.topRuler()->bitmap();
    ASSERT_EQ(top.size(), QSize(277, 15));
    std::vector<bool> marked(277, false);
    for (const Mark& mark : ruler_marks::rulerMarks(277, 20.78, units, Side::Top).marks) {
      if (mark.position >= 277) continue;
      marked[mark.position] = true;
      const int start = mark.isLong ? 1 : 8;
      // Labels stand in rows 0 to 11; below them the whole mark shows.
      for (int y = std::max(start, 12); y <= 14; ++y) EXPECT_TRUE(isBlack(top, mark.position, y)) << mark.position;
    }
    for (int x = 0; x < 277; ++x)
      if (!marked[x]) {
        EXPECT_TRUE(isFace(top, x, 14)) << "no mark at column " << x;
      }

    const QImage& left = pane.leftRuler()->bitmap();
    ASSERT_EQ(left.size(), QSize(15, 420));
    const auto leftRuler = ruler_marks::rulerMarks(420, 20.78, units, Side::Left);
    for (const Mark& mark : leftRuler.marks) {
      if (mark.position >= 420) continue;
      if (mark.isLong) {
        for (int x = 1; x <= 14; ++x) EXPECT_TRUE(isBlack(left, x, mark.position)) << mark.position;
        EXPECT_TRUE(isFace(left, 0, mark.position));
      } else {
        // Most of a short mark lies under its label; its end still shows.
        EXPECT_TRUE(isBlack(left, 14, mark.position)) << mark.position;
      }
    }
    // Between two marks the ruler is bare.
    EXPECT_TRUE(isFace(left, 14, (leftRuler.marks[0].position + leftRuler.marks[1].position) / 2));
  }
}

TEST_F(PaintedRulers, LabelsAreDrawnInTheirCells) {
  pane.drawRulers(20.78, 1);
  const QImage& top = pane.topRuler()->bitmap();
  // The label "1" stands at column 18 on top of nothing; some of its cell differs from the face.
  bool inked = false;
  for (int x = 18; x < 24; ++x)
    for (int y = 0; y < 12; ++y) inked = inked || !isFace(top, x, y);
  EXPECT_TRUE(inked);
  // The long mark at 20 is hidden where the label's opaque cell covers it.
  bool covered = false;
  for (int y = 1; y < 12; ++y) covered = covered || !isBlack(top, 20, y);
  EXPECT_TRUE(covered);
}

TEST_F(PaintedRulers, ALabelNeverHidesALaterStepsMark) {
  // Each step draws its mark, then its label: a label may cover the marks of
  // earlier steps and its own, never the next one. On the metric top ruler the
  // two-digit labels reach past the long mark after them, which shows whole.
  for (const double scale : {20.78, 23.6, 27.0}) {
    pane.drawRulers(scale, 2);
    const QImage& top = pane.topRuler()->bitmap();
    for (const Mark& mark : ruler_marks::rulerMarks(277, scale, 2, Side::Top).marks) {
      if (!mark.isLong || mark.position >= 277) continue;
      for (int y = 1; y <= 14; ++y)
        EXPECT_TRUE(isBlack(top, mark.position, y)) << "scale " << scale << ", long mark at " << mark.position
                                                    << " hidden at row " << y;
    }
  }
}

TEST_F(PaintedRulers, AnUnknownUnitClearsBothRulersAndKeepsTheCaption) {
  pane.drawRulers(20.78, 6);
  EXPECT_EQ(pane.spacer()->text(), QString());  // empty at start, still empty

  pane.drawRulers(20.78, 1);
  EXPECT_EQ(pane.spacer()->text(), "in");
  pane.drawRulers(20.78, 6);
  EXPECT_EQ(pane.spacer()->text(), "in");
  for (const QImage* image : {&pane.topRuler()->bitmap(), &pane.leftRuler()->bitmap()}) {
    QImage blank(image->size(), image->format());
    blank.fill(face());
    EXPECT_EQ(*image, blank);
  }

  pane.drawRulers(20.78, 2);
  EXPECT_EQ(pane.spacer()->text(), "mm");
}

}  // namespace
