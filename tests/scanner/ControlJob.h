#pragma once

// The scanner control over the program's SANE driver, driven through the
// parameter steps a scan job runs, for tests against particular backends.

#include "EventRecorder.h"
#include "support/TestSupport.h"
#include "scanner/SaneDriverFactory.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

// The program's parameter steps for a scan, as the main window runs them.
struct Job {
  int pixelType = 1;
  int dpi = 100;
  int pageSize = 0;  // 0: the layout below, in inches
  float layout[4] = {0, 0, 1, 1};
  bool feeder = false;
  bool duplex = false;
};

class ControlJob {
 public:
  ControlJob() : control(std::make_unique<TVintaSoftTwain>(makeSaneDriver())) {}

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
    const bool ended = testing_support::waitUntil([&] { return events->ended(); }, timeout);
    EXPECT_TRUE(ended) << "the acquisition did not end";
    QCoreApplication::processEvents();
    return events;
  }

  std::unique_ptr<TVintaSoftTwain> control;
};

