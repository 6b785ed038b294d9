#pragma once

#include <QDialog>

// The viewer window: one scanned image at the largest size that fits.
class Tfrm_Preview : public QDialog {
  Q_OBJECT

 public:
  explicit Tfrm_Preview(QWidget* parent = nullptr);

  QString ImageName;
};
