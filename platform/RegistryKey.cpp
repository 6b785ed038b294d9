#include "platform/RegistryKey.h"

#include <QSettings>

namespace platform {

RegistryKey::RegistryKey()
    : settings_(std::make_unique<QSettings>(QStringLiteral("Quellmark"),
                                            QStringLiteral("Brevalto Pro"))) {}

RegistryKey::~RegistryKey() { close(); }

bool RegistryKey::valueExists(const QString& name) const { return settings_->contains(name); }

std::optional<int> RegistryKey::readInteger(const QString& name) const {
  if (!settings_->contains(name)) return std::nullopt;
  bool ok = false;
  const int value = settings_->value(name).toInt(&ok);
  if (!ok) return std::nullopt;
  return value;
}

std::optional<bool> RegistryKey::readBool(const QString& name) const {
  const auto value = readInteger(name);
  if (!value) return std::nullopt;
  return *value != 0;
}

std::optional<QString> RegistryKey::readText(const QString& name) const {
  if (!settings_->contains(name)) return std::nullopt;
  return settings_->value(name).toString();
}

void RegistryKey::writeInteger(const QString& name, int value) { settings_->setValue(name, value); }
void RegistryKey::writeBool(const QString& name, bool value) { settings_->setValue(name, value ? 1 : 0); }
void RegistryKey::writeText(const QString& name, const QString& value) { settings_->setValue(name, value); }

bool RegistryKey::close() {
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

}  // namespace platform
