// The scanner failing on sheet 3 of a feeder batch of 10, and a scanner that
// goes away in the middle of a batch: the first two pages are on disk as
// they came and listed, the reason shows in red, the remaining sheets are not
// pulled in, the buttons come back and a new job works.

#include "FaultWindow.h"

#include "main/Unitmain.h"
#include "scanner/SaneDriver.h"
#include "scanner/ScanStatus.h"
#include "scanner/ScriptedDriver.h"
#include "scanner/VSTWAINLib_OCX.h"
#include "status/StatusBar.h"
#include "support/ForcedReadStatusDriver.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImageReader>

#include <atomic>
#include <chrono>

namespace {

QList<QImage> tenSheets() {
  QList<QImage> pages;
  for (int i = 0; i < 10; ++i) pages << barPage(QColor::fromHsv(i * 36, 160, 220));
  return pages;
}

// ---- scripted scanner --------------------------------------------------------

enum class When { Starting, Reading };

struct ScriptedCase {
  const char* name;
  When when;
  int code;
  const char* text;
};

void PrintTo(const ScriptedCase& c, std::ostream* os) { *os << c.name; }

class ScriptedFailure : public FaultWindowTest, public ::testing::WithParamInterface<ScriptedCase> {};

TEST_P(ScriptedFailure, SheetThreeFailsAndTheFirstTwoAreKept) {
  const ScriptedCase& c = GetParam();
  const QList<QImage> pages = tenSheets();
  auto driver = std::make_unique<ScriptedDriver>();
  ScriptedDriver* script = driver.get();
  script->addSource({.hasFeeder = true, .pages = pages});
  if (c.when == When::Starting)
    script->failOnStart(2, c.code, QString::fromLatin1(c.text));
  else
    script->failOnPage(2, c.code, QString::fromLatin1(c.text));
  start(std::move(driver));
  w->cb_ADF->setChecked(true);
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());

  ASSERT_FALSE(statuses.isEmpty());
  EXPECT_EQ(statuses.last(), "!" + QString::fromLatin1(c.text));
  EXPECT_EQ(script->log().count(QStringLiteral("StopDevice()")), 1);
  EXPECT_EQ(script->pagesStarted(), c.when == When::Starting ? 2 : 3);
  EXPECT_EQ(entriesIn(destination), (QStringList{pageName(0), pageName(1)}));
  for (int k = 0; k < 2; ++k)
    EXPECT_EQ(QImage(destination + "/" + pageName(k)).convertToFormat(QImage::Format_RGB888), pages[k]) << k;
  EXPECT_EQ(listCaptions(), (QStringList{pageName(0), pageName(1)}));

  script->clearFailures();
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_FALSE(w->StatusIsError());
  EXPECT_EQ(listed(), 12);
  EXPECT_EQ(entriesIn(destination).size(), 12);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ScriptedFailure,
    ::testing::Values(ScriptedCase{"JamAsSheetThreeIsPulledIn", When::Starting, scanerror::kFeederJammed,
                                   "Document feeder jammed"},
                      ScriptedCase{"CoverOpenedBeforeSheetThree", When::Starting, scanerror::kCoverOpen,
                                   "Scanner cover is open"},
                      ScriptedCase{"ReadingSheetThreeFails", When::Reading, scanerror::kIoError,
                                   "Error during device I/O"}),
    [](const auto& info) { return std::string(info.param.name); });

// The scanner is unplugged after the first sheet: the sheet in progress
// fails, and the next job finds it gone. Plugged in again (under a new
// name, as a new USB address gives it), it is chosen again once the list is
// opened, and scans.
TEST_F(FaultWindowTest, ScannerUnpluggedInTheMiddleOfABatch) {
  const QList<QImage> pages = tenSheets();
  auto driver = std::make_unique<ScriptedDriver>();
  ScriptedDriver* script = driver.get();
  script->addSource({.vendor = "Acme", .model = "Feeder 9", .hasFeeder = true, .pages = pages});
  // What the device reports for the sheet it can no longer deliver.
  script->failOnStart(2, scanerror::kSourceNotAvailable, QStringLiteral("The scanner is no longer available"));
  script->setPageDelay(std::chrono::milliseconds(40));
  start(std::move(driver));
  w->cb_ADF->setChecked(true);
  w->Scan1Click();
  ASSERT_TRUE(testing_support::waitUntil([&] { return listed() >= 1; }));
  script->removeSource(0);
  ASSERT_TRUE(waitForJobEnd());

  EXPECT_EQ(statuses.last(), QStringLiteral("!The scanner is no longer available"));
  EXPECT_EQ(listCaptions(), (QStringList{pageName(0), pageName(1)}));
  EXPECT_EQ(entriesIn(destination), (QStringList{pageName(0), pageName(1)}));

  // Gone: the next job stops before acquiring, in red, with the buttons back.
  statuses.clear();
  script->clearLog();
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_FALSE(script->log().contains(QStringLiteral("Acquire()")));
  EXPECT_TRUE(w->StatusIsError());
  EXPECT_EQ(w->StatusText(), QStringLiteral("The scanner \"Acme Feeder 9\" is no longer available"));
  EXPECT_EQ(listed(), 2);

  // Plugged in again, it scans.
  script->clearFailures();
  script->addSource({.vendor = "Acme", .model = "Feeder 9", .hasFeeder = true, .pages = pages});
  w->cmb_Sources->showPopup();
  w->cmb_Sources->hidePopup();
  ASSERT_TRUE(testing_support::waitUntil([&] { return !w->VintaSoftTwain->refreshingSources(); }));
  EXPECT_EQ(w->cmb_Sources->count(), 1);
  EXPECT_EQ(w->cmb_Sources->currentText(), QStringLiteral("Acme Feeder 9"));
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_EQ(listed(), 12);
}

