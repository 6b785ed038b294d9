#include "imagelist/CaptionDelegate.h"

#include <QLineEdit>

CaptionDelegate::CaptionDelegate(Edited edited, QObject* parent)
    : QStyledItemDelegate(parent), edited_(std::move(edited)) {}

void CaptionDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                   const QModelIndex& index) const {
  auto* line = qobject_cast<QLineEdit*>(editor);
  if (!line || committing_) return;
  committing_ = true;
  QString text = line->text();
  if (edited_) edited_(index, text);
  model->setData(index, text, Qt::EditRole);
  committing_ = false;
}
