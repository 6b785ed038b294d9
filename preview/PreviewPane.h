#pragma once

#include "preview/DragState.h"
#include "preview/FloatRect.h"

#include <QGroupBox>

#include <functional>

class AreaLayer;
class LayeredImage;
class PreviewLayer;
class QLabel;
class RulerImage;
class SelectionFrame;

// The "Preview" group of the main window: the layered preview image between
// its two rulers, with the unit caption in the corner.
//
// The main window calls createLayers() and drawRulers(20.78, units) when first
// shown, loadPreviewImage() after each preview, placeNamedSize() when a page
// size is picked, and sets the resizing handler, which runs on every pointer
// move of a frame drag. The scan area is areaLocation().
//
// The main window's resizing handler is three calls:
//   frame_geometry::clampToImage(oldLocation, newLocation, state, pane->imageArea());
//   <status panel 2> = units::sizeReadout(newLocation, PreviewScale, DisplayUnits);
//   if (!(keys & Qt::ShiftModifier)) cmb_Size->setCurrentIndex(page_sizes::kCustom);
class PreviewPane : public QGroupBox {
  Q_OBJECT

 public:
  using Resizing =
      std::function<void(const FloatRect& oldLocation, FloatRect& newLocation, DragState, Qt::KeyboardModifiers)>;

  static constexpr int kPaneWidth = 279;
  static constexpr int kPaneHeight = 422;

  explicit PreviewPane(QWidget* parent = nullptr);

  // PreviewLayer, AreaLayer and SelectionFrame, bottom to top, each covering
  // the whole pane; the frame can grow at most to the pane's size now. Once.
  void createLayers();

  // Redraws both rulers at `scale` pane pixels per inch in `displayUnits`
  // (1 inches, 2 metric; anything else leaves them blank and the caption as is).
  void drawRulers(double scale, int displayUnits);

  // Shows the picture at `path` fitted into the pane, puts the frame around it
  // and redraws the rulers; returns the new preview scale. Throws
  // platform::Error naming the path, before changing anything, when the file
  // can't be read or isn't a picture.
  float loadPreviewImage(const QString& path, int currentResolution, int displayUnits);

  // A named size's rectangle becomes the selected area and the frame. Not
  // limited to the image.
  void placeNamedSize(const FloatRect& rect);

  FloatRect areaLocation() const;
  FloatRect frameLocation() const;
  FloatRect imageArea() const;  // PreviewLayer's location

  void setResizing(Resizing resizing);

  LayeredImage* image() const { return image_; }
  RulerImage* topRuler() const { return topRuler_; }
  RulerImage* leftRuler() const { return leftRuler_; }
  QLabel* spacer() const { return spacer_; }
  PreviewLayer* previewLayer() const { return previewLayer_; }
  AreaLayer* areaLayer() const { return areaLayer_; }
  SelectionFrame* selectionFrame() const { return frame_; }

 private:
  LayeredImage* image_;
  RulerImage* topRuler_;
  RulerImage* leftRuler_;
  QLabel* spacer_;
  PreviewLayer* previewLayer_ = nullptr;
  AreaLayer* areaLayer_ = nullptr;
  SelectionFrame* frame_ = nullptr;
  Resizing resizing_;
};
