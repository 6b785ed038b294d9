// Start-up over a scanner driver that takes its time to list the sources, as
// SANE does while network backends probe: the window must come up and keep
// answering, the list and the stored scanner follow, and a job or a close
// before then must not go wrong.

#include "app/Application.h"
#include "imagelist/ImagePane.h"
#include "main/Unitmain.h"
#include "platform/MessageBox.h"
#include "platform/RegistryKey.h"
#include "scanner/ScriptedDriver.h"
#include "scanner/VSTWAINLib_OCX.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QToolButton>

#include <chrono>
#include <functional>

using testing_support::makeTempDir;
using testing_support::waitUntil;

namespace {

constexpr std::chrono::milliseconds kListing{1500};

class SlowListing : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::MessageBoxSeam::answerAlways(platform::MessageAnswer::Yes);
    QFile::remove(platform::RegistryKey().fileName());
    auto driver = std::make_unique<ScriptedDriver>();
    script = driver.get();
    for (const char* model : {"One", "Two", "Three"}) {
      QImage page(120, 160, QImage::Format_RGB888);
      page.fill(Qt::darkCyan);
      script->addSource({.vendor = "Acme", .model = model, .pages = {page}});
    }
    script->setListingDelay(kListing);
    driver_ = std::move(driver);
  }
  void TearDown() override {
    windows = ProgramWindows();
    QFile::remove(platform::RegistryKey().fileName());
    platform::MessageBoxSeam::uninstall();
  }

  // The stored preferences: scanner `index`, restored at start.
  static void storeScanner(int index) {
    platform::RegistryKey key;
    key.writeBool(QStringLiteral("Save"), true);
    key.writeInteger(QStringLiteral("Scanner"), index);
    ASSERT_TRUE(key.close());
  }

  // Shows the window and returns how long show() took.
  qint64 show() {
    windows = createProgramWindows(std::move(driver_));
    w = windows.frm_Main.get();
    QElapsedTimer timer;
    timer.start();
    w->show();
    return timer.elapsed();
  }

  bool ready() const { return w->StatusText() == QStringLiteral("Ready"); }
  bool idle() const { return w->ToolButtonScan->isEnabled() && w->ToolButtonPreview->isEnabled(); }

  // Runs `start`, then the event loop until `done`; returns the longest time
  // the event loop went unserved, and keeps every status text seen meanwhile.
  qint64 longestStall(const std::function<void()>& start, const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      longest = std::max(longest, clock.elapsed() - last);
      last = clock.elapsed();
      if (statusesSeen.isEmpty() || statusesSeen.last() != w->StatusText()) statusesSeen << w->StatusText();
    });
    ticker.start(10);
    start();
    EXPECT_TRUE(waitUntil(done, std::chrono::milliseconds(10000)));
    ticker.stop();
    return std::max(longest, clock.elapsed() - last);
  }

  // A close isn't input that waits: sent 300 ms into a Preview that waits
  // for a listing, it comes in while the job still runs. The job then ends
  // on the hidden window, the window goes cleanly after, and the stored
  // scanner is `storedScanner`.
  void closeWhileAPreviewWaits(int storedScanner) {
    bool closedDuringTheJob = false;
    QTimer::singleShot(300, w, [&] {
      closedDuringTheJob = !idle();
      w->close();
    });
    w->ToolButtonPreviewClick();
    EXPECT_TRUE(closedDuringTheJob);
    ASSERT_TRUE(waitUntil([&] { return idle(); }, std::chrono::milliseconds(10000)));
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(platform::RegistryKey().readInteger(QStringLiteral("Scanner")), storedScanner);
    windows = ProgramWindows();
  }

  QStringList statusesSeen;

  ScriptedDriver* script = nullptr;
  ProgramWindows windows;
  Tfrm_Main* w = nullptr;

 private:
  std::unique_ptr<ScriptedDriver> driver_;
};

