#pragma once

#include <QImage>
#include <QWidget>

// An image control that owns a bitmap of its own size (in device pixels on a
// scaled screen), made the first time it is drawn on and kept after that.
class RulerImage : public QWidget {
  Q_OBJECT

 public:
  explicit RulerImage(QWidget* parent = nullptr) : QWidget(parent) {}

  // The bitmap to draw on; created at the control's size on first use, with
  // the screen's device pixel ratio.
  QImage& canvas();
  const QImage& bitmap() const { return bitmap_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage bitmap_;
};
