#include "platform/Clock.h"

namespace platform {
namespace {
std::function<QDateTime()>& source() {
  static std::function<QDateTime()> instance;
  return instance;
}
}  // namespace

QDateTime localNow() { return source() ? source()() : QDateTime::currentDateTime(); }
void ClockSeam::set(std::function<QDateTime()> s) { source() = std::move(s); }
void ClockSeam::reset() { source() = nullptr; }

}  // namespace platform
