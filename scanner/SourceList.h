#pragma once

// The scanner list as the user sees it: what each entry is called.

#include "scanner/ScanDriver.h"

#include <QList>
#include <QStringList>

namespace sourcelist {

// The names the list shows, one per device: vendor and model, as the device
// reports them. Where two devices would show the same name (two scanners of
// one model, or SANE's test:0 and test:1), each of them also shows its device
// name, "Noname frontend-tester (test:0)", so the user can tell them apart.
// A device without vendor and model shows its device name.
QStringList displayNames(const QList<ScanDevice>& devices);

}  // namespace sourcelist
