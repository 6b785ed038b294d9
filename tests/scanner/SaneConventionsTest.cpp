// The control over libsane, against the programmable backend in
// tests/fakesane: the conventions of SANE backends beyond SANE's own test
// backend (option lists that change, duplex switches, page sizes, geometry
// in pixels, passwords, stalled pages, statuses). Each case runs in a child
// process with a SANE configuration of its own.

#include "ControlJob.h"
#include "EventRecorder.h"
#include "support/FakeSane.h"
#include "support/TestSupport.h"
#include "scanner/SaneDriver.h"
#include "scanner/SaneDriverFactory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <sane/sane.h>

#include <gtest/gtest.h>

#include <ctime>
#include <memory>

namespace {

using testing_support::waitUntil;

const QString kDevice = QStringLiteral("device fake:a|Acme|Sheetmaster");

// A backend that rebuilds its options when the mode changes (as every device
// shared through saned reports) refuses option calls until they are read
// again; every value after the mode must still reach it.
TEST(SaneConventions, OptionsAreReadAgainWhenTheBackendSaysSo) {
  if (!child_process::inChild(fake_sane::childOptions({kDevice, QStringLiteral("modes Lineart|Gray|Color")}))) return;
  struct Row {
    int pixelType;
    QImage::Format format;
  };
  for (const Row row : {Row{0, QImage::Format_Mono}, Row{1, QImage::Format_Grayscale8}, Row{2, QImage::Format_RGB888}}) {
    SCOPED_TRACE(row.pixelType);
    fake_sane::clearLog();
    ControlJob fake;
    ASSERT_EQ(fake.prepare({.pixelType = row.pixelType, .dpi = 150, .layout = {0.5f, 0.5f, 1.5f, 2.5f}}), 0)
        << fake.control->errorString().toStdString();
    const auto events = fake.acquire();
    ASSERT_EQ(events->postScans.size(), 1u);
    ASSERT_EQ(events->postScans[0].flag, 0) << events->postScans[0].errorString.toStdString();
    const QImage page = fake.control->bufferedImage(0);
    EXPECT_EQ(page.format(), row.format);
    // One inch by two at 150 dpi: resolution and area were both applied.
    EXPECT_NEAR(page.width(), 150, 1);
    EXPECT_NEAR(page.height(), 300, 1);
    EXPECT_TRUE(fake_sane::logLines(QStringLiteral("refused")).isEmpty()) << fake_sane::log().join('\n').toStdString();
  }
}

}  // namespace

