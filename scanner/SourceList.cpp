#include "scanner/SourceList.h"

#include <QHash>

#include <algorithm>

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
  // Plugged in again, a scanner often comes back under another name (a new
  // USB address): one newcomer of the chosen one's make and model is taken
  // for it.
  int replug = -1;
  for (qsizetype i = 0; i < fresh.size(); ++i) {
    const bool sameModel = fresh[i].vendor == chosen.vendor && fresh[i].model == chosen.model;
    const bool newcomer = std::none_of(previous.begin(), previous.end(),
                                       [&](const ScanDevice& p) { return p.name == fresh[i].name; });
    if (!sameModel || !newcomer) continue;
    if (replug >= 0) {  // two such: which one is it?
      replug = -1;
      break;
    }
    replug = static_cast<int>(i);
  }
  if (replug >= 0) {
    out.selected = replug;
    return out;
  }
  out.devices.append(chosen);
  out.selected = static_cast<int>(out.devices.size() - 1);
  return out;
}

}  // namespace sourcelist
