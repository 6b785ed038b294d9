#pragma once

#include <QComboBox>

// The scanner list. It tells when the user is about to open it, so that the
// window can make the list again (a scanner plugged in since shows up)
// without any job waiting for that.
class SourceComboBox : public QComboBox {
  Q_OBJECT

 public:
  using QComboBox::QComboBox;

  void showPopup() override {
    emit popupAboutToShow();
    QComboBox::showPopup();
  }

 signals:
  void popupAboutToShow();
};