namespace {

// What the first read of a page may say instead of data.
struct FirstReadCase {
  const char* name;
  int readStatus;
  int code;
  const char* text;
};
void PrintTo(const FirstReadCase& c, std::ostream* os) { *os << c.name; }

class FirstRead : public ::testing::TestWithParam<FirstReadCase> {};

TEST_P(FirstRead, StatusGivesTheUserAClearText) {
  const FirstReadCase& c = GetParam();
  if (!child_process::inChild(fake_sane::childOptions({kDevice, QStringLiteral("read-status %1").arg(c.readStatus)})))
    return;
  ControlJob fake;
  ASSERT_EQ(fake.prepare({}), 0) << fake.control->errorString().toStdString();
  const auto events = fake.acquire();
  ASSERT_EQ(events->postScans.size(), 1u);
  EXPECT_NE(events->postScans[0].flag, 0);
  EXPECT_EQ(events->postScans[0].errorCode, c.code);
  EXPECT_EQ(events->postScans[0].errorString.toStdString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    SaneConventions, FirstRead,
    ::testing::Values(
        // No documents before any line: the empty feeder, as when sane_start says so.
        FirstReadCase{"NoDocuments", SANE_STATUS_NO_DOCS, scanerror::kFeederEmpty,
                      "The document feeder is empty: there are no pages to scan"},
        FirstReadCase{"UnknownStatus", 77, scanerror::kDeviceError,
                      "The scanner reported an error this program does not know; check the scanner and its "
                      "connection, then scan again"}),
    [](const auto& info) { return std::string(info.param.name); });

// A page that stops delivering, either way a backend can: sane_read
// returning nothing again and again (the net backend once its server died),
// or a sane_read that never returns.
struct StallCase {
  const char* name;
  const char* stall;
};
void PrintTo(const StallCase& c, std::ostream* os) { *os << c.name; }

class StalledPage : public ::testing::TestWithParam<StallCase> {};

double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

TEST_P(StalledPage, EndsTheJobWithAClearTextWithoutBurningACore) {
  if (!child_process::inChild(fake_sane::childOptions({kDevice, QStringLiteral("stall %1 2000").arg(GetParam().stall)})))
    return;
  SaneDriver::setStallTimeout(std::chrono::milliseconds(2000));
  ControlJob fake;
  ASSERT_EQ(fake.prepare({}), 0) << fake.control->errorString().toStdString();
  QElapsedTimer wall;
  wall.start();
  const double cpuBefore = processCpuSeconds();
  const auto events = fake.acquire();
  const double cpu = processCpuSeconds() - cpuBefore;
  ASSERT_EQ(events->postScans.size(), 1u);
  EXPECT_NE(events->postScans[0].flag, 0);
  EXPECT_EQ(events->postScans[0].errorCode, scanerror::kIoError);
  EXPECT_TRUE(events->postScans[0].errorString.startsWith(QStringLiteral("The scanner sent no data for 2 seconds")))
      << events->postScans[0].errorString.toStdString();
  // Waiting on a silent device is no work: far less than one core all along.
  EXPECT_LT(cpu, 0.25 * wall.elapsed() / 1000.0) << cpu << " s of CPU in " << wall.elapsed() << " ms";
}

// The user's cancel reaches a page that delivers nothing: the progress
// handler still hears from it, and its interrupt stops the page at once.
TEST_P(StalledPage, CancelStopsItAndTheNextPageStarts) {
  if (!child_process::inChild(fake_sane::childOptions({kDevice, QStringLiteral("stall %1 2000").arg(GetParam().stall)})))
    return;
  ControlJob fake;  // the stall limit stays far away: only the cancel can end the page
  ASSERT_EQ(fake.prepare({}), 0) << fake.control->errorString().toStdString();
  for (int job = 0; job < 2; ++job) {
    SCOPED_TRACE(job);
    fake_sane::clearLog();
    auto events = std::make_unique<EventRecorder>(*fake.control);
    // As the main window does when Cancel was pressed while the page hung:
    // the interrupt goes with the first event after the data stopped.
    events->onProgress = [&events](const ProgressEvent& p, int* interrupt) {
      const auto& all = events->progress;
      if (p.percent > 0 && all.size() >= 2 && all[all.size() - 2].percent == p.percent) *interrupt = 1;
    };
    fake.control->Acquire();
    ASSERT_TRUE(waitUntil([&] { return events->ended(); }));
    ASSERT_EQ(events->postScans.size(), 1u);
    EXPECT_NE(events->postScans[0].flag, 0);
    EXPECT_EQ(events->postScans[0].errorCode, 0) << events->postScans[0].errorString.toStdString();
    EXPECT_EQ(fake_sane::logLines(QStringLiteral("start")).size(), 1);
    EXPECT_FALSE(fake_sane::logLines(QStringLiteral("cancel")).isEmpty());
    EXPECT_FALSE(fake.control->acquiring());
  }
}

INSTANTIATE_TEST_SUITE_P(SaneConventions, StalledPage,
                         ::testing::Values(StallCase{"EmptyReads", "zero"}, StallCase{"BlockedRead", "block"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// The area the job asks for, in inches, arrives whatever unit the backend's
// geometry counts in, and sheet-fed backends get a page size that holds it.
struct AreaCase {
  const char* name;
  QStringList conf;
  Job job;
  QSize size;  // of the page that arrives, in pixels
};
void PrintTo(const AreaCase& c, std::ostream* os) { *os << c.name; }

class AreaOnEveryBackend : public ::testing::TestWithParam<AreaCase> {};

TEST_P(AreaOnEveryBackend, PageHasTheSizeAsked) {
  const AreaCase& c = GetParam();
  if (!child_process::inChild(fake_sane::childOptions(QStringList{kDevice} + c.conf))) return;
  ControlJob fake;
  ASSERT_EQ(fake.prepare(c.job), 0) << fake.control->errorString().toStdString();
  const auto events = fake.acquire();
  ASSERT_EQ(events->postScans.size(), 1u);
  ASSERT_EQ(events->postScans[0].flag, 0) << events->postScans[0].errorString.toStdString();
  EXPECT_EQ(events->postScans[0].errorCode, 0) << events->postScans[0].errorString.toStdString();
  const QImage page = fake.control->bufferedImage(0);
  EXPECT_NEAR(page.width(), c.size.width(), 1);
  EXPECT_NEAR(page.height(), c.size.height(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    SaneConventions, AreaOnEveryBackend,
    ::testing::Values(
        AreaCase{"Millimetres", {}, {.dpi = 150, .layout = {0.5f, 0.5f, 1.5f, 2.5f}}, {150, 300}},
        // Pixels at the resolution in force, after it was set.
        AreaCase{"Pixels", {"unit pixel"}, {.dpi = 150, .layout = {0.5f, 0.5f, 1.5f, 2.5f}}, {150, 300}},
        AreaCase{"PixelsAtLowResolution", {"unit pixel"}, {.dpi = 30, .layout = {1, 1, 3, 2}}, {60, 30}},
        // A4 and Legal are longer than the 11 in the sheet-fed backend starts with.
        AreaCase{"SheetA4", {"page-size"}, {.dpi = 50, .pageSize = 1}, {415, 585}},
        AreaCase{"SheetLegalInPixels", {"page-size", "unit pixel"}, {.dpi = 50, .pageSize = 4}, {425, 700}}),
    [](const auto& info) { return std::string(info.param.name); });

// Duplex as a source entry of its own, or as the feeder with "adf-mode";
// a device with neither scans the fronts and says so.
struct DuplexCase {
  const char* name;
  QStringList conf;
  bool duplex;
  const char* start;  // the backend's log of the start: mode, source, adf-mode
  int code;           // of the job's last event
};
void PrintTo(const DuplexCase& c, std::ostream* os) { *os << c.name; }

class FeederSides : public ::testing::TestWithParam<DuplexCase> {};

TEST_P(FeederSides, ReachTheBackendOrAreReported) {
  const DuplexCase& c = GetParam();
  if (!child_process::inChild(fake_sane::childOptions(QStringList{kDevice} + c.conf))) return;
  ControlJob fake;
  const int prepared = fake.prepare({.feeder = true, .duplex = c.duplex});
  EXPECT_EQ(fake.control->feederPresent(), 1);
  EXPECT_TRUE(prepared == 0 || prepared == c.code) << fake.control->errorString().toStdString();
  const auto events = fake.acquire();
  ASSERT_EQ(events->postScans.size(), 1u);
  ASSERT_EQ(events->postScans[0].flag, 0) << events->postScans[0].errorString.toStdString();
  EXPECT_EQ(events->postScans[0].errorCode, c.code) << events->postScans[0].errorString.toStdString();
  if (c.code != 0) {
    EXPECT_TRUE(events->postScans[0].errorString.contains(QStringLiteral("both sides")));
  }
  const QStringList starts = fake_sane::logLines(QStringLiteral("start "));
  ASSERT_EQ(starts.size(), 1);
  EXPECT_TRUE(starts[0].startsWith(QLatin1String(c.start))) << starts[0].toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    SaneConventions, FeederSides,
    ::testing::Values(DuplexCase{"DuplexSource", {"sources Flatbed|ADF Front|ADF Duplex"}, true, "start Gray ADF Duplex -", 0},
                      DuplexCase{"AdfModeDuplex", {"sources Flatbed|ADF", "adf-mode"}, true, "start Gray ADF Duplex", 0},
                      DuplexCase{"AdfModeSimplex", {"sources Flatbed|ADF", "adf-mode"}, false, "start Gray ADF Simplex", 0},
                      DuplexCase{"NoDuplex", {"sources Flatbed|ADF"}, true, "start Gray ADF -",
                                 scanerror::kSettingUnsupported}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// A scanner that wants a user name and password: the program's answer is
// asked for on the UI thread while the open waits on the worker.
TEST(SaneConventions, PasswordIsAskedOnTheUiThreadAndReachesTheScanner) {
  if (!child_process::inChild(fake_sane::childOptions({kDevice, QStringLiteral("password alice s3cret")}))) return;
  struct Row {
    bool answered;
    int code;  // of opening
    const char* log;
  };
  for (const Row row : {Row{false, scanerror::kOpenFailed, "auth - denied"}, Row{true, 0, "auth alice granted"}}) {
    SCOPED_TRACE(row.answered);
    fake_sane::clearLog();
    QStringList asked;
    bool onUiThread = false;
    SaneDriver::setAuthorizer(qApp, [&](const QString& resource, QString* user, QString* password) {
      asked << resource;
      onUiThread = QThread::currentThread() == qApp->thread();
      if (!row.answered) return false;
      *user = QStringLiteral("alice");
      *password = QStringLiteral("s3cret");
      return true;
    });
    ControlJob job;
    EXPECT_EQ(job.prepare({}), row.code) << job.control->errorString().toStdString();
    EXPECT_EQ(asked, QStringList{QStringLiteral("fake:a")});
    EXPECT_TRUE(onUiThread);
    EXPECT_EQ(fake_sane::logLines(QStringLiteral("auth")), QStringList{QString::fromLatin1(row.log)});
    if (row.code == 0) {
      const auto events = job.acquire();
      EXPECT_EQ(events->postScans.back().flag, 0);
    }
  }
  SaneDriver::setAuthorizer(nullptr, {});
}

}  // namespace
