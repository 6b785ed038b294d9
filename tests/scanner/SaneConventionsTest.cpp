// The control over libsane, against the programmable backend in
// tests/fakesane: the conventions of SANE backends beyond SANE's own test
// backend (option lists that change, duplex switches, page sizes, geometry
// in pixels, passwords, stalled pages, statuses). Each case runs in a child
// process with a SANE configuration of its own.

#include "EventRecorder.h"
#include "support/FakeSane.h"
#include "support/TestSupport.h"
#include "scanner/SaneDriver.h"
#include "scanner/SaneDriverFactory.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

using testing_support::waitUntil;

const QString kDevice = QStringLiteral("device fake:a|Acme|Sheetmaster");

// The program's parameter steps for a scan, as the main window runs them.
struct Job {
  int pixelType = 1;
  int dpi = 100;
  int pageSize = 0;  // 0: the layout below, in inches
  float layout[4] = {0, 0, 1, 1};
  bool feeder = false;
  bool duplex = false;
};

class FakeSaneControl {
 public:
  FakeSaneControl() : control(std::make_unique<TVintaSoftTwain>(makeSaneDriver())) {}

  // Opens the first device and sets the job's values; the control's error
  // afterwards, as the job would read it.
  int prepare(const Job& job) {
    control->setSourceIndex(0);
    if (control->StartDevice() == 0) return -1;
    control->setSourceIndex(0);
    control->OpenDataSource();
    if (control->errorCode() != 0) return control->errorCode();
    control->setShowUI(0);
    control->setUnitOfMeasure(0);
    control->setPixelType(job.pixelType);
    control->setResolution(job.dpi);
    control->setPageSize(job.pageSize);
    if (job.pageSize == 0) control->SetImageLayout(job.layout[0], job.layout[1], job.layout[2], job.layout[3]);
    if (job.feeder) {
      control->setFeederEnabled(1);
      control->setDuplexEnabled(job.duplex ? 1 : 0);
      control->setXferCount(1);
    }
    return control->errorCode();
  }

  // Acquires and waits for the end; the events of it.
  std::unique_ptr<EventRecorder> acquire(std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    auto events = std::make_unique<EventRecorder>(*control);
    control->Acquire();
    const bool ended = waitUntil([&] { return events->ended(); }, timeout);
    EXPECT_TRUE(ended) << "the acquisition did not end";
    QCoreApplication::processEvents();
    return events;
  }

  std::unique_ptr<TVintaSoftTwain> control;
};

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
    FakeSaneControl fake;
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
