#include "status/ProgressText.h"
#include "status/StatusBar.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHelpEvent>
#include <QImage>
#include <QProgressBar>
#include <QScreen>
#include <QTest>
#include <QToolTip>

namespace {

struct StageCase {
  int action;
  int jobKind;
  std::optional<QString> text;
};

TEST(ProgressText, StageTextByActionAndJob) {
  const StageCase cases[] = {
      {0, 2, QStringLiteral("Despeckling...")},
      {1, 1, QStringLiteral("Deskewing...")},
      {2, 3, QStringLiteral("Rotating...")},
      {3, 0, QStringLiteral("Border detecting...")},
      {4, 1, QStringLiteral("Image preview ... ")},
      {4, 2, QStringLiteral("Scanning...")},
      {4, 3, QStringLiteral("Copying to printer...")},
      {4, 0, std::nullopt},   // no job yet: the text stays
      {4, 7, std::nullopt},
      {7, 2, std::nullopt},   // unknown action: only the bar moves
      {-1, 2, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(progressStageText(c.action, c.jobKind), c.text) << "action " << c.action << " job " << c.jobKind;
  }
}

// Counts the pixels of exactly `colour` inside `rect` of the painted bar.
int countPixels(const QImage& image, const QRect& rect, const QColor& colour) {
  int count = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x)
      if (image.pixelColor(x, y).rgb() == colour.rgb()) ++count;
  return count;
}

class StatusBarPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    bar.resize(700, StatusBar::kHeight);
    QFont font = bar.font();
    font.setPixelSize(13);
    font.setBold(true);
    bar.setFont(font);
  }
  QImage paint() { return bar.grab().toImage().convertToFormat(QImage::Format_RGB32); }
  StatusBar bar;
};

TEST_F(StatusBarPaint, TextColoursAreExactGreenAndRed) {
  bar.setStatus(QStringLiteral("Ready"), false);
  QImage image = paint();
  const QRect panel0 = bar.panelRect(0);
  EXPECT_GT(countPixels(image, panel0, QColor(0, 128, 0)), 0);
  EXPECT_EQ(countPixels(image, panel0, QColor(255, 0, 0)), 0);

  bar.setStatus(QStringLiteral("Document feeder jammed"), true);
  image = paint();
  EXPECT_GT(countPixels(image, panel0, QColor(255, 0, 0)), 0);
  EXPECT_EQ(countPixels(image, panel0, QColor(0, 128, 0)), 0);
  EXPECT_EQ(bar.statusText(), QStringLiteral("Document feeder jammed"));
  EXPECT_TRUE(bar.statusIsError());
}

TEST_F(StatusBarPaint, EmptyTextLeavesThePanelInTheBarsColour) {
  bar.setStatus(QString(), false);
  const QImage image = paint();
  const QRect panel0 = bar.panelRect(0);
  const QRgb face = bar.palette().color(QPalette::Window).rgb();
  EXPECT_EQ(countPixels(image, panel0, QColor(face)), panel0.width() * panel0.height());
}

TEST_F(StatusBarPaint, PanelsHaveTheirWidthsAndTheBarIsHidden) {
  EXPECT_EQ(bar.panelRect(0), QRect(0, 0, 250, StatusBar::kHeight));
  EXPECT_EQ(bar.panelRect(1), QRect(250, 0, 150, StatusBar::kHeight));
  EXPECT_EQ(bar.panelRect(2), QRect(400, 0, 193, StatusBar::kHeight));
  EXPECT_EQ(bar.panelRect(3).left(), 593);
  EXPECT_GE(bar.panelRect(3).width(), 50);
  EXPECT_EQ(bar.progressBar()->minimum(), 0);
  EXPECT_EQ(bar.progressBar()->maximum(), 100);
  EXPECT_FALSE(bar.progressBar()->isVisibleTo(&bar));
}

