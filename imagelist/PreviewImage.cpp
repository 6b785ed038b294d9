#include "imagelist/PreviewImage.h"

#include "imagelist/PicturePlacement.h"

#include <QPainter>

#include <exception>

PreviewImage::PreviewImage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Image"));
}

void PreviewImage::setPicture(const QImage& picture, const QSize& fullSize, Reload reload) {
  picture_ = picture;
  fullSize_ = fullSize.isValid() ? fullSize : picture.size();
  reload_ = picture.size() == fullSize_ ? Reload() : std::move(reload);
  scaled_ = QImage();
  update();
}

QSize PreviewImage::pictureSize() const { return fullSize_; }

QRect PreviewImage::pictureRect() const {
  return QRect(QPoint(0, 0), proportionalSize(pictureSize(), size()));
}

void PreviewImage::sharpenIfNeeded() {
  if (!reload_) return;
  if (picture_.width() >= width() && picture_.height() >= height()) return;
  try {
    const QImage sharper = reload_(size());
    if (!sharper.isNull()) {
      picture_ = sharper;
      scaled_ = QImage();
    }
  } catch (const std::exception&) {
    // The file went away since it was shown: keep what we have.
    reload_ = Reload();
  }
  if (picture_.size() == fullSize_) reload_ = Reload();
}

void PreviewImage::paintEvent(QPaintEvent*) {
  const QRect target = pictureRect();
  if (picture_.isNull() || target.isEmpty()) return;
  sharpenIfNeeded();
  if (scaled_.size() != target.size())
    scaled_ = picture_.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  QPainter painter(this);
  painter.drawImage(target.topLeft(), scaled_);
}
