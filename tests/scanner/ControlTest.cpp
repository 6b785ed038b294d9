// The control's behaviour, driven through the scripted driver.

#include "EventRecorder.h"
#include "support/TestSupport.h"
#include "scanner/ScriptedDriver.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace {

using testing_support::waitUntil;

QImage page(int width, QColor colour = Qt::white) {
  QImage image(width, 20, QImage::Format_RGB888);
  image.fill(colour);
  return image;
}

QList<QImage> pages(int count) {
  QList<QImage> out;
  for (int i = 0; i < count; ++i) out << page(10 + i);  // width tells the pages apart
  return out;
}

class ScriptedControl : public ::testing::Test {
 protected:
  void SetUp() override {
    auto owned = std::make_unique<ScriptedDriver>();
    script = owned.get();
    control = std::make_unique<TVintaSoftTwain>(std::move(owned));
  }

  void addFeederSource(int pageCount) {
    script->addSource({.vendor = QStringLiteral("Acme"), .model = QStringLiteral("Feeder"), .hasFeeder = true,
                       .pages = pages(pageCount)});
  }

  // The program's parameter steps of a feeder scan job.
  void startFeederJob(int index = 0) {
    control->setSourceIndex(index);
    control->StartDevice();
    control->setSourceIndex(index);
    control->OpenDataSource();
    control->setPixelType(2);
    control->setResolution(100);
    control->setPageSize(1);
    control->setFeederEnabled(1);
    control->setDuplexEnabled(0);
    control->setXferCount(-1);
    control->setAutoFeed(1);
  }

  void acquireAndWait(EventRecorder& events) {
    control->Acquire();
    ASSERT_TRUE(waitUntil([&] { return events.ended(); }));
    ASSERT_TRUE(waitUntil([&] { return !control->acquiring(); }));
    QCoreApplication::processEvents();
  }

  ScriptedDriver* script = nullptr;
  std::unique_ptr<TVintaSoftTwain> control;
};

TEST_F(ScriptedControl, SourcesAppearInOrderWithTheCurrentOneSelected) {
  for (const char* model : {"One", "Two", "Three"})
    script->addSource({.vendor = QStringLiteral("Acme"), .model = QString::fromLatin1(model)});
  script->setCurrentSource(1);
  EXPECT_NE(control->StartDevice(), 0);
  ASSERT_EQ(control->sourceCount(), 3);
  EXPECT_EQ(control->GetSourceProductName(0), QStringLiteral("Acme One"));
  EXPECT_EQ(control->GetSourceProductName(1), QStringLiteral("Acme Two"));
  EXPECT_EQ(control->GetSourceProductName(2), QStringLiteral("Acme Three"));
  EXPECT_EQ(control->sourceIndex(), 1);
}

TEST_F(ScriptedControl, FailedStartListsNothing) {
  script->addSource({});
  script->setStartResult(false);
  EXPECT_EQ(control->StartDevice(), 0);
  EXPECT_EQ(control->sourceCount(), 0);
  EXPECT_EQ(control->sourceIndex(), -1);
  EXPECT_NE(control->errorCode(), 0);
}

TEST_F(ScriptedControl, LogsEveryWriteAndCallButNoReads) {
  script->addSource({});
  control->setSourceIndex(0);
  control->StartDevice();
  control->OpenDataSource();
  control->setTransferMode(1);
  control->setShowUI(0);
  control->setPixelType(2);
  control->setResolution(300);
  (void)control->resolution();
  (void)control->errorCode();
  control->setPageSize(0);
  control->SetImageLayout(1, 2, 6, 7);
  control->SetImageLayout(0.5f, 1.25f, 3.3f, 4);
  control->setXferCount(-1);
  control->setSourceIndex(-1);
  float noise = 0;
  control->IsBlankImage(0, 0.01f, noise);
  control->SaveImage(0, QStringLiteral("/tmp/x.bmp"));
  control->StopDevice();
  EXPECT_EQ(script->log(),
            (QStringList{"sourceIndex=0", "StartDevice()", "OpenDataSource()", "transferMode=1", "showUI=0",
                         "pixelType=2", "resolution=300", "pageSize=0", "SetImageLayout(1,2,6,7)",
                         "SetImageLayout(0.5,1.25,3.3,4)", "xferCount=-1", "sourceIndex=-1", "IsBlankImage(0,0.01)",
                         "SaveImage(0,/tmp/x.bmp)", "StopDevice()"}));
}

