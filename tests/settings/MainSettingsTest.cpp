#include "SettingsStoreFixture.h"

#include "platform/MessageBox.h"
#include "platform/RegistryKey.h"
#include "settings/MainSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QWidget>

#include <climits>

namespace {

// The main window's controls with their items and defaults, and the feeder
// box's handling: duplex is enabled exactly when the feeder is ticked.
struct FakeMainWindow {
  FakeMainWindow() {
    window.setMinimumSize(790, 570);
    window.resize(790, 570);
    sources.addItems({QStringLiteral("Scanner A"), QStringLiteral("Scanner B")});
    sources.setCurrentIndex(0);
    mode.addItems({QStringLiteral("Black & White"), QStringLiteral("Gray"), QStringLiteral("Color")});
    mode.setCurrentIndex(2);
    resolution.addItems({"75", "100", "150", "200", "300", "400", "600", "800", "1200", "2400"});
    resolution.setCurrentIndex(4);
    for (int i = 0; i < 16; ++i) size.addItem(QStringLiteral("size %1").arg(i));
    size.setCurrentIndex(1);
    format.addItems({QStringLiteral("BMP (Windows Bitmap)"), QStringLiteral("JPG (JPEG)"),
                     QStringLiteral("TIFF (Tag Image File Format)")});
    format.setCurrentIndex(0);
    fileName.setText(QStringLiteral("Brevalto"));
    destination.setText(QStringLiteral("/home/user/Pictures"));
    duplex.setEnabled(false);
    QObject::connect(&adf, &QCheckBox::toggled, [this] {
      ++adfClicks;
      duplex.setEnabled(adf.isChecked());
      if (!adf.isChecked()) duplex.setChecked(false);
    });
  }

  MainSettingsControls controls() {
    return {&window, &sources, &mode, &resolution, &size, &format, &fileName, &destination, &adf, &duplex};
  }

  QWidget window;
  QComboBox sources{&window}, mode{&window}, resolution{&window}, size{&window}, format{&window};
  QLineEdit fileName{&window}, destination{&window};
  QCheckBox adf{&window}, duplex{&window};
  int adfClicks = 0;
};

class MainSettingsTest : public SettingsStoreFixture {
 protected:
  void store(std::initializer_list<std::pair<const char*, int>> integers) {
    platform::RegistryKey key;
    for (const auto& [name, value] : integers) key.writeInteger(QString::fromLatin1(name), value);
    ASSERT_TRUE(key.close());
  }

  void load(FakeMainWindow& main) { LoadSettings(main.controls(), displayUnits, skipBlankPages); }

  void expectDefaults(FakeMainWindow& main) {
    EXPECT_EQ(main.sources.currentIndex(), 0);
    EXPECT_EQ(main.mode.currentIndex(), 2);
    EXPECT_EQ(main.resolution.currentIndex(), 4);
    EXPECT_EQ(main.size.currentIndex(), 1);
    EXPECT_EQ(main.format.currentIndex(), 0);
    EXPECT_EQ(main.fileName.text(), QStringLiteral("Brevalto"));
    EXPECT_EQ(main.destination.text(), QStringLiteral("/home/user/Pictures"));
    EXPECT_FALSE(main.adf.isChecked());
    EXPECT_FALSE(main.duplex.isChecked());
    EXPECT_FALSE(main.duplex.isEnabled());
    EXPECT_EQ(displayUnits, 1);
    EXPECT_FALSE(skipBlankPages);
  }

