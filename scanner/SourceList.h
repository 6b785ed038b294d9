#pragma once

// The scanner list as the user sees it: what each entry is called, and what
// becomes of the user's choice when the list is made again.

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

struct Refreshed {
  QList<ScanDevice> devices;
  int selected = -1;
};

// A fresh listing `fresh` replaces `previous`, whose entry `selected` is the
// user's choice. The choice stays with its device, found by device name
// wherever the fresh list puts it. A chosen device the fresh list lacks is
// taken to be plugged in again under a new name when exactly one device of
// its vendor and model is new to the list. Otherwise it (gone, or busy and
// not answering) stays at the end of the list, still chosen: the list never
// switches to another scanner by itself; opening it tells whether it is
// really gone. Without a choice, `freshDefault` is selected.
Refreshed refreshed(const QList<ScanDevice>& previous, int selected, const QList<ScanDevice>& fresh, int freshDefault);

}  // namespace sourcelist
