#pragma once

#include <QString>

#include <exception>
#include <utility>

class QWidget;

namespace platform {

// The program's standard error display: the error's text in a message box
// owned by `owner`, after which the program goes on.
void showError(QWidget* owner, const QString& text);

// Runs a handler so that no exception can leave it: whatever it throws is
// shown by showError and swallowed. Every slot of every window goes through
// this, because nothing may unwind through Qt's event loop.
template <typename Handler>
void guarded(QWidget* owner, Handler&& handler) noexcept {
  try {
    std::forward<Handler>(handler)();
  } catch (const std::exception& error) {
    showError(owner, QString::fromUtf8(error.what()));
  } catch (...) {
    showError(owner, QString());
  }
}

}  // namespace platform
