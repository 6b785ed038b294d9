#pragma once

#include <QString>

#include <stdexcept>

namespace platform {

// An error raised inside a handler; its text is what the user sees.
class Error : public std::runtime_error {
 public:
  explicit Error(const QString& text) : std::runtime_error(text.toStdString()) {}
  QString text() const { return QString::fromUtf8(what()); }
};

}  // namespace platform
