#pragma once

#include <QStyledItemDelegate>

#include <functional>

// Commits an in-place caption edit through a handler that may change the
// text (a refused rename gives the old caption back) before the item takes it.
class CaptionDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using Edited = std::function<void(const QModelIndex& index, QString& text)>;

  CaptionDelegate(Edited edited, QObject* parent = nullptr);

  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;

 private:
  Edited edited_;
  // A message box shown while committing takes the focus from the editor,
  // which commits once more; that second commit must not rename again.
  mutable bool committing_ = false;
};
