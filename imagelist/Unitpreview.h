#pragma once

#include <QDialog>

class PreviewImage;

// The viewer window: one scanned image at the largest size that fits, its
// file name in the title. Created once and reused; it remembers its size in
// the preferences ("PWidth", "PHeight").
class Tfrm_Preview : public QDialog {
  Q_OBJECT

 public:
  explicit Tfrm_Preview(QWidget* parent = nullptr);

  QString ImageName;
  PreviewImage* Image = nullptr;

  void FormShow();
  void FormClose();

  // Sets the window's size including its frame, as the preferences hold it.
  void setOuterSize(int width, int height);

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;
};
