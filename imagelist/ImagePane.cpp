#include "imagelist/ImagePane.h"

#include "imagelist/CaptionDelegate.h"
#include "imagelist/FileCount.h"
#include "imagelist/FileOperations.h"
#include "imagelist/PreviewImage.h"
#include "imagelist/TiffDecoder.h"
#include "imagelist/Unitpreview.h"
#include "platform/ErrorGuard.h"
#include "platform/MessageBox.h"
#include "platform/PictureLoader.h"

#include <QAction>
#include <QEvent>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QAction* makeAction(QWidget* owner, const char* name, const QString& caption, const QString& hint,
                    QStyle::StandardPixmap icon) {
  auto* action = new QAction(owner->style()->standardIcon(icon), caption, owner);
  action->setObjectName(QString::fromLatin1(name));
  action->setToolTip(hint);
  action->setStatusTip(hint);
  action->setEnabled(false);
  return action;
}

}  // namespace

ImagePane::ImagePane(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("pnl_Right"));

  Action_Preview = makeAction(this, "Action_Preview", QStringLiteral("Preview"),
                              QStringLiteral("Preview selected image"),
                              QStyle::SP_FileDialogContentsView);
  Action_Rename = makeAction(this, "Action_Rename", QStringLiteral("Rename"),
                             QStringLiteral("Rename selected file"),
                             QStyle::SP_FileDialogDetailedView);
  Action_Delete = makeAction(this, "Action_Delete", QStringLiteral("Delete"),
                             QStringLiteral("Physically delete file "),
                             QStyle::SP_DialogDiscardButton);
  // Window-wide, like the main window's other shortcuts; edit boxes keep the
  // key for themselves while they have the focus.
  Action_Delete->setShortcut(QKeySequence(Qt::Key_Delete));
  Action_Delete->setShortcutContext(Qt::WindowShortcut);

  ToolBar_ImagePane = new QToolBar(this);
  ToolBar_ImagePane->setObjectName(QStringLiteral("ToolBar_ImagePane"));
  ToolBar_ImagePane->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ToolBar_ImagePane->addAction(Action_Preview);
  ToolBar_ImagePane->addAction(Action_Rename);
  ToolBar_ImagePane->addAction(Action_Delete);

  lv_Images = new QListWidget(this);
  lv_Images->setObjectName(QStringLiteral("lv_Images"));
  lv_Images->setViewMode(QListView::IconMode);
  lv_Images->setIconSize(QSize(100, 75));
  lv_Images->setGridSize(QSize(120, 120));
  lv_Images->setWordWrap(true);
  lv_Images->setResizeMode(QListView::Adjust);
  lv_Images->setMovement(QListView::Static);
  lv_Images->setSelectionMode(QAbstractItemView::SingleSelection);
  lv_Images->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  lv_Images->setItemDelegate(new CaptionDelegate(
      [this](const QModelIndex& index, QString& text) {
        lv_ImagesEdited(lv_Images->item(index.row()), text);
      },
      lv_Images));
  lv_Images->viewport()->installEventFilter(this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(ToolBar_ImagePane);
  layout->addWidget(lv_Images);

  showViewer_ = [](Tfrm_Preview& viewer) { viewer.exec(); };

  connect(Action_Preview, &QAction::triggered, this, [this] { Action_PreviewExecute(); });
  connect(Action_Rename, &QAction::triggered, this, [this] { Action_RenameExecute(); });
  connect(Action_Delete, &QAction::triggered, this, [this] { Action_DeleteExecute(); });

  connect(lv_Images->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection& deselected) {
            for (const QModelIndex& index : deselected.indexes()) {
              lv_ImagesSelectItem(lv_Images->item(index.row()), false);
              lv_ImagesChange(lv_Images->item(index.row()));
            }
            for (const QModelIndex& index : selected.indexes()) {
              lv_ImagesSelectItem(lv_Images->item(index.row()), true);
              lv_ImagesChange(lv_Images->item(index.row()));
            }
          });
  auto* model = lv_Images->model();
  connect(model, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& topLeft) { lv_ImagesChange(lv_Images->item(topLeft.row())); });
  connect(model, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first) { lv_ImagesChange(lv_Images->item(first)); });
}

void ImagePane::setDestination(std::function<QString()> destination) {
  destination_ = std::move(destination);
}

