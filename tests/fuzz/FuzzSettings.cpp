// A preferences file as a user or another program may have left it: every
// value read as its kind, then one value written back, which must be saved.

#include "FuzzInput.h"
#include "platform/RegistryKey.h"

#include <QDir>
#include <QFile>
#include <QSettings>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_input::scratchDir();  // points XDG_CONFIG_HOME at the scratch folder
  static const QString store =
      QSettings(QStringLiteral("Quellmark"), QStringLiteral("Brevalto Pro")).fileName();
  QDir().mkpath(QFileInfo(store).absolutePath());
  {
    QFile file(store);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) __builtin_trap();
    file.write(reinterpret_cast<const char*>(data), qint64(size));
  }
  static const char* const names[] = {"Save",  "Scanner", "Mode",  "Resolution", "Size", "FileName",
                                      "Destination", "Format", "ADF", "Duplex", "Units", "SkipBlank",
                                      "WWidth", "WHeight", "PWidth", "PHeight"};
  platform::RegistryKey key;
  for (const char* name : names) {
    const QString n = QString::fromLatin1(name);
    (void)key.valueExists(n);
    (void)key.readInteger(n);
    (void)key.readBool(n);
    (void)key.readText(n);
  }
  key.writeInteger(QStringLiteral("WWidth"), 790);
  // Whatever else the store holds, the program's own value is saved and reads
  // back: the folder is writable, so nothing in the file may keep it out.
  if (!key.close()) __builtin_trap();
  platform::RegistryKey again;
  if (again.readInteger(QStringLiteral("WWidth")) != 790) __builtin_trap();
  return 0;
}
