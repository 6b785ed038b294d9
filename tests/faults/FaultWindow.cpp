#include "FaultWindow.h"

#include "imagelist/ImagePane.h"
#include "main/Unitmain.h"
#include "output/FileNaming.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "scanner/ScanDriver.h"
#include "status/StatusBar.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>

#include <random>

namespace {

// Every page of a test is handled within the same second, so the names of
// one batch differ only by their counter.
const QDateTime kNow(QDate(2026, 12, 10), QTime(17, 45, 10));

}  // namespace

QImage barPage(QColor colour, int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  image.fill(colour);
  for (int y = 10; y < height - 10; y += 8)
    for (int x = 10; x < width - 10; ++x) image.setPixelColor(x, y, Qt::black);
  return image;
}

QImage noisePage(int width, int height, unsigned seed) {
  QImage image(width, height, QImage::Format_RGB888);
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y) {
    uchar* line = image.scanLine(y);
    for (int x = 0; x < width * 3; ++x) line[x] = uchar(random());
  }
  return image;
}

void FaultWindowTest::SetUp() {
  platform::MessageBoxSeam::answerAlways(platform::MessageAnswer::Yes);
  platform::MessageBoxSeam::clearShown();
  platform::ClockSeam::set([] { return kNow; });
  destination = testing_support::makeTempDir(QStringLiteral("dest"));
}

void FaultWindowTest::TearDown() {
  windows = ProgramWindows();
  platform::ClockSeam::reset();
  platform::MessageBoxSeam::uninstall();
}

void FaultWindowTest::start(std::unique_ptr<ScanDriver> driver) {
  windows = createProgramWindows(std::move(driver));
  w = windows.frm_Main.get();
  QObject::connect(w->sb_Main, &StatusBar::statusChanged, w->sb_Main,
                   [this](const QString& text, bool isError) { statuses << (isError ? "!" : "") + text; });
  w->show();
  ASSERT_TRUE(testing_support::waitUntil([&] { return w->StatusText() == QStringLiteral("Ready"); }));
  w->edt_Destination->setText(destination);
  statuses.clear();
}

bool FaultWindowTest::idle() const { return w->ToolButtonPreview->isEnabled() && w->ToolButtonScan->isEnabled(); }

bool FaultWindowTest::waitForJobEnd(std::chrono::milliseconds timeout) {
  return testing_support::waitUntil([&] { return idle(); }, timeout);
}

int FaultWindowTest::listed() const { return w->pnl_Right->lv_Images->count(); }

QStringList FaultWindowTest::listCaptions() const {
  QStringList captions;
  for (int i = 0; i < listed(); ++i) captions << w->pnl_Right->lv_Images->item(i)->text();
  return captions;
}

QStringList FaultWindowTest::messageTexts() const {
  QStringList texts;
  for (const auto& request : platform::MessageBoxSeam::shown()) texts << request.text;
  return texts;
}

QStringList FaultWindowTest::entriesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QMap<QString, QByteArray> FaultWindowTest::contentsOf(const QString& folder) {
  QMap<QString, QByteArray> contents;
  for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
    QFile file(folder + QLatin1Char('/') + name);
    contents[name] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
  }
  return contents;
}

QString FaultWindowTest::pageName(int k, const QString& extension) const {
  const QString counter = k > 0 ? QStringLiteral("_%1").arg(k) : QString();
  return QStringLiteral("Brevalto_") + output::timeStamp(kNow) + counter + QLatin1Char('.') + extension;
}