void ImagePane::setViewer(Tfrm_Preview* viewer) { viewer_ = viewer; }

void ImagePane::setViewerShow(std::function<void(Tfrm_Preview&)> show) {
  showViewer_ = std::move(show);
}

QString ImagePane::folder() const { return destination_ ? destination_() : QString(); }

QListWidgetItem* ImagePane::selectedItem() const {
  const QList<QListWidgetItem*> selected = lv_Images->selectedItems();
  return selected.isEmpty() ? nullptr : selected.first();
}

void ImagePane::addEntry(const QImage& thumbnail100x75, const QString& caption,
                         const QString& tempCopyPath) {
  il_Files.append(QPixmap::fromImage(thumbnail100x75));
  const int imageIndex = int(il_Files.size()) - 1;

  auto* item = new QListWidgetItem;
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  lv_Images->addItem(item);
  item->setText(caption);
  item->setData(ImageIndexRole, imageIndex);
  item->setIcon(QIcon(il_Files.at(imageIndex)));
  item->setData(TempCopyRole, tempCopyPath);
}

void ImagePane::lv_ImagesSelectItem(QListWidgetItem*, bool selected) {
  Action_Preview->setEnabled(selected);
  Action_Rename->setEnabled(selected);
  Action_Delete->setEnabled(selected);
}

void ImagePane::lv_ImagesChange(QListWidgetItem*) {
  emit fileCountChanged(fileCountText(lv_Images->count()));
}

void ImagePane::Action_PreviewExecute() {
  platform::guarded(window(), [&] {
    QListWidgetItem* item = selectedItem();
    if (!item || !viewer_) return;
    const QString caption = item->text();
    viewer_->ImageName = caption;
    const QString path = listedFilePath(folder(), caption);
    if (caption.contains(QLatin1String(".tif"))) {
      viewer_->Image->setPicture(decodeTiff(path));
    } else {
      // A large JPEG is decoded no larger than the viewer shows it; the
      // viewer decodes it again if it is made larger.
      QSize fullSize;
      const QImage picture = platform::loadPicture(path, viewer_->Image->size(), &fullSize);
      viewer_->Image->setPicture(picture, fullSize, [path](const QSize& atLeast) {
        return platform::loadPicture(path, atLeast);
      });
    }
    showViewer_(*viewer_);
  });
}

void ImagePane::Action_RenameExecute() {
  platform::guarded(window(), [&] {
    if (QListWidgetItem* item = selectedItem()) lv_Images->editItem(item);
  });
}

void ImagePane::lv_ImagesEdited(QListWidgetItem* item, QString& S) {
  platform::guarded(window(), [&] {
    if (!item) return;
    const QString old = item->text();
    if (S == old) return;
    const QString dir = folder();
    // A name with a separator would move the file out of the folder, where
    // the list could never find it again.
    if (!isPlainFileName(S) ||
        !renameWithoutReplacing(listedFilePath(dir, old), listedFilePath(dir, S))) {
      platform::showMessage(
          window(),
          QStringLiteral("It is impossible to rename file. May be file was already deleted or moved"),
          QStringLiteral("File rename"), platform::MessageIcon::Warning,
          platform::MessageButtons::Ok);
      S = old;
    }
  });
}

void ImagePane::Action_DeleteExecute() {
  platform::guarded(window(), [&] {
    QListWidgetItem* item = selectedItem();
    if (!item) return;
    const platform::MessageAnswer answer = platform::showMessage(
        window(), QStringLiteral("Do you want to delete this image?"),
        QStringLiteral("Image deleting"), platform::MessageIcon::Warning,
        platform::MessageButtons::YesNo);
    if (answer != platform::MessageAnswer::Yes) return;
    if (!deleteFile(listedFilePath(folder(), item->text()))) return;
    delete lv_Images->takeItem(lv_Images->row(item));
    // Taking the current entry makes its neighbour current and selected; the
    // next Del would then ask about a page the user never chose.
    lv_Images->selectionModel()->clear();
    lv_ImagesChange(nullptr);
  });
}

bool ImagePane::eventFilter(QObject* watched, QEvent* event) {
  // A double click anywhere on the list previews the selected file.
  if (watched == lv_Images->viewport() && event->type() == QEvent::MouseButtonDblClick)
    Action_PreviewExecute();
  return QWidget::eventFilter(watched, event);
}
