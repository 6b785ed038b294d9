#pragma once

// The scanner control's one worker thread: runs tasks in the order they were
// posted. Blocking device work (open, start, read) happens here so that the
// UI thread only waits where the control's callers expect an answer at once.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class ScanWorker {
 public:
  ScanWorker();
  // Runs the tasks already posted, then joins.
  ~ScanWorker();

  ScanWorker(const ScanWorker&) = delete;
  ScanWorker& operator=(const ScanWorker&) = delete;

  void post(std::function<void()> task);
  // Posts the task and waits until it has run.
  void runSync(std::function<void()> task);

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::thread thread_;
};
