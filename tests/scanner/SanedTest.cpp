// The control over SANE's net backend, with saned sharing SANE's test
// backend on the loopback address: a scanner shared over the network lists,
// scans in every mode (each mode change rebuilds the options there), cancels
// in the middle of a page, and survives its server dying mid-page.

#include "ControlJob.h"
#include "EventRecorder.h"
#include "support/Saned.h"
#include "support/TestSupport.h"
#include "scanner/SaneDriver.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

namespace {

using testing_support::waitUntil;

// Slow pages: the test backend waits 0.2 s before each 64 kB it hands on.
const QStringList kSlowPages{QStringLiteral("read-delay true"), QStringLiteral("read-delay-duration 200000")};
// Two inches square in colour at 300 dpi: 1 MB, some 3.5 s.
const Job kSlowJob{.pixelType = 2, .dpi = 300, .layout = {0, 0, 2, 2}};

TEST(Saned, NetworkScannerListsAndScansInEveryMode) {
  if (!saned::available()) GTEST_SKIP() << saned::whyUnavailable().toStdString();
  if (!child_process::inChild(saned::childOptions())) return;
  saned::Server server;
  ASSERT_TRUE(server.start()) << server.log().toStdString();

  ControlJob job;
  ASSERT_NE(job.control->StartDevice(), 0);
  ASSERT_EQ(job.control->sourceCount(), 2);
  // Two devices of one model: each shows the network name that tells it apart.
  EXPECT_EQ(job.control->GetSourceProductName(0), QStringLiteral("Noname frontend-tester (net:127.0.0.1:test:0)"));
  struct Row {
    int pixelType;
    QImage::Format format;
  };
  for (const Row row : {Row{2, QImage::Format_RGB888}, Row{0, QImage::Format_Mono}, Row{1, QImage::Format_Grayscale8}}) {
    SCOPED_TRACE(row.pixelType);
    ASSERT_EQ(job.prepare({.pixelType = row.pixelType, .dpi = 60, .layout = {0, 0, 1, 2}}), 0)
        << job.control->errorString().toStdString();
    const auto events = job.acquire(std::chrono::seconds(30));
    ASSERT_EQ(events->postScans.size(), 1u);
    ASSERT_EQ(events->postScans[0].flag, 0) << events->postScans[0].errorString.toStdString();
    const QImage page = job.control->bufferedImage(0);
    EXPECT_EQ(page.format(), row.format);
    // The resolution and the area reached the scanner after the mode: one
    // inch by two at 60 dpi (the test backend moves edges in whole mm).
    EXPECT_NEAR(page.width(), 60, 3);
    EXPECT_NEAR(page.height(), 120, 3);
  }
}

TEST(Saned, CancelStopsTheNetworkPageAndTheNextJobWorks) {
  if (!saned::available()) GTEST_SKIP() << saned::whyUnavailable().toStdString();
  if (!child_process::inChild(saned::childOptions())) return;
  saned::Server server(kSlowPages);
  ASSERT_TRUE(server.start()) << server.log().toStdString();

  ControlJob job;
  ASSERT_EQ(job.prepare(kSlowJob), 0) << job.control->errorString().toStdString();
  {
    EventRecorder events(*job.control);
    events.onProgress = [](const ProgressEvent& p, int* interrupt) {
      if (p.percent > 0) *interrupt = 1;
    };
    job.control->Acquire();
    ASSERT_TRUE(waitUntil([&] { return events.ended(); }));
    ASSERT_EQ(events.postScans.size(), 1u);
    EXPECT_NE(events.postScans[0].flag, 0);
    EXPECT_EQ(events.postScans[0].errorCode, 0) << events.postScans[0].errorString.toStdString();
    // Stopped in the page, not after it.
    EXPECT_LT(events.progress.back().percent, 50);
  }
  ASSERT_EQ(job.prepare({.pixelType = 1, .dpi = 50}), 0) << job.control->errorString().toStdString();
  const auto events = job.acquire(std::chrono::seconds(30));
  ASSERT_EQ(events->postScans.size(), 1u);
  EXPECT_EQ(events->postScans[0].flag, 0) << events->postScans[0].errorString.toStdString();
}

TEST(Saned, ServerDyingMidPageEndsTheJobAndTheNextSessionWorks) {
  if (!saned::available()) GTEST_SKIP() << saned::whyUnavailable().toStdString();
  if (!child_process::inChild(saned::childOptions())) return;
  SaneDriver::setStallTimeout(std::chrono::seconds(3));
  ControlJob job;
  {
    saned::Server server(kSlowPages);
    ASSERT_TRUE(server.start()) << server.log().toStdString();
    ASSERT_EQ(job.prepare(kSlowJob), 0)
        << job.control->errorString().toStdString();
    EventRecorder events(*job.control);
    job.control->Acquire();
    ASSERT_TRUE(waitUntil([&] { return !events.progress.empty() && events.progress.back().percent > 0; }));
    server.killAll();
    ASSERT_TRUE(waitUntil([&] { return events.ended(); }));
    ASSERT_EQ(events.postScans.size(), 1u);
    EXPECT_NE(events.postScans[0].flag, 0);
    EXPECT_NE(events.postScans[0].errorCode, 0);
    EXPECT_FALSE(events.postScans[0].errorString.isEmpty());
    // No StopDevice, as after a failed preview: the next start must not ask
    // the broken session anything.
  }
  // A fresh server; the next job lists, opens and scans on a new session.
  saned::Server server;
  ASSERT_TRUE(server.start()) << server.log().toStdString();
  ASSERT_EQ(job.prepare({.pixelType = 1, .dpi = 50}), 0) << job.control->errorString().toStdString();
  const auto events = job.acquire(std::chrono::seconds(30));
  ASSERT_EQ(events->postScans.size(), 1u);
  EXPECT_EQ(events->postScans[0].flag, 0) << events->postScans[0].errorString.toStdString();
}

}  // namespace

