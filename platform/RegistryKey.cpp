#include "platform/RegistryKey.h"

#include "platform/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <atomic>
#include <limits>

namespace platform {
namespace {

std::optional<int> fromDecimal(const QString& text) {
  bool ok = false;
  // QVariant::toInt would truncate "99999999999" to some other number and
  // call it good; the string conversion refuses anything outside 32 bits.
  const int value = text.trimmed().toInt(&ok, 10);
  if (!ok) return std::nullopt;
  return value;
}

std::optional<int> toInt32(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::QString:
      return fromDecimal(value.toString());
    case QMetaType::QByteArray:
      return fromDecimal(QString::fromUtf8(value.toByteArray()));
    case QMetaType::Bool:
      return value.toBool() ? 1 : 0;
    case QMetaType::Int:
      return value.toInt();
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
    case QMetaType::LongLong: {
      const qlonglong wide = value.toLongLong();
      if (wide < std::numeric_limits<int>::min() || wide > std::numeric_limits<int>::max())
        return std::nullopt;
      return static_cast<int>(wide);
    }
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
      const qulonglong wide = value.toULongLong();
      if (wide > static_cast<qulonglong>(std::numeric_limits<int>::max())) return std::nullopt;
      return static_cast<int>(wide);
    }
    default:
      return std::nullopt;
  }
}

std::optional<QString> toText(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::QString:
      return value.toString();
    case QMetaType::QByteArray:
      return QString::fromUtf8(value.toByteArray());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      return value.toString();
    default:
      // A list (an unquoted comma in a hand-edited file) or some serialised
      // object is not a text.
      return std::nullopt;
  }
}

// Returns whether the store is there afterwards.
bool createEmptyStore(const QString& path) {
  if (QFileInfo(path).isFile()) return true;
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || QFileInfo(path).isFile();
}

// Where QSettings keeps the user's "Quellmark/Brevalto Pro" store. Built here
// rather than asked of a QSettings object, which would read the whole file
// into Qt's shared cache on every open only to tell us its name.
QString storePath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Quellmark/Brevalto Pro.conf");
}

// QSettings keeps one shared image of each file it has seen and notices
// another program's write only by size and time stamp, and its own writer
// renames a half-written file into place when the disk fills. So the store
// is only ever parsed from a private copy, and written by writeStore().
struct ParsedStore {
  QHash<QString, QVariant> values;
  bool ok = false;  // read in full and well formed
};

ParsedStore parseBytes(const QByteArray& bytes) {
  ParsedStore parsed;
  QTemporaryDir scratch;
  if (!scratch.isValid()) return parsed;
  const QString copyPath = scratch.filePath(QStringLiteral("copy.conf"));
  QFile copy(copyPath);
  if (!copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size()) return parsed;
  copy.close();
  QSettings settings(copyPath, QSettings::IniFormat);
  if (settings.status() != QSettings::NoError) return parsed;
  const QStringList keys = settings.allKeys();
  for (const QString& key : keys) parsed.values.insert(key, settings.value(key));
  parsed.ok = true;
  return parsed;
}

ParsedStore parseFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return {};
  return parseBytes(bytes);
}

std::optional<QByteArray> formatStore(const QHash<QString, QVariant>& values) {
  QTemporaryDir scratch;
  if (!scratch.isValid()) return std::nullopt;
  const QString path = scratch.filePath(QStringLiteral("new.conf"));
  {
    QSettings settings(path, QSettings::IniFormat);
    for (auto it = values.cbegin(); it != values.cend(); ++it) settings.setValue(it.key(), it.value());
    settings.sync();
    if (settings.status() != QSettings::NoError) return std::nullopt;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  return file.readAll();
}

// QSettings reports success even when its file was cut short, so the new
// contents are parsed again before they may replace the store.
bool holdsExactly(const QByteArray& bytes, const QHash<QString, QVariant>& values) {
  const ParsedStore back = parseBytes(bytes);
  if (!back.ok || back.values.size() != values.size()) return false;
  for (auto it = values.cbegin(); it != values.cend(); ++it) {
    const auto found = back.values.constFind(it.key());
    if (found == back.values.cend() || found->toString() != it.value().toString()) return false;
  }
  return true;
}

}  // namespace

RegistryKey::RegistryKey() : fileName_(storePath()) {
  if (!createEmptyStore(fileName_)) return;
  ParsedStore parsed = parseFile(fileName_);
  readable_ = parsed.ok;
  values_ = std::move(parsed.values);
}

