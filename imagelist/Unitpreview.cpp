#include "imagelist/Unitpreview.h"

Tfrm_Preview::Tfrm_Preview(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frm_Preview"));
  setWindowTitle(QStringLiteral("Previewing"));
}
