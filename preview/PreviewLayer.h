#pragma once

#include "preview/Layer.h"

#include <QImage>

// The bottom layer: the preview, already scaled to the size it is shown at,
// drawn at its location's top-left without any further scaling.
class PreviewLayer : public Layer {
 public:
  using Layer::Layer;

  const QImage& bitmap() const { return bitmap_; }
  void setBitmap(QImage bitmap);

  void paint(QPainter& painter) const override;

 private:
  QImage bitmap_;
};
