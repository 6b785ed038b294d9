#pragma once

#include <QString>

#include <chrono>
#include <functional>

namespace testing_support {

// Runs the event loop until `condition` holds or `timeout` passes; returns
// whether it holds.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(20));

// A fresh, empty folder under the test run's private temporary area.
QString makeTempDir(const QString& hint = QStringLiteral("t"));

// The repository's SANE configuration whose dll.conf lists only "test".
QString saneConfigDir();

}  // namespace testing_support
