#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

// The viewer's image control: draws its picture as large as fits, proportions
// kept, from the top-left corner.
//
// A picture may come decoded reduced; it then carries its full size and a way
// to decode it again, which is used when the control grows past what the
// reduced picture can show sharply.
class PreviewImage : public QWidget {
  Q_OBJECT

 public:
  using Reload = std::function<QImage(const QSize& atLeast)>;

  explicit PreviewImage(QWidget* parent = nullptr);

  void setPicture(const QImage& picture, const QSize& fullSize = QSize(), Reload reload = {});
  const QImage& picture() const { return picture_; }
  // The picture's own size, whatever resolution it is held at.
  QSize pictureSize() const;
  // Where the picture is drawn in the control.
  QRect pictureRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void sharpenIfNeeded();

  QImage picture_;
  QSize fullSize_;
  Reload reload_;
  QImage scaled_;  // the picture at its drawn size, kept between paints
};
