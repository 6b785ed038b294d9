#pragma once

#include <QDialog>
#include <QString>

class HttpClient;
class QFrame;
class QLabel;
class QPushButton;

// The About window: product name, version from the program's own version
// block, the maker's notice, and the update check.
class Tfrm_About : public QDialog {
  Q_OBJECT

 public:
  // Both readers of the version pass this capacity.
  static constexpr int kVersionCapacity = 255;
  static constexpr int kClientWidth = 375;
  static constexpr int kClientHeight = 236;

  explicit Tfrm_About(QWidget* parent = nullptr);

  // Puts the "FileVersion" of the file's first translation into `buffer`, at
  // most capacity - 1 characters. On any failure `buffer` is left as it was.
  static void ReadFileVersion(const QString& path, QString& buffer, int capacity);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private slots:
  void btn_OKClick();
  void btn_UpdateClick();

 private:
  void FormShow();
  // The version text of the program file; empty when it can't be read.
  static QString ownVersion();

  QLabel* Image;
  QLabel* lbl_Name;
  QLabel* lbl_Version;
  QLabel* lbl_Notice;
  QFrame* Bevel;
  QPushButton* btn_Update;
  QPushButton* btn_OK;
  HttpClient* IdHTTP;

  // An update check is running; it must end before the window reacts again.
  bool checking_ = false;
};
