// What the scanner list shows for each device.

#include "scanner/SourceList.h"

#include <gtest/gtest.h>

namespace {

ScanDevice device(const char* name, const char* vendor = "Noname", const char* model = "frontend-tester") {
  return {QString::fromLatin1(name), QString::fromLatin1(vendor), QString::fromLatin1(model)};
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

}  // namespace