TEST_F(SlowListing, WindowAnswersAtOnceAndTheListFollowsWithTheStoredScanner) {
  storeScanner(2);
  EXPECT_LT(show(), kListing.count() / 2) << "showing waited for the listing";
  EXPECT_FALSE(ready());
  EXPECT_EQ(w->cmb_Sources->count(), 0);

  // The event loop keeps running while the sources are listed.
  const qint64 stall = longestStall([] {}, [&] { return ready(); });
  EXPECT_LT(stall, 300) << "the window froze for " << stall << " ms";

  ASSERT_EQ(w->cmb_Sources->count(), 3);
  EXPECT_EQ(w->cmb_Sources->itemText(1), QStringLiteral("Acme Two"));
  EXPECT_EQ(w->cmb_Sources->currentIndex(), 2) << "the stored scanner is selected";
  EXPECT_FALSE(w->StatusIsError());
}

// After the start's listing a job never lists: it goes straight to opening
// the chosen scanner, whatever a listing would cost.
TEST_F(SlowListing, AJobAfterReadyOpensTheScannerWithoutListing) {
  show();
  ASSERT_TRUE(waitUntil([&] { return ready(); }, std::chrono::milliseconds(10000)));
  const int listings = script->listingCount();
  w->cmb_Sources->setCurrentIndex(2);
  script->clearLog();
  const qint64 stall = longestStall([&] { w->ToolButtonPreviewClick(); }, [&] { return idle(); });
  EXPECT_LT(stall, 300) << "the window froze for " << stall << " ms";
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_EQ(script->listingCount(), listings) << "the job listed the sources";
  EXPECT_TRUE(script->log().contains(QStringLiteral("Acquire()"))) << script->log().join(", ").toStdString();
  EXPECT_EQ(script->openCount(), 1);
}

// Opening the list makes it again in the background: a scanner plugged in
// since shows up, and the choice stays with its scanner while the others
// move. A job started meanwhile waits for the list and opens that scanner.
TEST_F(SlowListing, OpeningTheListFindsNewScannersAndKeepsTheChoice) {
  show();
  ASSERT_TRUE(waitUntil([&] { return ready(); }, std::chrono::milliseconds(10000)));
  w->cmb_Sources->setCurrentIndex(1);  // "Acme Two", say restored from the preferences
  script->removeSource(0);
  script->addSource({.vendor = "Zeta", .model = "Four"});
  const int listings = script->listingCount();
  w->cmb_Sources->showPopup();
  EXPECT_TRUE(w->VintaSoftTwain->refreshingSources());
  w->cmb_Sources->hidePopup();
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  // The preview waits for the listing that runs.
  w->ToolButtonPreviewClick();
  ASSERT_TRUE(waitUntil([&] { return idle(); }, std::chrono::milliseconds(10000)));
  EXPECT_EQ(script->listingCount(), listings + 1);
  ASSERT_EQ(w->cmb_Sources->count(), 3);
  EXPECT_EQ(w->cmb_Sources->itemText(2), QStringLiteral("Zeta Four"));
  EXPECT_EQ(w->cmb_Sources->currentText(), QStringLiteral("Acme Two"));
  EXPECT_EQ(w->cmb_Sources->currentIndex(), 0);
  EXPECT_EQ(script->openSource(), QStringLiteral("Acme Two"));
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));

  // Not while a job runs: the list it was started from stays.
  script->setPageDelay(std::chrono::milliseconds(600));
  w->ToolButtonPreviewClick();
  ASSERT_FALSE(idle());
  w->cmb_Sources->showPopup();
  w->cmb_Sources->hidePopup();
  EXPECT_FALSE(w->VintaSoftTwain->refreshingSources());
  ASSERT_TRUE(waitUntil([&] { return idle(); }, std::chrono::milliseconds(10000)));
  EXPECT_EQ(script->listingCount(), listings + 1);
}

