#pragma once

#include <QDialog>

// The About window: product name, version from the program's own version
// block, and the update check.
class Tfrm_About : public QDialog {
  Q_OBJECT

 public:
  explicit Tfrm_About(QWidget* parent = nullptr);
};