TEST_F(ScriptedControl, ErrorsAndWarningsAfterTheParameterSteps) {
  struct Case {
    const char* name;
    const char* failingCall;
    int code;
    int expected;
  };
  const Case cases[] = {
      {"warning after open survives later writes", "OpenDataSource", scanerror::kSettingUnsupported,
       scanerror::kSettingUnsupported},
      {"warning after a write", "pixelType", scanerror::kAreaReducedToBed, scanerror::kAreaReducedToBed},
      {"failure is kept", "OpenDataSource", scanerror::kDeviceBusy, scanerror::kDeviceBusy},
      {"nothing injected", nullptr, 0, 0},
  };
  for (const Case& c : cases) {
    SetUp();
    script->addSource({.hasFeeder = true, .pages = pages(1)});
    if (c.failingCall) script->failAfter(QString::fromLatin1(c.failingCall), c.code, QStringLiteral("scripted"));
    startFeederJob();
    // A4 fits the default bed, so the page size adds no warning of its own.
    EXPECT_EQ(control->errorCode(), c.expected) << c.name;
  }
}

TEST_F(ScriptedControl, WarningNeverHidesAFailure) {
  script->addSource({});
  control->StartDevice();
  control->setSourceIndex(3);
  control->OpenDataSource();
  const int failure = control->errorCode();
  EXPECT_EQ(failure, scanerror::kNoSourceSelected);
  control->setPixelType(7);  // unsupported: a warning
  control->setPageSize(30);
  EXPECT_EQ(control->errorCode(), failure);
}

TEST_F(ScriptedControl, UnsupportedSettingsGiveWarning39AndLargeAreas45) {
  script->addSource({.bedWidthMm = 100, .bedHeightMm = 100});
  control->StartDevice();
  control->OpenDataSource();
  control->setFeederEnabled(1);  // no feeder
  EXPECT_EQ(control->errorCode(), scanerror::kSettingUnsupported);
  control->OpenDataSource();
  control->setPageSize(1);  // A4 on a 100 mm bed
  EXPECT_EQ(control->errorCode(), scanerror::kAreaReducedToBed);
  EXPECT_DOUBLE_EQ(script->area().right, 100);
  control->OpenDataSource();
  control->setPageSize(0);
  control->SetImageLayout(1, 1, 2, 2);
  EXPECT_EQ(control->errorCode(), 0);
  EXPECT_NEAR(script->area().left, 25.4, 1e-4);
  EXPECT_NEAR(script->area().bottom, 50.8, 1e-4);
}

TEST_F(ScriptedControl, ResolutionBecomesTheNearestSupported) {
  script->addSource({.resolutions = {100, 300, 600}});
  control->StartDevice();
  control->OpenDataSource();
  control->setResolution(250);
  EXPECT_EQ(control->resolution(), 300);
  control->setResolution(2400);
  EXPECT_EQ(control->resolution(), 600);
  EXPECT_EQ(control->errorCode(), 0);
}

TEST_F(ScriptedControl, OpeningAMissingOrUnpluggedSourceFails) {
  script->addSource({});
  script->addSource({});
  control->StartDevice();
  script->removeSource(1);  // unplugged after the list was made
  ASSERT_EQ(control->sourceCount(), 2);
  for (const auto& [index, code] :
       {std::pair{1, scanerror::kSourceNotAvailable}, {2, scanerror::kNoSourceSelected}, {-1, scanerror::kNoSourceSelected}}) {
    control->setSourceIndex(index);
    control->OpenDataSource();
    EXPECT_EQ(control->errorCode(), code) << index;
    EXPECT_EQ(control->feederPresent(), 0);
  }
}

QStringList shownNames(TVintaSoftTwain& control) {
  QStringList names;
  for (int i = 0; i < control.sourceCount(); ++i) names << control.GetSourceProductName(i);
  return names;
}

