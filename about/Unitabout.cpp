#include "about/Unitabout.h"

Tfrm_About::Tfrm_About(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frm_About"));
  setWindowTitle(QStringLiteral("About Brevalto"));
}
