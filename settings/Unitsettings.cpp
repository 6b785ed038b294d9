#include "settings/Unitsettings.h"

Tfrm_Settings::Tfrm_Settings(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frm_Settings"));
  setWindowTitle(QStringLiteral("Settings"));
}
