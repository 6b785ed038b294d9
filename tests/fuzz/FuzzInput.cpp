#include "FuzzInput.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <unistd.h>

namespace fuzz_input {

QString scratchDir() {
  static const QString dir = [] {
    const QString path = QDir::tempPath() + QStringLiteral("/brevalto-fuzz-") + QString::number(getpid());
    QDir().mkpath(path);
    // Settings go here too, never into the user's own store.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(path + QStringLiteral("/config")));
    return path;
  }();
  return dir;
}

QString writeScratch(const QString& name, const std::uint8_t* data, std::size_t size) {
  const QString path = scratchDir() + QLatin1Char('/') + name;
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
  file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  return path;
}

}  // namespace fuzz_input
