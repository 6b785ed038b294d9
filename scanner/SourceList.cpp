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

Refreshed refreshed(const QList<ScanDevice>& previous, int selected, const QList<ScanDevice>& fresh, int freshDefault) {
  Refreshed out{fresh, freshDefault >= 0 && freshDefault < fresh.size() ? freshDefault : -1};
  if (selected < 0 || selected >= previous.size()) return out;
  const ScanDevice& chosen = previous[selected];
  for (qsizetype i = 0; i < fresh.size(); ++i) {
    if (fresh[i].name == chosen.name) {
      out.selected = static_cast<int>(i);
      return out;
    }
  }
  out.devices.append(chosen);
  out.selected = static_cast<int>(out.devices.size() - 1);
  return out;
}

}  // namespace sourcelist