  int displayUnits = 99;
  bool skipBlankPages = false;
};

TEST_F(MainSettingsTest, FirstStartCreatesAnEmptyStoreAndKeepsTheDefaults) {
  FakeMainWindow main;
  load(main);
  expectDefaults(main);
  EXPECT_EQ(main.window.size(), QSize(790, 570));
  EXPECT_TRUE(QFileInfo(storePath()).isFile());
  EXPECT_TRUE(storeBytes().isEmpty());
}

TEST_F(MainSettingsTest, ChoicesAreSavedAlwaysButComeBackOnlyWithSave) {
  {
    FakeMainWindow main;
    main.sources.setCurrentIndex(1);
    main.mode.setCurrentIndex(0);
    main.resolution.setCurrentIndex(9);
    main.size.setCurrentIndex(0);
    main.format.setCurrentIndex(2);
    main.fileName.setText(QStringLiteral("receipt"));
    main.destination.setText(QStringLiteral("/tmp/scans"));
    main.adf.setChecked(true);
    main.duplex.setChecked(true);
    // Within the test screen (800 x 600): larger sizes are fitted to it.
    main.window.resize(795, 590);
    SaveSettings(main.controls());
  }
  const std::pair<const char*, const char*> onDisk[] = {
      {"Scanner", "1"}, {"Mode", "0"}, {"Resolution", "9"}, {"Size", "0"}, {"Format", "2"},
      {"FileName", "receipt"}, {"Destination", "/tmp/scans"}, {"ADF", "1"}, {"Duplex", "1"},
      {"WWidth", "795"}, {"WHeight", "590"}};
  for (const auto& [name, value] : onDisk)
    EXPECT_EQ(storedOnDisk(QString::fromLatin1(name)), QString::fromLatin1(value)) << name;
  EXPECT_FALSE(storedOnDisk(QStringLiteral("Save")).has_value());
  EXPECT_FALSE(storedOnDisk(QStringLiteral("Units")).has_value());

  FakeMainWindow without;
  load(without);
  expectDefaults(without);
  EXPECT_EQ(without.window.size(), QSize(795, 590));

  store({{"Save", 1}});
  FakeMainWindow with;
  QSignalSpy sizePicked(&with.size, &QComboBox::currentIndexChanged);
  QSignalSpy sourcePicked(&with.sources, &QComboBox::currentIndexChanged);
  load(with);
  EXPECT_EQ(with.sources.currentIndex(), 1);
  EXPECT_EQ(with.mode.currentIndex(), 0);
  EXPECT_EQ(with.resolution.currentIndex(), 9);
  EXPECT_EQ(with.size.currentIndex(), 0);
  EXPECT_EQ(with.format.currentIndex(), 2);
  EXPECT_EQ(with.fileName.text(), QStringLiteral("receipt"));
  EXPECT_EQ(with.destination.text(), QStringLiteral("/tmp/scans"));
  EXPECT_TRUE(with.adf.isChecked());
  EXPECT_TRUE(with.duplex.isChecked());
  EXPECT_EQ(sizePicked.count(), 0) << "restoring a list must not run its change handling";
  EXPECT_EQ(sourcePicked.count(), 0);
}

// "Save" true with hand-set feeder and duplex states.
struct FeederCase {
  std::optional<int> adf;
  std::optional<int> duplex;
  bool adfTicked, duplexTicked, duplexEnabled;
  int handlerRuns;
};

class MainSettingsFeederTest : public MainSettingsTest,
                               public ::testing::WithParamInterface<FeederCase> {};

TEST_P(MainSettingsFeederTest, BoxesAreSetAsAClickWould) {
  {
    platform::RegistryKey key;
    key.writeBool(QStringLiteral("Save"), true);
    if (GetParam().adf) key.writeInteger(QStringLiteral("ADF"), *GetParam().adf);
    if (GetParam().duplex) key.writeInteger(QStringLiteral("Duplex"), *GetParam().duplex);
  }
  FakeMainWindow main;
  load(main);
  EXPECT_EQ(main.adf.isChecked(), GetParam().adfTicked);
  EXPECT_EQ(main.duplex.isChecked(), GetParam().duplexTicked);
  EXPECT_EQ(main.duplex.isEnabled(), GetParam().duplexEnabled);
  EXPECT_EQ(main.adfClicks, GetParam().handlerRuns);
}

INSTANTIATE_TEST_SUITE_P(
    States, MainSettingsFeederTest,
    ::testing::Values(FeederCase{1, 1, true, true, true, 1},
                      FeederCase{0, 1, false, true, false, 0},  // hand-edited: ticked yet disabled
                      FeederCase{5, 0, true, false, true, 1},   // any non-zero is ticked
                      FeederCase{std::nullopt, std::nullopt, false, false, false, 0}));

TEST_F(MainSettingsTest, PositionsOutsideTheListsLeaveThemWithoutSelection) {
  store({{"Save", 1}, {"Scanner", 3}, {"Mode", -1}, {"Resolution", 10}, {"Size", INT_MIN}, {"Format", 1}});
  FakeMainWindow main;
  load(main);
  EXPECT_EQ(main.sources.currentIndex(), -1);
  EXPECT_EQ(main.mode.currentIndex(), -1);
  EXPECT_EQ(main.resolution.currentIndex(), -1);
  EXPECT_EQ(main.size.currentIndex(), -1);
  EXPECT_EQ(main.format.currentIndex(), 1);
}

TEST_F(MainSettingsTest, AListWithoutSelectionIsStoredAsMinusOneAndRestoredAsNone) {
  {
    FakeMainWindow main;
    main.sources.setCurrentIndex(-1);
    SaveSettings(main.controls());
  }
  EXPECT_EQ(storedOnDisk(QStringLiteral("Scanner")), QStringLiteral("-1"));
  store({{"Save", 1}});
  FakeMainWindow next;
  load(next);
  EXPECT_EQ(next.sources.currentIndex(), -1);
  EXPECT_EQ(next.mode.currentIndex(), 2);
}

// The scanner comes back by its device name wherever the list now has it;
// a stored name the list lacks (or none, as an older store has) leaves the
// position to decide.
TEST_F(MainSettingsTest, TheScannerComesBackByItsDeviceNameWhileTheListHasIt) {
  {
    FakeMainWindow main;
    main.sources.setItemData(0, QStringLiteral("test:0"));
    main.sources.setItemData(1, QStringLiteral("test:1"));
    main.sources.setCurrentIndex(1);
    SaveSettings(main.controls());
  }
  EXPECT_EQ(storedOnDisk(QStringLiteral("ScannerName")), QStringLiteral("test:1"));
  struct Case {
    const char* what;
    std::optional<QString> name;
    int position;
    QStringList listed;  // the device names of the list now
    int selected;
  };
  const Case cases[] = {
      {"a backend listed first since: found by name", QStringLiteral("test:1"), 1, {"pnm:0", "test:0", "test:1"}, 2},
      {"the other scanner gone: found by name", QStringLiteral("test:1"), 1, {"test:1"}, 0},
      {"gone itself: the position", QStringLiteral("test:1"), 1, {"pnm:0", "pnm:1"}, 1},
      {"gone, position outside: nothing", QStringLiteral("test:1"), 3, {"pnm:0"}, -1},
      {"no name stored: the position", std::nullopt, 0, {"pnm:0", "test:1"}, 0},
      {"an empty name: the position", QString(), 1, {"pnm:0", "test:1"}, 1},
  };
  for (const Case& c : cases) {
    QFile::remove(storePath());
    {
      platform::RegistryKey key;
      key.writeBool(QStringLiteral("Save"), true);
      key.writeInteger(QStringLiteral("Scanner"), c.position);
      if (c.name) key.writeText(QStringLiteral("ScannerName"), *c.name);
      ASSERT_TRUE(key.close());
    }
    QComboBox sources;
    for (const QString& device : c.listed) sources.addItem(QStringLiteral("Noname frontend-tester"), device);
    QSignalSpy picked(&sources, &QComboBox::currentIndexChanged);
    LoadStoredSource(&sources);
    EXPECT_EQ(sources.currentIndex(), c.selected) << c.what;
    EXPECT_EQ(picked.count(), 0) << c.what;
  }
}

TEST_F(MainSettingsTest, UnitsAndBlankPagesAreRestoredWithoutSave) {
  store({{"Units", 1}, {"SkipBlank", 1}});
  FakeMainWindow main;
  load(main);
  EXPECT_EQ(displayUnits, 2);
  EXPECT_TRUE(skipBlankPages);
}

TEST(DisplayUnitsFromStored, IsOneMoreWithoutOverflow) {
  EXPECT_EQ(settings::displayUnitsFromStored(0), 1);
  EXPECT_EQ(settings::displayUnitsFromStored(1), 2);
  EXPECT_EQ(settings::displayUnitsFromStored(7), 8);
  EXPECT_EQ(settings::displayUnitsFromStored(-1), 0);
  EXPECT_EQ(settings::displayUnitsFromStored(INT_MAX), INT_MIN);
}

TEST_F(MainSettingsTest, WindowSizeKeepsTheMinimumAndEachSideOnItsOwn) {
  store({{"WWidth", 300}, {"WHeight", 590}});
  FakeMainWindow main;
  load(main);
  EXPECT_EQ(main.window.size(), QSize(790, 590));

  writeStoreBytes("[General]\nWHeight=580\n");
  FakeMainWindow heightOnly;
  load(heightOnly);
  EXPECT_EQ(heightOnly.window.size(), QSize(790, 580));
}

// A stored size larger than the screen comes back no larger than the screen's
// free area (and so is saved again no larger); the window's minimum still holds.
TEST_F(MainSettingsTest, WindowSizeBeyondTheScreenIsFittedToIt) {
  const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
  ASSERT_LT(screen.width(), 40000);
  struct Case {
    int width, height;
    QSize expected;
  };
  const Case cases[] = {
      {40000, 40000, screen},
      {INT_MAX, INT_MAX, screen},
      {40000, 580, {screen.width(), 580}},
      {INT_MIN, INT_MIN, {790, 570}},
  };
  for (const Case& c : cases) {
    store({{"WWidth", c.width}, {"WHeight", c.height}});
    FakeMainWindow main;
    load(main);
    EXPECT_EQ(main.window.size(), c.expected) << c.width << " x " << c.height;
    SaveSettings(main.controls());
    EXPECT_EQ(storedOnDisk(QStringLiteral("WWidth")), QString::number(c.expected.width()));
  }
}

// A damaged store: everything unusable keeps its default, nothing crashes,
// and the next close still writes a good file.
struct DamagedStore {
  const char* name;
  QByteArray bytes;
};

class MainSettingsDamagedStoreTest : public MainSettingsTest,
                                     public ::testing::WithParamInterface<DamagedStore> {};

TEST_P(MainSettingsDamagedStoreTest, DefaultsStayAndTheNextCloseRepairsTheFile) {
  writeStoreBytes(GetParam().bytes);
  FakeMainWindow main;
  load(main);
  expectDefaults(main);
  EXPECT_EQ(main.window.size(), QSize(790, 570));
  main.mode.setCurrentIndex(1);
  SaveSettings(main.controls());
  EXPECT_TRUE(storeFileIsValid());
  EXPECT_EQ(storedOnDisk(QStringLiteral("Mode")), QStringLiteral("1"));
}

QByteArray binaryGarbage() {
  QByteArray bytes;
  for (int i = 0; i < 2048; ++i) bytes.append(char((i * 151 + 7) & 0xff));
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Stores, MainSettingsDamagedStoreTest,
    ::testing::Values(
        DamagedStore{"Garbage", binaryGarbage()},
        DamagedStore{"TextInMode", "[General]\nSave=1\nMode=abc\nUnits=mm\nSkipBlank=yes\n"},
        DamagedStore{"HugeNumbers",
                     "[General]\nSave=1\nMode=99999999999\nResolution=4294967300\nWWidth=5000000000\n"
                     "WHeight=-99999999999\nUnits=2147483648\n"},
        DamagedStore{"Lists", "[General]\nSave=1\nFileName=a, b\nDestination=x, y, z\nMode=1, 2\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// The window still closes, and the user learns once per run that the
// choices are not kept, not at every later save again.
TEST_F(MainSettingsTest, AStoreThatCantBeWrittenStillLetsTheWindowCloseAndSaysSoOnce) {
  QFile blocker(configDir + QStringLiteral("/Quellmark"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  platform::forgetUnsavedPreferencesReport();
  platform::MessageBoxSeam::answerAlways(platform::MessageAnswer::Ok);
  platform::MessageBoxSeam::clearShown();
  FakeMainWindow main;
  load(main);
  expectDefaults(main);
  SaveSettings(main.controls());
  SaveSettings(main.controls());
  EXPECT_TRUE(QFileInfo(configDir + QStringLiteral("/Quellmark")).isFile());
  const auto shown = platform::MessageBoxSeam::shown();
  platform::MessageBoxSeam::uninstall();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown[0].text.contains(storePath())) << shown[0].text.toStdString();
  EXPECT_EQ(shown[0].icon, platform::MessageIcon::Warning);
}

// A value of someone else's that can't be written back as it was must not
// keep the program's own values from the disk, nor make the save look failed.
TEST_F(MainSettingsTest, AForeignValueThatCantBeWrittenBackDoesNotBlockTheSave) {
  writeStoreBytes("[General]\n=x\nSave=1\n\\\\=y\nOther=kept\n");
  platform::forgetUnsavedPreferencesReport();
  platform::MessageBoxSeam::answerAlways(platform::MessageAnswer::Ok);
  platform::MessageBoxSeam::clearShown();
  FakeMainWindow main;
  main.mode.setCurrentIndex(1);
  main.destination.setText(QStringLiteral("/srv/scans"));
  SaveSettings(main.controls());
  const auto shown = platform::MessageBoxSeam::shown();
  platform::MessageBoxSeam::uninstall();
  EXPECT_TRUE(shown.isEmpty());
  EXPECT_EQ(storedOnDisk(QStringLiteral("Mode")), QStringLiteral("1"));
  EXPECT_EQ(storedOnDisk(QStringLiteral("Destination")), QStringLiteral("/srv/scans"));
  EXPECT_EQ(storedOnDisk(QStringLiteral("Save")), QStringLiteral("1"));
  EXPECT_EQ(storedOnDisk(QStringLiteral("Other")), QStringLiteral("kept"));
}

}  // namespace
