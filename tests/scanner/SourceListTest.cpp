// What the scanner list shows for each device, and what becomes of the
// user's choice when the list is made again.

#include "scanner/SourceList.h"

#include <gtest/gtest.h>

namespace {

ScanDevice device(const char* name, const char* vendor = "Noname", const char* model = "frontend-tester") {
  return {QString::fromLatin1(name), QString::fromLatin1(vendor), QString::fromLatin1(model)};
}

QStringList namesOf(const QList<ScanDevice>& devices) {
  QStringList out;
  for (const ScanDevice& d : devices) out << d.name;
  return out;
}

TEST(SourceListNames, VendorAndModelWithTheDeviceNameWhereTwoWouldLookAlike) {
  struct Case {
    const char* what;
    QList<ScanDevice> devices;
    QStringList shown;
  };
  const Case cases[] = {
      {"distinct models keep their plain names",
       {device("epson2:net:10.0.0.5", "Epson", "ET-4850"), device("test:0")},
       {"Epson ET-4850", "Noname frontend-tester"}},
      {"two of one model, the others left alone",
       {device("test:0"), device("pixma:04A91912", "Canon", "LiDE 400"), device("test:1")},
       {"Noname frontend-tester (test:0)", "Canon LiDE 400", "Noname frontend-tester (test:1)"}},
      {"the same scanner reached locally and through saned",
       {device("genesys:libusb:001:004", "Canon", "LiDE 220"),
        device("net:pc.local:genesys:libusb:002:003", "Canon", "LiDE 220")},
       {"Canon LiDE 220 (genesys:libusb:001:004)", "Canon LiDE 220 (net:pc.local:genesys:libusb:002:003)"}},
      {"blanks around or inside a name don't make it another",
       {device("a:1", "Acme ", "Scan  9"), device("a:2", "Acme", "Scan 9")},
       {"Acme Scan 9 (a:1)", "Acme Scan 9 (a:2)"}},
      {"no vendor or model: the device name",
       {device("odd:0", "", ""), device("odd:1", "", "")},
       {"odd:0", "odd:1"}},
      {"an empty list", {}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(sourcelist::displayNames(c.devices), c.shown) << c.what;
}

TEST(SourceListRefresh, TheChoiceStaysWithItsDevice) {
  const QList<ScanDevice> before{device("test:0"), device("test:1"), device("pnm:0")};
  struct Case {
    const char* what;
    int selected;
    QList<ScanDevice> fresh;
    int freshDefault;
    QStringList listed;
    int expected;
  };
  const Case cases[] = {
      {"same list", 1, before, 0, {"test:0", "test:1", "pnm:0"}, 1},
      {"a new backend listed first moves the choice down",
       1, {device("pnm:0"), device("pnm:1"), device("test:0"), device("test:1")}, 0,
       {"pnm:0", "pnm:1", "test:0", "test:1"}, 3},
      {"another device gone", 2, {device("test:1"), device("pnm:0")}, 0, {"test:1", "pnm:0"}, 1},
      {"the chosen one gone stays chosen at the end",
       0, {device("test:1"), device("pnm:0")}, 0, {"test:1", "pnm:0", "test:0"}, 2},
      {"the chosen one gone from an empty list", 2, {}, -1, {"pnm:0"}, 0},
      {"plugged in again under a new name", 2, {device("test:0"), device("pnm:7"), device("test:1")}, 0,
       {"test:0", "pnm:7", "test:1"}, 1},
      {"a new one of another model is no replug",
       2, {device("test:0"), device("pnm:7", "Other", "Model"), device("test:1")}, 0,
       {"test:0", "pnm:7", "test:1", "pnm:0"}, 3},
      {"one of its model that was there before is no replug",
       1, {device("test:0"), device("pnm:0")}, 0, {"test:0", "pnm:0", "test:1"}, 2},
      {"two newcomers of its model: no guess",
       2, {device("pnm:7"), device("pnm:8")}, 0, {"pnm:7", "pnm:8", "pnm:0"}, 2},
      {"nothing chosen: the fresh default", -1, {device("test:1"), device("pnm:0")}, 1, {"test:1", "pnm:0"}, 1},
      {"a choice outside the old list counts as none", 7, {device("test:1")}, 0, {"test:1"}, 0},
      {"nothing chosen and nothing there", -1, {}, -1, {}, -1},
  };
  for (const Case& c : cases) {
    const sourcelist::Refreshed r = sourcelist::refreshed(before, c.selected, c.fresh, c.freshDefault);
    EXPECT_EQ(namesOf(r.devices), c.listed) << c.what;
    EXPECT_EQ(r.selected, c.expected) << c.what;
  }
}

}  // namespace
