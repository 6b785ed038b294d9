#include "SettingsStoreFixture.h"

#include "platform/RegistryKey.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

void useConfigDir(const QString& dir) {
  qputenv("XDG_CONFIG_HOME", dir.toLocal8Bit());
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
}

void SettingsStoreFixture::SetUp() {
  configDir = testing_support::makeTempDir(QStringLiteral("config"));
  useConfigDir(configDir);
}

QString SettingsStoreFixture::storePath() const {
  return configDir + QStringLiteral("/Quellmark/Brevalto Pro.conf");
}

void SettingsStoreFixture::writeStoreBytes(const QByteArray& bytes) const {
  QDir().mkpath(QFileInfo(storePath()).absolutePath());
  QFile file(storePath());
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray SettingsStoreFixture::storeBytes() const {
  QFile file(storePath());
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

namespace {

template <typename Use>
auto withParsedCopy(const QByteArray& bytes, Use use) {
  QTemporaryDir scratch;
  const QString path = scratch.filePath(QStringLiteral("copy.conf"));
  QFile copy(path);
  (void)copy.open(QIODevice::WriteOnly);
  copy.write(bytes);
  copy.close();
  QSettings parsed(path, QSettings::IniFormat);
  return use(parsed);
}

}  // namespace

std::optional<QString> SettingsStoreFixture::storedOnDisk(const QString& name) const {
  return withParsedCopy(storeBytes(), [&](QSettings& parsed) -> std::optional<QString> {
    if (!parsed.contains(name)) return std::nullopt;
    return parsed.value(name).toString();
  });
}

bool SettingsStoreFixture::storeFileIsValid() const {
  if (!QFileInfo(storePath()).isFile()) return false;
  return withParsedCopy(storeBytes(), [](QSettings& parsed) {
    (void)parsed.allKeys();
    return parsed.status() == QSettings::NoError;
  });
}
