#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QThread>
#include <QUuid>

namespace testing_support {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  QDeadlineTimer deadline(timeout);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::sendPostedEvents();
    if (!condition()) QThread::msleep(1);
  }
  return true;
}

QString makeTempDir(const QString& hint) {
  const QString root = qEnvironmentVariable("BREVALTO_TEST_ROOT", QDir::tempPath());
  const QString path = root + QStringLiteral("/") + hint + QStringLiteral("-") +
                       QUuid::createUuid().toString(QUuid::WithoutBraces).left(8);
  QDir().mkpath(path);
  return path;
}

QString saneConfigDir() { return QStringLiteral(BREVALTO_SANE_CONFIG_DIR); }

}  // namespace testing_support