// ---- SANE's test backend -------------------------------------------------------

// The program's SANE driver, with the test backend told to fail its reads
// from a given sheet on. The option is set from the driver's own thread,
// between two sheets, the way the control calls the driver. The sheets are
// small enough to fit into the backend's pipe whole (see
// ForcedReadStatusDriver).
class FailingSaneDriver : public testing_support::ForcedReadStatusDriver {
 public:
  FailingSaneDriver(int failingSheet, const char* readStatus) : failingSheet_(failingSheet), readStatus_(readStatus) {}
  void disarm() { failingSheet_ = -1; }
  bool optionRefused() const { return optionRefused_; }

  PageOutcome startPage(int pagesDone) override {
    const int failing = failingSheet_;
    if (pagesDone == 0 || pagesDone == failing) {
      const char* value = pagesDone == failing ? readStatus_ : "Default";
      if (!setExtraOption(QStringLiteral("read-return-value"), QString::fromLatin1(value))) optionRefused_ = true;
    }
    return ForcedReadStatusDriver::startPage(pagesDone);
  }

 protected:
  bool readStatusForcedOn(int pagesDone) const override { return pagesDone == failingSheet_; }

 private:
  std::atomic<int> failingSheet_;
  const char* readStatus_;
  std::atomic<bool> optionRefused_{false};
};

struct SaneCase {
  const char* name;
  const char* readStatus;
  const char* text;  // what the user reads
};

void PrintTo(const SaneCase& c, std::ostream* os) { *os << c.name; }

class SaneFailure : public FaultWindowTest, public ::testing::WithParamInterface<SaneCase> {};

TEST_P(SaneFailure, SheetThreeFailsAndTheFirstTwoAreKept) {
  const SaneCase& c = GetParam();
  auto driver = std::make_unique<FailingSaneDriver>(2, c.readStatus);
  FailingSaneDriver* sane = driver.get();
  start(std::move(driver));
  ASSERT_GE(w->cmb_Sources->count(), 1) << "SANE's test backend lists no device";
  // Small, quick pages that fit into the backend's pipe whole (see
  // ForcedReadStatusDriver): line art, 75 dpi, A6, about 17 kB.
  w->cmb_Mode->setCurrentIndex(0);
  w->cmb_Resolution->setCurrentIndex(w->cmb_Resolution->findText(QStringLiteral("75")));
  w->cmb_Size->setCurrentIndex(12);
  w->cb_ADF->setChecked(true);
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  ASSERT_FALSE(sane->optionRefused()) << "the test backend refused read-return-value";

  ASSERT_FALSE(statuses.isEmpty());
  EXPECT_EQ(statuses.last(), "!" + QString::fromLatin1(c.text));
  EXPECT_EQ(listCaptions(), (QStringList{pageName(0), pageName(1)}));
  EXPECT_EQ(entriesIn(destination), (QStringList{pageName(0), pageName(1)}));
  for (int k = 0; k < 2; ++k) {
    const QImage saved(destination + "/" + pageName(k));
    EXPECT_NEAR(saved.width(), 4.1 * 75, 2) << k;
    EXPECT_NEAR(saved.height(), 5.8 * 75, 2) << k;
  }

  // The backend's feeder starts again with ten sheets for the next job.
  sane->disarm();
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_FALSE(w->StatusIsError());
  EXPECT_EQ(listed(), 12);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SaneFailure,
    ::testing::Values(SaneCase{"Jammed", "SANE_STATUS_JAMMED", "Document feeder jammed"},
                      SaneCase{"CoverOpen", "SANE_STATUS_COVER_OPEN", "Scanner cover is open"},
                      // What a scanner pulled off its cable reports.
                      SaneCase{"Unplugged", "SANE_STATUS_IO_ERROR", "Error during device I/O"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
