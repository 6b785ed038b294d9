#pragma once

#include <QDialog>

// The settings dialog for the preferences the main window doesn't show.
class Tfrm_Settings : public QDialog {
  Q_OBJECT

 public:
  explicit Tfrm_Settings(QWidget* parent = nullptr);

 signals:
  // Raised by OK after the values are stored: the main window takes them over
  // as DisplayUnits and SkipBlankPages.
  void preferencesApplied(int displayUnits, bool skipBlankPages);
};
