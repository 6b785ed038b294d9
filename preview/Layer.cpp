#include "preview/Layer.h"

#include "preview/LayeredImage.h"

void Layer::setLocation(const FloatRect& location) {
  if (location_ == location) return;
  location_ = location;
  changed();
}

void Layer::setVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  changed();
}

void Layer::changed() {
  if (owner_) owner_->update();
}
