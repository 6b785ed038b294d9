#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QShowEvent;

// The settings dialog for the preferences the main window doesn't show. It is
// created once and reused, so its controls keep their state between openings;
// each opening shows the stored values where they exist.
class Tfrm_Settings : public QDialog {
  Q_OBJECT

 public:
  explicit Tfrm_Settings(QWidget* parent = nullptr);

  QGroupBox* GroupBox1;
  QLabel* Label2;
  QComboBox* cmb_Lang;
  QLabel* Label1;
  QComboBox* cmb_Units;
  QCheckBox* cb_Update;
  QCheckBox* cb_Save;
  QCheckBox* cb_SkipBlank;
  QPushButton* btn_OK;
  QPushButton* btn_Cancel;

 signals:
  // Raised by OK after the values are stored: the main window takes them over
  // as DisplayUnits and SkipBlankPages.
  void preferencesApplied(int displayUnits, bool skipBlankPages);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  void btn_OKClick();
};
