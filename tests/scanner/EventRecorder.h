#pragma once

// Records the control's events with the state the control shows while each
// handler runs.

#include "scanner/VSTWAINLib_OCX.h"

#include <QCoreApplication>
#include <QThread>

#include <functional>
#include <vector>

struct PostScanEvent {
  int flag;
  int imageCount;
  int xferPending;
  int errorCode;
  QString errorString;
  long width;
  long height;
  QImage::Format format;
  bool onUiThread;
};

struct ProgressEvent {
  int action;
  int percent;
  int canInterrupt;
  bool onUiThread;
};

class EventRecorder {
 public:
  explicit EventRecorder(TVintaSoftTwain& control) : control_(control) {
    QObject::connect(&control, &TVintaSoftTwain::OnPostScan, &context_, [this](int flag) {
      const int index = control_.imageCount() - 1;
      PostScanEvent e{flag, control_.imageCount(), control_.xferPending(), control_.errorCode(), control_.errorString(),
                      0, 0, QImage::Format_Invalid, QThread::currentThread() == qApp->thread()};
      if (flag == 0) {
        e.width = control_.GetImageWidth(index);
        e.height = control_.GetImageHeight(index);
      }
      postScans.push_back(e);
      if (onPostScan) onPostScan(e);
    });
    QObject::connect(&control, &TVintaSoftTwain::OnProgress, &context_,
                     [this](int action, int percent, int canInterrupt, int* interrupt) {
      progress.push_back({action, percent, canInterrupt, QThread::currentThread() == qApp->thread()});
      if (onProgress) onProgress(progress.back(), interrupt);
    });
  }

  // The acquisition is over from the program's point of view.
  bool ended() const {
    return !postScans.empty() && (postScans.back().flag != 0 || postScans.back().xferPending == 0);
  }

  std::vector<PostScanEvent> postScans;
  std::vector<ProgressEvent> progress;
  std::function<void(const PostScanEvent&)> onPostScan;
  std::function<void(const ProgressEvent&, int* interrupt)> onProgress;

 private:
  TVintaSoftTwain& control_;
  // Its connections end with the recorder, so a control that outlives it
  // never calls into a recorder that is gone.
  QObject context_;
};