// A job's StartDevice keeps the list the user chose from: the driver would
// list the sources in another order by now, and the control must still open
// the one chosen, without listing again (that takes seconds with SANE).
TEST_F(ScriptedControl, LaterStartsKeepTheListAndOpenTheChosenSourceByName) {
  for (const char* model : {"One", "Two"}) script->addSource({.vendor = "Acme", .model = model});
  control->StartDevice();
  ASSERT_EQ(script->listingCount(), 1);
  script->removeSource(0);  // a listing now would give Two, Three
  script->addSource({.vendor = "Acme", .model = "Three"});
  for (int job = 0; job < 2; ++job) {  // the second after a StopDevice
    control->setSourceIndex(1);
    EXPECT_NE(control->StartDevice(), 0);
    control->setSourceIndex(1);
    control->OpenDataSource();
    EXPECT_EQ(control->errorCode(), 0) << control->errorString().toStdString();
    EXPECT_EQ(script->openSource(), QStringLiteral("Acme Two")) << job;
    control->StopDevice();
  }
  EXPECT_EQ(script->listingCount(), 1);
  EXPECT_EQ(shownNames(*control), (QStringList{"Acme One", "Acme Two"}));
}

// An empty list is kept as well: a job must not wait for the backends to
// probe again. Only after a failed start does StartDevice list again. A
// refresh finds the scanner plugged in since.
TEST_F(ScriptedControl, AnEmptyListingIsKeptUntilARefreshOrAFailedStart) {
  QSignalSpy refreshed(control.get(), &TVintaSoftTwain::SourcesRefreshed);
  EXPECT_NE(control->StartDevice(), 0);
  EXPECT_EQ(control->sourceCount(), 0);
  script->addSource({.vendor = "Acme", .model = "Late"});
  EXPECT_NE(control->StartDevice(), 0);
  EXPECT_EQ(control->sourceCount(), 0);
  EXPECT_EQ(script->listingCount(), 1);
  ASSERT_TRUE(control->RefreshSources());
  ASSERT_TRUE(waitUntil([&] { return refreshed.count() == 2; }));
  EXPECT_EQ(shownNames(*control), QStringList{"Acme Late"});
  EXPECT_EQ(control->sourceIndex(), 0) << "nothing was chosen: the driver's default";

  // A start that failed listed nothing; the next StartDevice lists.
  auto owned = std::make_unique<ScriptedDriver>();
  ScriptedDriver* failing = owned.get();
  TVintaSoftTwain other(std::move(owned));
  failing->addSource({.vendor = "Acme", .model = "Slow"});
  failing->setStartResult(false);
  EXPECT_EQ(other.StartDevice(), 0);
  failing->setStartResult(true);
  EXPECT_NE(other.StartDevice(), 0);
  EXPECT_EQ(shownNames(other), QStringList{"Acme Slow"});
}

TEST_F(ScriptedControl, RefreshKeepsTheChosenSourceByItsDeviceName) {
  for (const char* model : {"One", "Two", "Three"}) script->addSource({.vendor = "Acme", .model = model});
  control->StartDevice();
  control->setSourceIndex(2);
  control->OpenDataSource();
  ASSERT_TRUE(script->isOpen());
  QSignalSpy refreshed(control.get(), &TVintaSoftTwain::SourcesRefreshed);

  script->removeSource(0);
  script->addSource({.vendor = "Acme", .model = "Four"});
  ASSERT_TRUE(control->RefreshSources());
  EXPECT_FALSE(control->RefreshSources()) << "a second refresh while one runs";
  ASSERT_TRUE(waitUntil([&] { return refreshed.count() == 1; }));
  EXPECT_EQ(refreshed.at(0).at(0).toInt(), 1);
  EXPECT_FALSE(script->isOpen()) << "the open source is closed while the backends probe";
  EXPECT_EQ(shownNames(*control), (QStringList{"Acme Two", "Acme Three", "Acme Four"}));
  EXPECT_EQ(control->sourceIndex(), 1);

  // The chosen source unplugged: it stays listed and chosen, and opening it
  // fails without opening another one.
  script->removeSource(2);
  ASSERT_TRUE(control->RefreshSources());
  ASSERT_TRUE(waitUntil([&] { return refreshed.count() == 2; }));
  EXPECT_EQ(shownNames(*control), (QStringList{"Acme Two", "Acme Four", "Acme Three"}));
  EXPECT_EQ(control->sourceIndex(), 2);
  control->OpenDataSource();
  EXPECT_EQ(control->errorCode(), scanerror::kSourceNotAvailable);
  EXPECT_FALSE(script->isOpen());
  EXPECT_EQ(script->openCount(), 1);
}

