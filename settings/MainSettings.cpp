#include "settings/MainSettings.h"

#include "platform/RegistryKey.h"
#include "platform/WindowSize.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QWidget>

namespace settings {

int displayUnitsFromStored(int storedUnits) {
  return static_cast<int>(static_cast<unsigned>(storedUnits) + 1u);
}

int restoredListIndex(int storedIndex, int count) {
  return storedIndex >= 0 && storedIndex < count ? storedIndex : -1;
}

}  // namespace settings

namespace {

// Selecting from the store must not look like the user's choice: the source
// and page-size handling run only when the user picks an item.
void restoreList(const platform::RegistryKey& key, const QString& name, QComboBox* list) {
  const auto stored = key.readInteger(name);
  if (!stored) return;
  const QSignalBlocker blocker(list);
  list->setCurrentIndex(settings::restoredListIndex(*stored, list->count()));
}

// The scanner: by its device name ("ScannerName", the item data of the
// list's entries) while the list still has it, wherever it stands now, as
// other scanners come and go; otherwise by its position ("Scanner").
void restoreSource(const platform::RegistryKey& key, QComboBox* sources) {
  const auto name = key.readText(QStringLiteral("ScannerName"));
  const int at = name && !name->isEmpty() ? sources->findData(*name) : -1;
  if (at < 0) return restoreList(key, QStringLiteral("Scanner"), sources);
  const QSignalBlocker blocker(sources);
  sources->setCurrentIndex(at);
}

void restoreText(const platform::RegistryKey& key, const QString& name, QLineEdit* edit) {
  if (const auto stored = key.readText(name)) edit->setText(*stored);
}

// Set as a click would: a change runs the box's handling, so a ticked
// feeder enables duplex before duplex itself is restored.
void restoreCheck(const platform::RegistryKey& key, const QString& name, QCheckBox* box) {
  if (const auto stored = key.readBool(name)) box->setChecked(*stored);
}

}  // namespace

void LoadSettings(const MainSettingsControls& c, int& DisplayUnits, bool& SkipBlankPages) {
  platform::RegistryKey key;
  bool restoreScanPrefs = false;
  DisplayUnits = 1;
  if (const auto save = key.readBool(QStringLiteral("Save"))) restoreScanPrefs = *save;
  if (const auto units = key.readInteger(QStringLiteral("Units")))
    DisplayUnits = settings::displayUnitsFromStored(*units);
  if (const auto skip = key.readBool(QStringLiteral("SkipBlank"))) SkipBlankPages = *skip;

  // Stored sizes are outer sizes, fitted to the screen; the window keeps its
  // minimum size.
  platform::restoreOuterSize(c.window, key.readInteger(QStringLiteral("WWidth")),
                             key.readInteger(QStringLiteral("WHeight")));

  if (restoreScanPrefs) {
    if (c.cmb_Sources) restoreSource(key, c.cmb_Sources);
    restoreList(key, QStringLiteral("Mode"), c.cmb_Mode);
    restoreList(key, QStringLiteral("Resolution"), c.cmb_Resolution);
    restoreList(key, QStringLiteral("Size"), c.cmb_Size);
    restoreList(key, QStringLiteral("Format"), c.cmb_Format);
    restoreText(key, QStringLiteral("FileName"), c.edt_FileName);
    restoreText(key, QStringLiteral("Destination"), c.edt_Destination);
    restoreCheck(key, QStringLiteral("ADF"), c.cb_ADF);
    restoreCheck(key, QStringLiteral("Duplex"), c.cb_Duplex);
  }
  key.close();
}

void LoadStoredSource(QComboBox* sources) {
  platform::RegistryKey key;
  if (key.readBool(QStringLiteral("Save")).value_or(false)) restoreSource(key, sources);
  key.close();
}

void SaveSettings(const MainSettingsControls& c) {
  platform::RegistryKey key;
  if (c.cmb_Sources) {
    key.writeInteger(QStringLiteral("Scanner"), c.cmb_Sources->currentIndex());
    key.writeText(QStringLiteral("ScannerName"), c.cmb_Sources->currentData().toString());
  }
  key.writeInteger(QStringLiteral("Mode"), c.cmb_Mode->currentIndex());
  key.writeInteger(QStringLiteral("Resolution"), c.cmb_Resolution->currentIndex());
  key.writeInteger(QStringLiteral("Size"), c.cmb_Size->currentIndex());
  key.writeInteger(QStringLiteral("Format"), c.cmb_Format->currentIndex());
  key.writeText(QStringLiteral("FileName"), c.edt_FileName->text());
  key.writeText(QStringLiteral("Destination"), c.edt_Destination->text());
  key.writeBool(QStringLiteral("ADF"), c.cb_ADF->isChecked());
  key.writeBool(QStringLiteral("Duplex"), c.cb_Duplex->isChecked());
  const QRect outer = c.window->frameGeometry();
  key.writeInteger(QStringLiteral("WWidth"), outer.width());
  key.writeInteger(QStringLiteral("WHeight"), outer.height());
  // A store that can't be written must not keep the window from closing;
  // the user is told once that the values are not kept.
  if (!key.close()) platform::reportUnsavedPreferences(c.window, key.fileName());
}