// The scanner chosen has gone since the list was made: the job says so in
// red and opens no other scanner in its place.
TEST_F(SlowListing, AScannerGoneSinceTheListEndsTheJobInRedAndOpensNothing) {
  show();
  ASSERT_TRUE(waitUntil([&] { return ready(); }, std::chrono::milliseconds(10000)));
  w->cmb_Sources->setCurrentIndex(1);
  script->removeSource(1);
  w->ToolButtonPreviewClick();
  ASSERT_TRUE(waitUntil([&] { return idle(); }, std::chrono::milliseconds(10000)));
  EXPECT_TRUE(w->StatusIsError());
  EXPECT_EQ(w->StatusText(), QStringLiteral("The scanner \"Acme Two\" is no longer available"));
  EXPECT_EQ(script->openCount(), 0);
  EXPECT_FALSE(script->log().contains(QStringLiteral("Acquire()")));
}

// A close while a job started before the list was there waits for it.
TEST_F(SlowListing, ClosingWhileAJobWaitsForTheListLetsTheJobEnd) {
  storeScanner(2);
  show();
  ASSERT_FALSE(ready());
  closeWhileAPreviewWaits(2);
}

// A close while the job waits for the listing that opening the list started.
TEST_F(SlowListing, ClosingWhileAJobWaitsForARefreshSavesAndLetsTheJobEnd) {
  show();
  ASSERT_TRUE(waitUntil([&] { return ready(); }, std::chrono::milliseconds(10000)));
  w->cmb_Sources->setCurrentIndex(2);
  w->cmb_Sources->showPopup();
  w->cmb_Sources->hidePopup();
  ASSERT_TRUE(w->VintaSoftTwain->refreshingSources());
  closeWhileAPreviewWaits(2);
}

TEST_F(SlowListing, ScanStartedBeforeTheListWaitsAndScansFromTheStoredScanner) {
  storeScanner(1);
  show();
  w->edt_Destination->setText(makeTempDir(QStringLiteral("dest")));
  ASSERT_FALSE(ready());
  script->clearLog();
  // It waits for the start's listing, painting all along.
  const qint64 stall = longestStall([&] { w->Scan1Click(); }, [&] { return idle(); });
  EXPECT_LT(stall, 300) << "the window froze for " << stall << " ms";
  EXPECT_FALSE(w->StatusIsError()) << w->StatusText().toStdString();
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_EQ(w->cmb_Sources->currentIndex(), 1);
  EXPECT_TRUE(script->log().contains(QStringLiteral("sourceIndex=1"))) << script->log().join(", ").toStdString();
  EXPECT_EQ(w->pnl_Right->lv_Images->count(), 1);
}

TEST_F(SlowListing, ClosingBeforeTheListKeepsTheStoredScanner) {
  storeScanner(2);
  show();
  ASSERT_FALSE(ready());
  w->close();
  windows = ProgramWindows();  // the control goes while its worker still lists
  platform::RegistryKey key;
  EXPECT_EQ(key.readInteger(QStringLiteral("Scanner")), 2);
}

// The application quitting (a session manager's request, say) also ends the
// wait of a listing on the UI thread; the list is still waited for, so the
// caller never reads a half-made one. In a child process: after a quit, Qt's
// event loops in this process return at once.
TEST(ListingOnTheUiThread, AnApplicationQuitMeanwhileStillWaitsForTheList) {
  if (!child_process::inChild({})) return;
  auto driver = std::make_unique<ScriptedDriver>();
  for (const char* model : {"One", "Two"}) driver->addSource({.vendor = "Acme", .model = model});
  driver->setListingDelay(std::chrono::milliseconds(800));
  TVintaSoftTwain control(std::move(driver));
  QTimer::singleShot(100, [] { QCoreApplication::exit(0); });
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(control.StartDevice(), 1);
  EXPECT_GE(clock.elapsed(), 700);
  EXPECT_EQ(control.sourceCount(), 2);
  EXPECT_EQ(control.GetSourceProductName(1), QStringLiteral("Acme Two"));
}

}  // namespace
