// The control over libsane, against SANE's "test" backend (two virtual
// devices, a 200 x 200 mm bed, a feeder that empties after 10 sheets).

#include "EventRecorder.h"
#include "support/ForcedReadStatusDriver.h"
#include "support/TestSupport.h"
#include "scanner/SaneDriver.h"
#include "scanner/SaneDriverFactory.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <memory>

namespace {

using testing_support::waitUntil;

class SaneControl : public ::testing::Test {
 protected:
  void SetUp() override { control = std::make_unique<TVintaSoftTwain>(makeSaneDriver()); }

  SaneDriver* sane() { return static_cast<SaneDriver*>(control->driver()); }

  // The program's own parameter steps for a small, quick scan.
  void openTestDevice(int pixelType = 2, int dpi = 50) {
    control->setSourceIndex(0);
    ASSERT_NE(control->StartDevice(), 0);
    control->setSourceIndex(0);
    control->OpenDataSource();
    ASSERT_EQ(control->errorCode(), 0) << control->errorString().toStdString();
    control->setShowUI(0);
    control->setUnitOfMeasure(0);
    control->setPixelType(pixelType);
    control->setResolution(dpi);
    control->setPageSize(0);
    control->SetImageLayout(0, 0, 1, 1);
    ASSERT_EQ(control->errorCode(), 0) << control->errorString().toStdString();
  }

