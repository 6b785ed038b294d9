#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

#include <optional>

class QWidget;

namespace platform {

// The program's preferences key of the current user ("Quellmark/Brevalto Pro").
// Each reader or writer opens it, moves its values and closes it again, by
// close() or by letting the object go. Opening creates the store when it is
// missing, also when the caller only reads, so the first start leaves an
// empty store behind.
//
// Integers are stored as integers, booleans as 0/1 (any non-zero reads as
// true), texts as texts. A value that doesn't read as its kind (a word where
// a number belongs, a number beyond 32 bits, an unreadable file) counts as
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

  // Writes everything to disk now and releases the store. True only when the
  // store could be read and every value written through this key is on disk;
  // the file is replaced as a whole, so a failed write leaves the old one as
  // it was. Later calls return the same answer; reads after it find nothing
  // and writes after it are dropped.
  bool close();

  // Where the store lives, for messages and tests.
  QString fileName() const { return fileName_; }

 private:
  std::optional<QVariant> stored(const QString& name) const;
  bool writeStore() const;

  QString fileName_;
  QHash<QString, QVariant> values_;   // as read when the key was opened
  QHash<QString, QVariant> written_;  // what this key is to put on disk
  bool readable_ = false;
  bool open_ = true;
  std::optional<bool> closeResult_;
};

// Tells the user once per run, in a message box, that the preferences could
// not be saved to `storeFile`. Called by the writers whose close() failed
// where the user would otherwise lose the choices without a word.
void reportUnsavedPreferences(QWidget* owner, const QString& storeFile);
// For tests: the next failure is reported again.
void forgetUnsavedPreferencesReport();

}  // namespace platform