TEST_F(ScriptedControl, NoRefreshUnderAnAcquisitionAndAJobWaitsForARunningOne) {
  addFeederSource(3);
  script->setPageDelay(std::chrono::milliseconds(150));
  startFeederJob();
  EventRecorder events(*control);
  control->Acquire();
  EXPECT_FALSE(control->RefreshSources());
  ASSERT_TRUE(waitUntil([&] { return events.ended(); }));
  EXPECT_EQ(events.postScans.size(), 3u);
  EXPECT_EQ(script->listingCount(), 1);

  // A job's steps wait for a refresh that runs, and take over its list.
  script->setListingDelay(std::chrono::milliseconds(300));
  script->addSource({.vendor = "Acme", .model = "Late"});
  ASSERT_TRUE(control->RefreshSources());
  startFeederJob();
  EXPECT_FALSE(control->refreshingSources());
  EXPECT_EQ(control->sourceCount(), 2);
  EXPECT_EQ(control->errorCode(), 0) << control->errorString().toStdString();
  EXPECT_EQ(script->openSource(), QStringLiteral("Acme Feeder"));
}

TEST_F(ScriptedControl, FeederBatchDeliversEveryPageAndEndsOnce) {
  addFeederSource(5);
  startFeederJob();
  EXPECT_EQ(control->feederPresent(), 1);
  EXPECT_EQ(control->feederLoaded(), 1);
  EventRecorder events(*control);
  acquireAndWait(events);
  ASSERT_EQ(events.postScans.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(events.postScans[i].imageCount, i + 1);
    EXPECT_EQ(events.postScans[i].width, 10 + i);
    EXPECT_EQ(events.postScans[i].xferPending, i < 4 ? 1 : 0);
    EXPECT_TRUE(events.postScans[i].onUiThread);
  }
  EXPECT_EQ(script->source(), ScanSource::Feeder);
  EXPECT_EQ(script->cancelCount(), 1);  // one cancel for the whole batch
}

TEST_F(ScriptedControl, OnlyTheNewestPageStaysBuffered) {
  addFeederSource(4);
  startFeederJob();
  EventRecorder events(*control);
  acquireAndWait(events);
  EXPECT_EQ(control->imageCount(), 4);
  EXPECT_EQ(control->GetImageWidth(3), 13);
  EXPECT_EQ(control->errorCode(), 0);
  EXPECT_EQ(control->GetImageWidth(0), 0);
  EXPECT_EQ(control->errorCode(), scanerror::kImageIndexOutOfRange);
  EXPECT_EQ(control->SaveImage(2, testing_support::makeTempDir() + QStringLiteral("/old.bmp")), 1);
}

TEST_F(ScriptedControl, WorkerStaysAboutOnePageAheadOfTheUi) {
  addFeederSource(20);
  startFeederJob();
  EventRecorder events(*control);
  int startedWhileHandlingFirst = -1;
  events.onPostScan = [&](const PostScanEvent& e) {
    if (e.imageCount != 1) return;
    QThread::msleep(150);  // the UI is busy with page 1
    startedWhileHandlingFirst = script->pagesStarted();
  };
  acquireAndWait(events);
  EXPECT_EQ(events.postScans.size(), 20u);
  // Page 1 in the UI, page 2 waiting, page 3 read, page 4 fed at most.
  EXPECT_GE(startedWhileHandlingFirst, 2);
  EXPECT_LE(startedWhileHandlingFirst, 4);
}

struct FailureCase {
  const char* name;
  bool onStart;
  int failingPage;
  int pagesDelivered;  // 0: a report without a page
};