  std::unique_ptr<TVintaSoftTwain> control;
};

// Vendor and model, and, as the two test devices share them, their device
// names to tell them apart.
TEST_F(SaneControl, ListsBothTestDevicesByVendorModelAndDeviceName) {
  EXPECT_NE(control->StartDevice(), 0);
  ASSERT_EQ(control->sourceCount(), 2);
  EXPECT_EQ(control->GetSourceProductName(0), QStringLiteral("Noname frontend-tester (test:0)"));
  EXPECT_EQ(control->GetSourceProductName(1), QStringLiteral("Noname frontend-tester (test:1)"));
  EXPECT_EQ(control->sourceDeviceName(1), QStringLiteral("test:1"));
  EXPECT_EQ(control->sourceIndex(), 0);
}

TEST_F(SaneControl, ColourPageArrivesOnceWithProgressOnTheUiThread) {
  openTestDevice(2, 100);
  EventRecorder events(*control);
  control->Acquire();
  ASSERT_TRUE(waitUntil([&] { return events.ended(); }));
  QCoreApplication::processEvents();

  ASSERT_EQ(events.postScans.size(), 1u);
  const PostScanEvent& page = events.postScans[0];
  EXPECT_EQ(page.flag, 0);
  EXPECT_EQ(page.xferPending, 0);
  EXPECT_EQ(page.errorCode, 0) << page.errorString.toStdString();
  EXPECT_EQ(page.imageCount, 1);
  EXPECT_TRUE(page.onUiThread);
  // One inch at 100 dpi; the test backend moves its edges in whole millimetres.
  EXPECT_NEAR(page.width, 100, 3);
  EXPECT_NEAR(page.height, 100, 3);
  ASSERT_FALSE(events.progress.empty());
  for (const ProgressEvent& p : events.progress) {
    EXPECT_EQ(p.action, 4);
    EXPECT_EQ(p.canInterrupt, 1);
    EXPECT_TRUE(p.onUiThread);
  }
  EXPECT_EQ(events.progress.back().percent, 100);
  EXPECT_FALSE(control->acquiring());
}

TEST_F(SaneControl, EachPixelTypeGivesItsImageFormat) {
  for (const auto& [pixelType, format] :
       {std::pair{0, QImage::Format_Mono}, {1, QImage::Format_Grayscale8}, {2, QImage::Format_RGB888}}) {
    openTestDevice(pixelType, 50);
    EventRecorder events(*control);
    control->Acquire();
    ASSERT_TRUE(waitUntil([&] { return events.ended(); }));
    ASSERT_EQ(events.postScans.back().flag, 0) << events.postScans.back().errorString.toStdString();
    const QImage page = control->bufferedImage(control->imageCount() - 1);
    EXPECT_EQ(page.format(), format) << pixelType;
    EXPECT_EQ(page.dotsPerMeterX(), qRound(50 / 0.0254)) << pixelType;
    // The test backend's default picture is solid black.
    EXPECT_EQ(page.pixel(page.width() / 2, page.height() / 2), qRgb(0, 0, 0)) << pixelType;
  }
}

TEST_F(SaneControl, FeederBatchOfTenEndsWithXferPendingZero) {
  openTestDevice(1, 25);
  EXPECT_EQ(control->feederPresent(), 1);
  control->setFeederEnabled(1);
  control->setDuplexEnabled(0);
  EXPECT_EQ(control->feederLoaded(), 1);  // the test backend has no sensor
  control->setXferCount(-1);
  control->setAutoFeed(1);
  EventRecorder events(*control);
  control->Acquire();
  ASSERT_TRUE(waitUntil([&] { return events.ended(); }));
  ASSERT_TRUE(waitUntil([&] { return !control->acquiring(); }));
  QCoreApplication::processEvents();

  ASSERT_EQ(events.postScans.size(), 10u);
  for (size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(events.postScans[i].flag, 0);
    EXPECT_EQ(events.postScans[i].imageCount, static_cast<int>(i) + 1);
    EXPECT_EQ(events.postScans[i].xferPending, i < 9 ? 1 : 0);
    EXPECT_EQ(events.postScans[i].errorCode, 0);
  }
}

TEST_F(SaneControl, JammedReadGivesAnErrorReportWithItsText) {
  // A 50 dpi colour inch, 7.5 kB: it fits into the backend's pipe.
  control = std::make_unique<TVintaSoftTwain>(std::make_unique<testing_support::ForcedReadStatusDriver>());
  openTestDevice();
  ASSERT_TRUE(sane()->setExtraOption(QStringLiteral("read-return-value"), QStringLiteral("SANE_STATUS_JAMMED")));
  EventRecorder events(*control);
  control->Acquire();
  ASSERT_TRUE(waitUntil([&] { return events.ended(); }));
  ASSERT_EQ(events.postScans.size(), 1u);
  EXPECT_NE(events.postScans[0].flag, 0);
  EXPECT_EQ(events.postScans[0].errorCode, scanerror::kFeederJammed);
  EXPECT_EQ(events.postScans[0].errorString, QStringLiteral("Document feeder jammed"));
}

TEST_F(SaneControl, ResolutionReadsBackTheValueInForce) {
  openTestDevice();
  control->setResolution(5000);
  EXPECT_EQ(control->resolution(), 1200);
  EXPECT_EQ(control->errorCode(), 0);  // an adjusted value is no error
  control->setResolution(150);
  EXPECT_EQ(control->resolution(), 150);
}

TEST_F(SaneControl, PageLargerThanTheBedIsReducedWithWarning45) {
  openTestDevice();
  control->setPageSize(3);  // US Letter is 279 mm long; the bed is 200 mm
  EXPECT_EQ(control->errorCode(), scanerror::kAreaReducedToBed);
  EXPECT_FALSE(control->errorString().isEmpty());
}

TEST_F(SaneControl, MissingDeviceIndexFailsWithoutHanging) {
  ASSERT_NE(control->StartDevice(), 0);
  for (int index : {-1, 2, 5}) {
    control->setSourceIndex(index);
    control->OpenDataSource();
    EXPECT_NE(control->errorCode(), 0) << index;
    EXPECT_EQ(control->feederPresent(), 0);
  }
  // Acquire without an open source reports through the event.
  EventRecorder events(*control);
  control->Acquire();
  ASSERT_TRUE(waitUntil([&] { return events.ended(); }));
  EXPECT_NE(events.postScans[0].flag, 0);
  EXPECT_EQ(events.postScans[0].errorCode, scanerror::kSourceNotOpen);
}

TEST_F(SaneControl, DestroyingTheControlMidBatchStopsCleanly) {
  openTestDevice(1, 25);
  ASSERT_TRUE(sane()->setExtraOption(QStringLiteral("read-delay"), QStringLiteral("yes")));
  ASSERT_TRUE(sane()->setExtraOption(QStringLiteral("read-delay-duration"), QStringLiteral("50000")));
  ASSERT_TRUE(sane()->setExtraOption(QStringLiteral("read-limit"), QStringLiteral("yes")));
  ASSERT_TRUE(sane()->setExtraOption(QStringLiteral("read-limit-size"), QStringLiteral("64")));
  control->setFeederEnabled(1);
  EventRecorder events(*control);
  control->Acquire();
  ASSERT_TRUE(waitUntil([&] { return !events.progress.empty(); }));
  control.reset();  // must join the worker without waiting for the batch
  SUCCEED();
}

// sane_init reads its configuration folder once per process, so the case
// without any backend runs in a child process of this test program.
TEST(SaneWithoutBackend, ListsNoSourcesAndDoesNotCrash) {
  const QByteArray childFlag = "BREVALTO_SANE_EMPTY_CHILD";
  if (qEnvironmentVariableIsSet(childFlag)) {
    qputenv("SANE_CONFIG_DIR", qgetenv(childFlag));
    TVintaSoftTwain control(makeSaneDriver());
    control.StartDevice();
    EXPECT_EQ(control.sourceCount(), 0);
    control.setSourceIndex(-1);
    control.OpenDataSource();
    EXPECT_NE(control.errorCode(), 0);
    EXPECT_FALSE(control.errorString().isEmpty());
    return;
  }
  const QString dir = testing_support::makeTempDir(QStringLiteral("nosane"));
  QFile conf(dir + QStringLiteral("/dll.conf"));
  ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
  conf.close();
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QString::fromLatin1(childFlag), dir);
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=SaneWithoutBackend.ListsNoSourcesAndDoesNotCrash")});
  ASSERT_TRUE(child.waitForFinished(30000));
  const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
}

}  // namespace
