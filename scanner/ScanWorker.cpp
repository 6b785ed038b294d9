#include "scanner/ScanWorker.h"

ScanWorker::ScanWorker() : thread_([this] { run(); }) {}

ScanWorker::~ScanWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void ScanWorker::post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_all();
}

void ScanWorker::runSync(std::function<void()> task) {
  std::mutex doneMutex;
  std::condition_variable doneWake;
  bool done = false;
  post([&] {
    task();
    std::lock_guard lock(doneMutex);
    done = true;
    doneWake.notify_all();
  });
  std::unique_lock lock(doneMutex);
  doneWake.wait(lock, [&] { return done; });
}

void ScanWorker::run() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}