RegistryKey::~RegistryKey() { close(); }

std::optional<QVariant> RegistryKey::stored(const QString& name) const {
  if (!open_) return std::nullopt;
  if (auto it = written_.constFind(name); it != written_.cend()) return *it;
  if (auto it = values_.constFind(name); it != values_.cend()) return *it;
  return std::nullopt;
}

bool RegistryKey::valueExists(const QString& name) const { return stored(name).has_value(); }

std::optional<int> RegistryKey::readInteger(const QString& name) const {
  const auto value = stored(name);
  if (!value) return std::nullopt;
  return toInt32(*value);
}

std::optional<bool> RegistryKey::readBool(const QString& name) const {
  const auto value = readInteger(name);
  if (!value) return std::nullopt;
  return *value != 0;
}

std::optional<QString> RegistryKey::readText(const QString& name) const {
  const auto value = stored(name);
  if (!value) return std::nullopt;
  return toText(*value);
}

void RegistryKey::writeInteger(const QString& name, int value) {
  if (open_) written_.insert(name, value);
}

void RegistryKey::writeBool(const QString& name, bool value) { writeInteger(name, value ? 1 : 0); }

void RegistryKey::writeText(const QString& name, const QString& value) {
  if (open_) written_.insert(name, value);
}

bool RegistryKey::close() {
  if (closeResult_) return *closeResult_;
  open_ = false;
  const bool ok = written_.isEmpty() ? readable_ : writeStore();
  values_.clear();
  written_.clear();
  closeResult_ = ok;
  return ok;
}

namespace {

// The bytes of a store holding `merged`, of which `ours` must come back
// exactly. Values put there by hand or by another program that QSettings
// can't write back as they were (a key "\\", a line "=x") are left out
// rather than let one of them keep every later save from the disk.
std::optional<QByteArray> storeBytesFor(const QHash<QString, QVariant>& merged,
                                        const QHash<QString, QVariant>& ours) {
  const auto all = formatStore(merged);
  if (all && holdsExactly(*all, merged)) return all;
  // Only on this rare road: each foreign value on its own, kept when it
  // comes back as it was.
  QHash<QString, QVariant> kept = ours;
  for (auto it = merged.cbegin(); it != merged.cend(); ++it) {
    if (ours.contains(it.key())) continue;
    const QHash<QString, QVariant> single{{it.key(), it.value()}};
    if (const auto bytes = formatStore(single); bytes && holdsExactly(*bytes, single)) kept.insert(it.key(), *it);
  }
  if (const auto bytes = formatStore(kept); bytes && holdsExactly(*bytes, kept)) return bytes;
  // Foreign values that only fail together: ours alone.
  if (const auto bytes = formatStore(ours); bytes && holdsExactly(*bytes, ours)) return bytes;
  return std::nullopt;
}

}  // namespace

bool RegistryKey::writeStore() const {
  // Another copy of the program may be writing too: take the store's lock,
  // merge our values into what is on disk now, and replace the file as a
  // whole so that it is either the old one or the complete new one.
  QLockFile lock(fileName_ + QStringLiteral(".lock"));
  if (!lock.tryLock(10000)) return false;
  ParsedStore current = parseFile(fileName_);
  QHash<QString, QVariant> merged = current.ok ? current.values : QHash<QString, QVariant>();
  for (auto it = written_.cbegin(); it != written_.cend(); ++it) merged.insert(it.key(), it.value());
  const auto bytes = storeBytesFor(merged, written_);
  if (!bytes) return false;

  QSaveFile file(fileName_);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(*bytes) != bytes->size() || !file.flush()) {
    file.cancelWriting();
    file.commit();
    return false;
  }
  if (!file.commit()) return false;
  // Read it back: only what is really on disk counts as written.
  QFile check(fileName_);
  return check.open(QIODevice::ReadOnly) && check.readAll() == *bytes;
}

namespace {
std::atomic<bool> unsavedReported{false};
}  // namespace

void reportUnsavedPreferences(QWidget* owner, const QString& storeFile) {
  if (unsavedReported.exchange(true)) return;
  showMessage(owner,
              QStringLiteral("Unable to save the preferences to '%1'. The choices made in this session "
                             "will not be there the next time.")
                  .arg(storeFile),
              QStringLiteral("Brevalto Pro"), MessageIcon::Warning, MessageButtons::Ok);
}

void forgetUnsavedPreferencesReport() { unsavedReported = false; }

}  // namespace platform