class BatchFailures : public ScriptedControl, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(BatchFailures, LastDeliveredEventEndsTheJobWithTheError) {
  const FailureCase& c = GetParam();
  addFeederSource(5);
  if (c.onStart) script->failOnStart(c.failingPage, scanerror::kFeederJammed, QStringLiteral("Document feeder jammed"));
  else script->failOnPage(c.failingPage, scanerror::kFeederJammed, QStringLiteral("Document feeder jammed"));
  startFeederJob();
  EventRecorder events(*control);
  acquireAndWait(events);
  if (c.pagesDelivered == 0) {
    ASSERT_EQ(events.postScans.size(), 1u);
    EXPECT_NE(events.postScans[0].flag, 0);
  } else {
    ASSERT_EQ(events.postScans.size(), static_cast<size_t>(c.pagesDelivered));
    EXPECT_EQ(events.postScans.back().flag, 0);
    EXPECT_EQ(events.postScans.back().xferPending, 0);
    for (size_t i = 0; i + 1 < events.postScans.size(); ++i) {
      EXPECT_EQ(events.postScans[i].xferPending, 1);
      EXPECT_EQ(events.postScans[i].errorCode, 0);
    }
  }
  EXPECT_EQ(events.postScans.back().errorCode, scanerror::kFeederJammed);
  EXPECT_EQ(events.postScans.back().errorString, QStringLiteral("Document feeder jammed"));
  EXPECT_EQ(control->errorCode(), scanerror::kFeederJammed);
}

INSTANTIATE_TEST_SUITE_P(Pages, BatchFailures,
                         ::testing::Values(FailureCase{"read of first page", false, 0, 0},
                                           FailureCase{"read of third page", false, 2, 2},
                                           FailureCase{"read of last page", false, 4, 4},
                                           FailureCase{"start of first page", true, 0, 0},
                                           FailureCase{"start of fourth page", true, 3, 3}),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& ch : name)
                             if (ch == ' ') ch = '_';
                           return name;
                         });

TEST_F(ScriptedControl, EmptyFeederBeforeTheFirstPageIsAnError) {
  script->addSource({.hasFeeder = true, .feederLoaded = false, .pages = pages(3)});
  startFeederJob();
  EXPECT_EQ(control->feederLoaded(), 0);
  EventRecorder events(*control);
  acquireAndWait(events);
  ASSERT_EQ(events.postScans.size(), 1u);
  EXPECT_NE(events.postScans[0].flag, 0);
  EXPECT_EQ(events.postScans[0].errorCode, scanerror::kFeederEmpty);
}

TEST_F(ScriptedControl, InterruptStopsTheBatchAfterThePageInTransfer) {
  addFeederSource(10);
  startFeederJob();
  EventRecorder events(*control);
  int interruptsSent = 0;
  events.onProgress = [&](const ProgressEvent& p, int* interrupt) {
    if (events.postScans.size() >= 1 && p.canInterrupt == 1 && interruptsSent == 0) {
      *interrupt = 1;
      ++interruptsSent;
    }
  };
  acquireAndWait(events);
  ASSERT_EQ(interruptsSent, 1);
  ASSERT_GE(events.postScans.size(), 2u);
  EXPECT_LT(events.postScans.size(), 10u);
  EXPECT_EQ(events.postScans.back().flag, 0);
  EXPECT_EQ(events.postScans.back().xferPending, 0);
  EXPECT_EQ(events.postScans.back().errorCode, 0);
  EXPECT_EQ(script->cancelCount(), 1);
}

TEST_F(ScriptedControl, StoppingMidBatchDropsTheRestOfItsEvents) {
  addFeederSource(10);
  script->setPageDelay(std::chrono::milliseconds(20));
  startFeederJob();
  EventRecorder events(*control);
  control->Acquire();
  ASSERT_TRUE(waitUntil([&] { return events.postScans.size() >= 1; }));
  control->StopDevice();
  const size_t seen = events.postScans.size();
  const size_t progressSeen = events.progress.size();
  waitUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_EQ(events.postScans.size(), seen);
  EXPECT_EQ(events.progress.size(), progressSeen);
  EXPECT_FALSE(control->acquiring());
  EXPECT_FALSE(script->isOpen());
}

