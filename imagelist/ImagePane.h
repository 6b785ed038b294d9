#pragma once

#include <QImage>
#include <QList>
#include <QPixmap>
#include <QWidget>

#include <functional>

class QAction;
class QListWidget;
class QListWidgetItem;
class QToolBar;
class Tfrm_Preview;

// The main window's right panel: the files scanned in this run, each with its
// thumbnail, and the actions on the selected one (preview, rename, delete).
//
// The list keeps no folder: every action takes the destination field's text
// at the moment it runs.
class ImagePane : public QWidget {
  Q_OBJECT

 public:
  // Where an entry keeps the temporary bitmap copy its thumbnail was made from,
  // and its thumbnail's index in il_Files.
  static constexpr int TempCopyRole = Qt::UserRole;
  static constexpr int ImageIndexRole = Qt::UserRole + 1;

  explicit ImagePane(QWidget* parent = nullptr);

  // The current text of the destination field.
  void setDestination(std::function<QString()> destination);
  void setViewer(Tfrm_Preview* viewer);
  // How the viewer is opened; modally (exec) unless replaced.
  void setViewerShow(std::function<void(Tfrm_Preview&)> show);

  // Appends a thumbnail to il_Files and an entry that shows it with the caption.
  void addEntry(const QImage& thumbnail100x75, const QString& caption,
                const QString& tempCopyPath);

  QListWidgetItem* selectedItem() const;

  QToolBar* ToolBar_ImagePane = nullptr;
  QAction* Action_Preview = nullptr;
  QAction* Action_Rename = nullptr;
  QAction* Action_Delete = nullptr;
  QListWidget* lv_Images = nullptr;
  QList<QPixmap> il_Files;

  void lv_ImagesSelectItem(QListWidgetItem* item, bool selected);
  void lv_ImagesChange(QListWidgetItem* item);
  void Action_PreviewExecute();
  void Action_RenameExecute();
  // End of an in-place edit: S is the typed text and leaves as the caption the
  // item keeps.
  void lv_ImagesEdited(QListWidgetItem* item, QString& S);
  void Action_DeleteExecute();

 signals:
  // The status bar's file count ("0 files", "1 file", ...).
  void fileCountChanged(const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QString folder() const;

  std::function<QString()> destination_;
  Tfrm_Preview* viewer_ = nullptr;
  std::function<void(Tfrm_Preview&)> showViewer_;
};
