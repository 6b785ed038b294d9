#pragma once

#include <QString>

#include <memory>
#include <optional>

class QSettings;

namespace platform {

// The program's preferences key of the current user ("Quellmark/Brevalto Pro").
// Each reader or writer opens it, moves its values and closes it again by
// letting the object go. Opening creates the store when it is missing.
//
// Integers are stored as integers, booleans as 0/1 (any non-zero reads as
// true), texts as texts. A value that doesn't read as its kind counts as
// missing, so every read answers "missing" or a usable value.
class RegistryKey {
 public:
  RegistryKey();
  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  bool valueExists(const QString& name) const;
  std::optional<int> readInteger(const QString& name) const;
  std::optional<bool> readBool(const QString& name) const;
  std::optional<QString> readText(const QString& name) const;

  void writeInteger(const QString& name, int value);
  void writeBool(const QString& name, bool value);
  void writeText(const QString& name, const QString& value);

  // Writes everything to disk now; false when the store could not be written.
  bool close();

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace platform
