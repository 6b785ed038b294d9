#pragma once

#include <QWidget>

#include <memory>
#include <vector>

class Layer;

// A view that shows a stack of layers, bottom first, at their own pixel
// locations; the mouse goes to the layers top first until one takes it.
class LayeredImage : public QWidget {
  Q_OBJECT

 public:
  explicit LayeredImage(QWidget* parent = nullptr);
  ~LayeredImage() override;

  // Adds a layer on top and returns it; the view owns it.
  template <typename L>
  L* addLayer() {
    auto layer = std::make_unique<L>(this);
    L* raw = layer.get();
    layers_.push_back(std::move(layer));
    update();
    return raw;
  }

  int layerCount() const { return static_cast<int>(layers_.size()); }
  Layer* layer(int index) const { return layers_.at(static_cast<std::size_t>(index)).get(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void showCursorAt(QPoint point);

  std::vector<std::unique_ptr<Layer>> layers_;
  Layer* grabber_ = nullptr;  // the layer that took the press, until release
};
