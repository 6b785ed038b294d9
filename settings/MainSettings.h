#pragma once

class QCheckBox;
class QComboBox;
class QLineEdit;
class QWidget;

// The main window's controls whose state the preferences store keeps.
struct MainSettingsControls {
  QWidget* window;
  // Null while the scanner list is still being gathered: "Scanner" is then
  // neither restored nor written, so the stored choice survives.
  QComboBox* cmb_Sources;
  QComboBox* cmb_Mode;
  QComboBox* cmb_Resolution;
  QComboBox* cmb_Size;
  QComboBox* cmb_Format;
  QLineEdit* edt_FileName;
  QLineEdit* edt_Destination;
  QCheckBox* cb_ADF;
  QCheckBox* cb_Duplex;
};

// Restores the preferences while the main window is first shown: the window
// size, the units and the blank-page choice always, the scanner and image
// choices only when the user asked for that ("Save"). Missing or unusable
// values leave the control or field as it is.
void LoadSettings(const MainSettingsControls& c, int& DisplayUnits, bool& SkipBlankPages);

// Restores the stored scanner choice into a scanner list that arrived after
// LoadSettings, under the same "Save" rule. The scanner is found by its
// device name (the entries' item data) when the list still has it, else by
// its stored position.
void LoadStoredSource(QComboBox* sources);

// Stores the scanner and image choices and the window size; runs at every
// close, whatever "Save" holds. Beside the scanner's position ("Scanner") its
// device name goes to "ScannerName".
void SaveSettings(const MainSettingsControls& c);

namespace settings {

// The ruler unit for a stored "Units" (0 inches, 1 millimetres): one more,
// taken over without validation; the largest integer wraps instead of
// overflowing.
int displayUnitsFromStored(int storedUnits);

// The list position a stored position selects in a list of `count` items:
// the position itself, or -1 (no selection) when it lies outside the list.
int restoredListIndex(int storedIndex, int count);

}  // namespace settings
