#include "preview/FrameGeometry.h"
#include "preview/LayeredImage.h"
#include "preview/PreviewPane.h"
#include "preview/SelectionFrame.h"
#include "preview/Units.h"

#include "PreviewPictures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>

namespace {

using frame_geometry::clampToImage;
using frame_geometry::dragTo;
using frame_geometry::hitTest;

void expectRect(const FloatRect& actual, const FloatRect& expected, const std::string& what = {}) {
  EXPECT_NEAR(actual.left, expected.left, 1e-3) << what;
  EXPECT_NEAR(actual.top, expected.top, 1e-3) << what;
  EXPECT_NEAR(actual.right, expected.right, 1e-3) << what;
  EXPECT_NEAR(actual.bottom, expected.bottom, 1e-3) << what;
}

// --- The arithmetic -------------------------------------------------------

struct HitCase {
  QPoint point;
  DragState expected;
};

// Frame (50, 50)-(150, 150): last pixel 149, handle middles at 99.
TEST(FrameHitTest, CornersBeforeSidesBeforeTheInside) {
  const FloatRect frame{50, 50, 150, 150};
  const HitCase cases[] = {
      {{149, 149}, DragState::SizeBottomRight}, {{153, 153}, DragState::SizeBottomRight},
      {{50, 149}, DragState::SizeBottomLeft},   {{149, 50}, DragState::SizeTopRight},
      {{46, 46}, DragState::SizeTopLeft},       {{149, 99}, DragState::SizeRight},
      {{99, 149}, DragState::SizeBottom},       {{50, 95}, DragState::SizeLeft},
      {{103, 50}, DragState::SizeTop},          {{100, 100}, DragState::Move},
      // Just inside an edge far from every handle: a move, not a resize.
      {{51, 60}, DragState::Move},              {{148, 130}, DragState::Move},
      // Just outside the same edges: nothing.
      {{45, 60}, DragState::None},              {{154, 130}, DragState::None},
      // The last column and row start no move (x < R, y < B).
      {{149, 120}, DragState::None},            {{120, 149}, DragState::None},
      {{10, 10}, DragState::None},
  };
  for (const HitCase& c : cases)
    EXPECT_EQ(hitTest(frame, c.point), c.expected) << c.point.x() << "," << c.point.y();
}

TEST(FrameDrag, SizingKeepsWithinTheMinimumAndMaximum) {
  const FloatRect old{50, 50, 150, 150};
  const QSizeF minimum(1, 1), maximum(279, 422);
  // The right edge dragged past the left one: 1 pixel wide, the left edge stays.
  expectRect(dragTo(old, DragState::SizeRight, {10, 99}, {}, minimum, maximum), {50, 50, 51, 150});
  // The top edge dragged below the bottom one.
  expectRect(dragTo(old, DragState::SizeTop, {99, 400}, {}, minimum, maximum), {50, 149, 150, 150});
  // Growing past the maximum stops there.
  expectRect(dragTo(old, DragState::SizeBottomRight, {1000, 1000}, {}, minimum, maximum), {50, 50, 329, 472});
  expectRect(dragTo(old, DragState::SizeTopLeft, {-500, -500}, {}, minimum, maximum), {-129, -272, 150, 150});
  // A move keeps the size, whatever the limits.
  expectRect(dragTo(old, DragState::Move, {30, 200}, {50, 50}, minimum, QSizeF(10, 10)), {-20, 150, 80, 250});
}

struct ClampCase {
  DragState state;
  FloatRect moved;
  FloatRect expected;
};

TEST(FrameClamp, KeepsTheMovedEdgesOnTheImage) {
  const FloatRect image{0, 0, 279, 361.0588f};
  const FloatRect old{50, 50, 150, 150};
  const ClampCase cases[] = {
      {DragState::Move, {-10, 50, 90, 150}, {0, 50, 100, 150}},
      {DragState::Move, {200, 50, 300, 150}, {179, 50, 279, 150}},
      {DragState::Move, {50, -30, 150, 70}, {50, 0, 150, 100}},
      {DragState::Move, {50, 290, 150, 390}, {50, 261.0588f, 150, 361.0588f}},
      {DragState::Move, {-10, -10, 90, 90}, {0, 0, 100, 100}},
      {DragState::SizeLeft, {-20, -20, 150, 400}, {0, -20, 150, 400}},
      {DragState::SizeTop, {-20, -20, 300, 150}, {-20, 0, 300, 150}},
      {DragState::SizeRight, {-20, -20, 300, 400}, {-20, -20, 279, 400}},
      {DragState::SizeBottom, {-20, -20, 300, 400}, {-20, -20, 300, 361.0588f}},
      {DragState::SizeTopLeft, {-20, -20, 300, 400}, {0, 0, 300, 400}},
      {DragState::SizeTopRight, {-20, -20, 300, 400}, {-20, 0, 279, 400}},
      {DragState::SizeBottomLeft, {-20, -20, 300, 400}, {0, -20, 300, 361.0588f}},
      {DragState::SizeBottomRight, {-20, -20, 300, 400}, {-20, -20, 279, 361.0588f}},
      {DragState::None, {-20, -20, 300, 400}, {-20, -20, 300, 400}},
  };
  for (const ClampCase& c : cases) {
    FloatRect moved = c.moved;
    clampToImage(old, moved, c.state, image);
    expectRect(moved, c.expected, "state " + std::to_string(static_cast<int>(c.state)));
  }
}

TEST(FrameClamp, AFrameLargerThanTheImageMovesFlushWithItsRightAndBottomEdges) {
  const FloatRect image{0, 0, 279, 361.0588f};
  const FloatRect a3{0, 0, 384.04f, 541.59f};
  FloatRect moved{10, 10, 394.04f, 551.59f};
  clampToImage(a3, moved, DragState::Move, image);
  expectRect(moved, {279 - 384.04f, 361.0588f - 541.59f, 279, 361.0588f});
}

// --- Real mouse events on the pane -------------------------------------------

// The pane after a preview of a letter page, with the handler the main window
// installs: keep the frame on the image, write the readout, and switch to
// "Custom" unless Shift is held.
class FrameDrags : public ::testing::Test {
 protected:
  void SetUp() override {
    pane.createLayers();
    scale = pane.loadPreviewImage(writeLetterScan(testing_support::makeTempDir("drag")), 100, units::kMillimetres);
    pane.setResizing([this](const FloatRect& old, FloatRect& next, DragState state, Qt::KeyboardModifiers keys) {
      frame_geometry::clampToImage(old, next, state, pane.imageArea());
      readout = units::sizeReadout(next, scale, units::kMillimetres);
      if (!(keys & Qt::ShiftModifier)) switchedToCustom = true;
      ++calls;
      lastState = state;
    });
    pane.show();
  }

