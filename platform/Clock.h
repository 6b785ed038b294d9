#pragma once

#include <QDateTime>

#include <functional>

namespace platform {

// The local date and time. Tests replace the source to name pages at chosen
// moments.
QDateTime localNow();

class ClockSeam {
 public:
  static void set(std::function<QDateTime()> source);
  static void reset();
};

}  // namespace platform