namespace {

// A saned that wants a user name and password for its test backend: the
// program's answer, asked for on the UI thread, reaches saned through the
// net backend; a declined question leaves the scanner closed.
TEST(Saned, PasswordOfTheServerIsAskedAndReachesIt) {
  if (!saned::available()) GTEST_SKIP() << saned::whyUnavailable().toStdString();
  if (!child_process::inChild(saned::childOptions())) return;
  saned::Server server({}, {QStringLiteral("alice:s3cret:test")});
  ASSERT_TRUE(server.start()) << server.log().toStdString();
  struct Row {
    const char* password;  // nullptr: the user declines
    bool opens;
  };
  for (const Row row : {Row{nullptr, false}, Row{"wrong", false}, Row{"s3cret", true}}) {
    SCOPED_TRACE(row.password ? row.password : "declined");
    QStringList asked;
    bool onUiThread = false;
    SaneDriver::setAuthorizer(qApp, [&](const QString& resource, QString* user, QString* password) {
      asked << resource;
      onUiThread = QThread::currentThread() == qApp->thread();
      if (!row.password) return false;
      *user = QStringLiteral("alice");
      *password = QString::fromLatin1(row.password);
      return true;
    });
    ControlJob job;
    const int opened = job.prepare({.pixelType = 1, .dpi = 50});
    EXPECT_EQ(opened == 0, row.opens) << job.control->errorString().toStdString();
    ASSERT_FALSE(asked.isEmpty());
    EXPECT_FALSE(asked[0].contains(QLatin1Char('$'))) << asked[0].toStdString();
    EXPECT_TRUE(onUiThread);
    if (row.opens) {
      const auto events = job.acquire(std::chrono::seconds(30));
      EXPECT_EQ(events->postScans.back().flag, 0) << events->postScans.back().errorString.toStdString();
    }
  }
  SaneDriver::setAuthorizer(nullptr, {});
}

}  // namespace