  QWidget* view() const { return pane.image(); }

  void press(QPoint at, Qt::KeyboardModifiers keys = {}) { QTest::mousePress(view(), Qt::LeftButton, keys, at); }
  void release(QPoint at, Qt::KeyboardModifiers keys = {}) { QTest::mouseRelease(view(), Qt::LeftButton, keys, at); }
  // A pointer move with the button held, as the window system delivers it.
  void moveHeld(QPoint at, Qt::KeyboardModifiers keys = {}) {
    QMouseEvent event(QEvent::MouseMove, at, view()->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::LeftButton, keys);
    QCoreApplication::sendEvent(view(), &event);
  }
  void hover(QPoint at) {
    QMouseEvent event(QEvent::MouseMove, at, view()->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton, {});
    QCoreApplication::sendEvent(view(), &event);
  }
  void drag(QPoint from, QPoint to, Qt::KeyboardModifiers keys = {}) {
    press(from, keys);
    moveHeld((from + to) / 2, keys);
    moveHeld(to, keys);
    release(to, keys);
  }

  PreviewPane pane;
  float scale = 0;
  QString readout;
  bool switchedToCustom = false;
  int calls = 0;
  DragState lastState = DragState::None;
};

struct DragCase {
  const char* what;
  QPoint from;
  QPoint to;
  FloatRect expected;
  DragState state;
};

TEST_F(FrameDrags, DragsOfTheInsideAndTheHandlesStayOnTheImage) {
  const float ab = pane.imageArea().bottom;
  const DragCase cases[] = {
      {"inside past the left edge", {100, 100}, {40, 100}, {0, 50, 100, 150}, DragState::Move},
      {"inside past the right edge", {100, 100}, {270, 100}, {179, 50, 279, 150}, DragState::Move},
      {"inside past the top edge", {100, 100}, {100, 20}, {50, 0, 150, 100}, DragState::Move},
      {"inside past the bottom edge", {100, 100}, {100, 400}, {50, ab - 100, 150, ab}, DragState::Move},
      {"left handle past the left edge", {50, 99}, {-20, 99}, {0, 50, 150, 150}, DragState::SizeLeft},
      {"right handle past the left edge", {149, 99}, {10, 99}, {50, 50, 51, 150}, DragState::SizeRight},
      {"bottom-right handle out of the pane", {149, 149}, {500, 600}, {50, 50, 279, ab}, DragState::SizeBottomRight},
      {"top handle upwards", {99, 50}, {99, 30}, {50, 30, 150, 150}, DragState::SizeTop},
      {"just inside the left edge, away from handles", {51, 60}, {61, 70}, {60, 60, 160, 160}, DragState::Move},
  };
  for (const DragCase& c : cases) {
    pane.placeNamedSize({50, 50, 150, 150});
    switchedToCustom = false;
    drag(c.from, c.to);
    expectRect(pane.frameLocation(), c.expected, c.what);
    expectRect(pane.areaLocation(), c.expected, c.what);  // the area follows the frame
    EXPECT_EQ(lastState, c.state) << c.what;
    EXPECT_TRUE(switchedToCustom) << c.what;
    EXPECT_EQ(pane.selectionFrame()->dragState(), DragState::None) << "released: " << c.what;
  }
}

TEST_F(FrameDrags, APressJustOutsideTheFrameDoesNothing) {
  pane.placeNamedSize({50, 50, 150, 150});
  drag({45, 60}, {61, 70});
  expectRect(pane.frameLocation(), {50, 50, 150, 150});
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(switchedToCustom);
}

TEST_F(FrameDrags, APressAndReleaseWithoutMovingCallsNothing) {
  pane.placeNamedSize({50, 50, 150, 150});
  press({100, 100});
  release({100, 100});
  EXPECT_EQ(calls, 0);
}

TEST_F(FrameDrags, EveryMoveReachesTheHandlerWithTheModifiersHeld) {
  drag({100, 100}, {110, 120}, Qt::ShiftModifier);
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(switchedToCustom);
  // The frame already covers the image; clamping leaves it where it was, yet
  // the handler ran and wrote the readout.
  expectRect(pane.frameLocation(), pane.imageArea());
  EXPECT_EQ(readout, units::sizeReadout(pane.imageArea(), scale, units::kMillimetres));
}

TEST_F(FrameDrags, ANamedSizeLargerThanTheImageMovesFlushWithItsRightAndBottomEdges) {
  const FloatRect a3{0, 0, 11.7f * scale, 16.5f * scale};
  pane.placeNamedSize(a3);
  expectRect(pane.areaLocation(), a3);  // not limited to the image
  drag({100, 100}, {110, 110});
  const FloatRect image = pane.imageArea();
  expectRect(pane.frameLocation(), {image.right - a3.right, image.bottom - a3.bottom, image.right, image.bottom});
  EXPECT_LT(pane.frameLocation().left, 0);
  EXPECT_LT(pane.frameLocation().top, 0);
  EXPECT_EQ(readout, "297 x 419 mm");
}

TEST_F(FrameDrags, TheCursorShowsWhatAPressWouldStart) {
  pane.placeNamedSize({50, 50, 150, 150});
  const std::pair<QPoint, Qt::CursorShape> cases[] = {
      {{149, 149}, Qt::SizeFDiagCursor}, {{50, 50}, Qt::SizeFDiagCursor},  {{149, 50}, Qt::SizeBDiagCursor},
      {{50, 149}, Qt::SizeBDiagCursor},  {{50, 99}, Qt::SizeHorCursor},    {{149, 99}, Qt::SizeHorCursor},
      {{99, 50}, Qt::SizeVerCursor},     {{99, 149}, Qt::SizeVerCursor},   {{100, 100}, Qt::SizeAllCursor},
      {{10, 10}, Qt::ArrowCursor},       {{51, 60}, Qt::SizeAllCursor},
  };
  for (const auto& [at, shape] : cases) {
    hover(at);
    EXPECT_EQ(view()->cursor().shape(), shape) << at.x() << "," << at.y();
  }
  EXPECT_EQ(calls, 0);  // hovering drags nothing
}

// A popup or another window may swallow the release; the next move without a
// button, or the next press, must not carry on the old drag.
TEST_F(FrameDrags, ALostReleaseEndsTheDrag) {
  pane.placeNamedSize({50, 50, 150, 150});
  press({100, 100});
  moveHeld({110, 100});
  hover({120, 100});
  EXPECT_EQ(pane.selectionFrame()->dragState(), DragState::None);
  expectRect(pane.frameLocation(), {60, 50, 160, 150});

  press({149, 99});  // the right handle now lies at 159
  press({159, 99});
  moveHeld({200, 99});
  release({200, 99});
  expectRect(pane.frameLocation(), {60, 50, 200, 150});
}

TEST_F(FrameDrags, WithoutAHandlerTheFrameStillKeepsItsSizeLimits) {
  pane.setResizing(nullptr);
  pane.placeNamedSize({50, 50, 150, 150});
  drag({149, 149}, {700, 900});
  expectRect(pane.frameLocation(), {50, 50, 50 + 279, 50 + 422});
}

}  // namespace