TEST_F(ScriptedControl, DestroyingMidBatchJoinsTheWorker) {
  addFeederSource(50);
  script->setPageDelay(std::chrono::milliseconds(20));
  startFeederJob();
  EventRecorder events(*control);
  control->Acquire();
  ASSERT_TRUE(waitUntil([&] { return events.postScans.size() >= 1; }));
  const auto before = std::chrono::steady_clock::now();
  control.reset();  // the driver goes with it
  script = nullptr;
  QCoreApplication::processEvents();
  // 49 more pages would take a second; stopping must not wait for them.
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
}

TEST_F(ScriptedControl, ReopeningTheSourceStartsFromTheFlatbed) {
  addFeederSource(3);
  startFeederJob();
  EventRecorder events(*control);
  acquireAndWait(events);
  ASSERT_EQ(events.postScans.size(), 3u);
  // The next job leaves the feeder alone: it scans one page from the flatbed.
  control->StartDevice();
  control->OpenDataSource();
  control->setPixelType(1);
  control->setResolution(100);
  EventRecorder flatbed(*control);
  acquireAndWait(flatbed);
  ASSERT_EQ(flatbed.postScans.size(), 1u);
  EXPECT_EQ(flatbed.postScans[0].xferPending, 0);
  EXPECT_EQ(script->source(), ScanSource::Flatbed);
}

TEST_F(ScriptedControl, FlatbedWithoutScriptedPagesScansTheAreaAtTheResolution) {
  script->addSource({});
  control->StartDevice();
  control->OpenDataSource();
  control->setUnitOfMeasure(0);
  control->setPixelType(0);
  control->setResolution(100);
  control->setPageSize(0);
  control->SetImageLayout(1, 1, 3, 2);
  EventRecorder events(*control);
  acquireAndWait(events);
  ASSERT_EQ(events.postScans.size(), 1u);
  EXPECT_EQ(events.postScans[0].width, 200);
  EXPECT_EQ(events.postScans[0].height, 100);
  EXPECT_EQ(control->bufferedImage(0).format(), QImage::Format_Mono);
}

TEST_F(ScriptedControl, SaveImageByExtensionAndBlankTest) {
  script->addSource({.pages = {page(30)}});
  control->StartDevice();
  control->OpenDataSource();
  EventRecorder events(*control);
  acquireAndWait(events);
  const QString dir = testing_support::makeTempDir();

  for (const char* name : {"a.bmp", "b.JPG", "c.jpeg", "d.tif", "e.TIFF"}) {
    const QString path = dir + QLatin1Char('/') + QLatin1String(name);
    EXPECT_EQ(control->SaveImage(0, path), 0) << name << " " << control->errorString().toStdString();
    EXPECT_TRUE(QFileInfo::exists(path)) << name;
  }
  EXPECT_EQ(control->errorCode(), 0);

  EXPECT_NE(control->SaveImage(0, dir + QStringLiteral("/f.png")), 0);
  EXPECT_EQ(control->errorCode(), scanerror::kUnknownFileFormat);
  EXPECT_TRUE(control->errorString().contains(QStringLiteral("f.png")));

  const QString unwritable = dir + QStringLiteral("/missing/folder/g.bmp");
  EXPECT_NE(control->SaveImage(0, unwritable), 0);
  EXPECT_EQ(control->errorCode(), scanerror::kFileWriteFailed);
  EXPECT_TRUE(control->errorString().contains(unwritable)) << control->errorString().toStdString();

  float noise = -1;
  EXPECT_EQ(control->IsBlankImage(0, 0.01f, noise), 1);
  EXPECT_LE(noise, 0.01f);
}

TEST_F(ScriptedControl, BlankTestSeesAMarkedPage) {
  QImage marked = page(100);
  for (int y = 5; y < 15; ++y)
    for (int x = 10; x < 90; ++x) marked.setPixel(x, y, qRgb(0, 0, 0));
  script->addSource({.pages = {marked}});
  control->StartDevice();
  control->OpenDataSource();
  EventRecorder events(*control);
  acquireAndWait(events);
  float noise = 0;
  EXPECT_EQ(control->IsBlankImage(0, 0.01f, noise), 0);
  EXPECT_GT(noise, 0.01f);
}

}  // namespace
