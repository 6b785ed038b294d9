#include "scanner/SourceList.h"

#include <QHash>

namespace sourcelist {

QStringList displayNames(const QList<ScanDevice>& devices) {
  QStringList names;
  QHash<QString, int> uses;
  for (const ScanDevice& device : devices) {
    QString name = device.productName().simplified();
    if (name.isEmpty()) name = device.name;
    names << name;
    ++uses[name];
  }
  for (qsizetype i = 0; i < names.size(); ++i)
    if (uses.value(names[i]) > 1 && names[i] != devices[i].name)
      names[i] = QStringLiteral("%1 (%2)").arg(names[i], devices[i].name);
  return names;
}

}  // namespace sourcelist