TEST_F(StatusBarPaint, ProgressPanelShowsTheBarsPicture) {
  // A full bar paints differently from an empty one: the picture follows
  // the hidden bar's value at the next redraw.
  bar.progressBar()->setValue(0);
  bar.setStatus(QStringLiteral("Scanning..."), false);
  const QImage empty = paint().copy(bar.panelRect(1));
  bar.progressBar()->setValue(100);
  bar.setStatus(QStringLiteral("Scanning..."), false);
  const QImage full = paint().copy(bar.panelRect(1));
  EXPECT_NE(empty, full);
}

// Panels 1 to 3 keep their widths; the status text takes what the window
// gains over its designed width, and the last panel what is left below it.
TEST(StatusBarPanels, TheStatusPanelTakesTheWidthTheWindowGains) {
  struct Case {
    int barWidth;
    std::array<int, 4> widths;
  };
  const int design = StatusBar::kDesignWidth;
  const Case cases[] = {
      {600, {250, 150, 193, 50}},
      {design, {250, 150, 193, design - 593}},
      {design + 1, {251, 150, 193, design - 593}},
      {design + 300, {550, 150, 193, design - 593}},
  };
  for (const Case& c : cases) {
    StatusBar bar;
    bar.resize(c.barWidth, StatusBar::kHeight);
    int left = 0;
    for (int panel = 0; panel < 4; ++panel) {
      EXPECT_EQ(bar.panelRect(panel), QRect(left, 0, c.widths[panel], StatusBar::kHeight))
          << "panel " << panel << " of a bar " << c.barWidth << " wide";
      left += c.widths[panel];
    }
  }
}

// A status text longer than its panel can be read whole in a tooltip; one
// that fits needs none.
TEST(StatusBarPanels, ACutStatusTextShowsWholeInATooltip) {
  const QString longText = QStringLiteral("The scanner \"test:0\" could not be opened: Device busy, "
                                          "the requested scan area lies outside the scanner's bed");
  struct Case {
    QString text;
    QPoint at;
    QString tip;
  };
  const Case cases[] = {
      {longText, QPoint(100, 9), longText},
      {QStringLiteral("Ready"), QPoint(10, 9), QString()},
      {longText, QPoint(300, 9), QString()},  // over the progress panel
  };
  for (const Case& c : cases) {
    QWidget window;
    window.resize(700, 40);
    auto* bar = new StatusBar(&window);
    bar->setGeometry(0, 10, 700, StatusBar::kHeight);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    bar->setStatus(c.text, true);
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, c.at, bar->mapToGlobal(c.at));
    QCoreApplication::sendEvent(bar, &help);
    const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
    EXPECT_EQ(shown, c.tip) << c.text.toStdString() << " at " << c.at.x();
    QToolTip::hideText();
  }
}

// In the main window the bar sits along the bottom edge, away from the
// window's corner; its panel must show the progress there too, as the
// screen shows it: through the window's own painting, not a grab of the bar.
TEST(StatusBarInAWindow, ProgressPanelShowsTheBarWhereverTheStatusBarSits) {
  for (const QPoint at : {QPoint(0, 0), QPoint(0, 181), QPoint(37, 120)}) {
    QWidget window;
    window.resize(760, 200);
    auto* bar = new StatusBar(&window);
    bar->setGeometry(QRect(at, QSize(700, StatusBar::kHeight)));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto panel = [&] {
      bar->setStatus(QStringLiteral("Scanning..."), false);
      QCoreApplication::processEvents();
      const QRect rect = bar->panelRect(1).translated(at);
      return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32).copy(rect);
    };
    bar->progressBar()->setValue(0);
    const QImage empty = panel();
    bar->progressBar()->setValue(100);
    const QImage full = panel();
    const QRgb face = window.palette().color(QPalette::Window).rgb();
    EXPECT_NE(empty, full) << "status bar at " << at.x() << "," << at.y();
    EXPECT_LT(countPixels(full, full.rect(), QColor(face)), full.width() * full.height() / 2)
        << "status bar at " << at.x() << "," << at.y() << ": the full bar's panel is mostly empty";
  }
}

}  // namespace
