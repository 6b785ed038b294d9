#include "preview/PreviewPane.h"

#include "preview/AreaLayer.h"
#include "preview/LayeredImage.h"
#include "preview/PreviewFit.h"
#include "preview/PreviewLayer.h"
#include "preview/RulerImage.h"
#include "preview/RulerMarks.h"
#include "preview/SelectionFrame.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>

namespace {

constexpr int kRulerThickness = 15;
constexpr int kBorder = 1;
constexpr int kRulerPanel = kRulerThickness + 2 * kBorder;

// A ruler inside a panel with a 1-pixel border, so the ruler starts one
// pixel further along than the pane.
QFrame* rulerPanel(QWidget* parent, RulerImage* ruler, QSize rulerSize) {
  auto* panel = new QFrame(parent);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setLineWidth(kBorder);
  panel->setFixedSize(rulerSize + QSize(2 * kBorder, 2 * kBorder));
  ruler->setParent(panel);
  ruler->setFixedSize(rulerSize);
  ruler->move(kBorder, kBorder);
  return panel;
}

}  // namespace

PreviewPane::PreviewPane(QWidget* parent)
    : QGroupBox(QStringLiteral("Preview"), parent),
      image_(new LayeredImage(this)),
      topRuler_(new RulerImage),
      leftRuler_(new RulerImage),
      spacer_(new QLabel(this)) {
  setObjectName(QStringLiteral("gb_Preview"));
  image_->setObjectName(QStringLiteral("I32_Preview"));
  topRuler_->setObjectName(QStringLiteral("img_TopRuler"));
  leftRuler_->setObjectName(QStringLiteral("img_LeftRuler"));
  spacer_->setObjectName(QStringLiteral("pnl_Spacer"));

  image_->setFixedSize(kPaneWidth, kPaneHeight);
  QFrame* top = rulerPanel(this, topRuler_, QSize(kPaneWidth - 2 * kBorder, kRulerThickness));
  QFrame* left = rulerPanel(this, leftRuler_, QSize(kRulerThickness, kPaneHeight - 2 * kBorder));
  spacer_->setFixedSize(kRulerPanel, kRulerPanel);
  spacer_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  spacer_->setLineWidth(kBorder);
  spacer_->setAlignment(Qt::AlignCenter);
  QFont small = spacer_->font();
  small.setPixelSize(9);
  spacer_->setFont(small);

  auto* grid = new QGridLayout(this);
  grid->setSpacing(0);
  grid->addWidget(spacer_, 0, 0);
  grid->addWidget(top, 0, 1);
  grid->addWidget(left, 1, 0);
  grid->addWidget(image_, 1, 1);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(2, 1);

  setMinimumSize(QSize(210, 300).expandedTo(sizeHint()));
  setFixedHeight(minimumHeight());
}

void PreviewPane::createLayers() {
  if (frame_) return;
  const FloatRect whole{0.0f, 0.0f, static_cast<float>(image_->width()), static_cast<float>(image_->height())};
  previewLayer_ = image_->addLayer<PreviewLayer>();
  previewLayer_->setLocation(whole);
  areaLayer_ = image_->addLayer<AreaLayer>();
  areaLayer_->setLocation(whole);
  frame_ = image_->addLayer<SelectionFrame>();
  frame_->setMinimumSize(QSizeF(1, 1));
  frame_->setMaximumSize(QSizeF(image_->width(), image_->height()));
  frame_->setChild(areaLayer_);
  frame_->setResizing([this](const FloatRect& old, FloatRect& next, DragState state, Qt::KeyboardModifiers keys) {
    if (resizing_) resizing_(old, next, state, keys);
  });
}

void PreviewPane::drawRulers(double scale, int displayUnits) {
  const QColor face = palette().color(QPalette::Button);
  const QColor text = palette().color(QPalette::WindowText);
  const auto draw = [&](RulerImage* ruler, int length, ruler_marks::Side side) {
    const ruler_marks::Ruler marks = ruler_marks::rulerMarks(length, scale, displayUnits, side);
    ruler_marks::paintRuler(ruler->canvas(), marks, side, face, text);
    if (marks.caption) spacer_->setText(*marks.caption);
  };
  draw(topRuler_, topRuler_->width(), ruler_marks::Side::Top);
  draw(leftRuler_, leftRuler_->height(), ruler_marks::Side::Left);
}

float PreviewPane::loadPreviewImage(const QString& path, int currentResolution, int displayUnits) {
  // Everything that can fail happens before the pane changes.
  preview_fit::Loaded loaded = preview_fit::loadFitted(path, image_->size(), image_->devicePixelRatioF());
  createLayers();
  previewLayer_->setLocation(loaded.fit.area);
  previewLayer_->setBitmap(std::move(loaded.bitmap));
  areaLayer_->setLocation(previewLayer_->location());
  const float scale = preview_fit::previewScale(currentResolution, loaded.fit.factor);
  drawRulers(scale, displayUnits);
  frame_->setChild(areaLayer_);
  frame_->setLocation(previewLayer_->location());
  return scale;
}

void PreviewPane::placeNamedSize(const FloatRect& rect) {
  createLayers();
  areaLayer_->setLocation(rect);
  frame_->setLocation(areaLayer_->location());
}

FloatRect PreviewPane::areaLocation() const { return areaLayer_ ? areaLayer_->location() : FloatRect{}; }

FloatRect PreviewPane::frameLocation() const { return frame_ ? frame_->location() : FloatRect{}; }

FloatRect PreviewPane::imageArea() const { return previewLayer_ ? previewLayer_->location() : FloatRect{}; }

void PreviewPane::setResizing(Resizing resizing) { resizing_ = std::move(resizing); }
