#include "status/StatusBar.h"

#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QProgressBar>
#include <QStyle>
#include <QStyleOption>
#include <QToolTip>

const QColor StatusBar::kErrorColor(255, 0, 0);
const QColor StatusBar::kOkColor(0, 128, 0);

StatusBar::StatusBar(QWidget* parent) : QWidget(parent), progress_(new QProgressBar(this)) {
  setObjectName(QStringLiteral("sb_Main"));
  setFixedHeight(kHeight);
  setAutoFillBackground(true);
  progress_->setObjectName(QStringLiteral("pb_ScanProgress"));
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->resize(150, 17);
  progress_->hide();
}

void StatusBar::setStatus(const QString& text, bool isError) {
  statusText_ = text;
  statusIsError_ = isError;
  repaint();
  emit statusChanged(text, isError);
}

void StatusBar::setPanelText(int panel, const QString& text) {
  if (panel < 0 || panel >= static_cast<int>(texts_.size())) return;
  texts_[panel] = text;
  update(panelRect(panel));
}

QString StatusBar::panelText(int panel) const {
  if (panel < 0 || panel >= static_cast<int>(texts_.size())) return {};
  return texts_[panel];
}

QRect StatusBar::panelRect(int panel) const {
  // The status text takes what the bar is wider than in the designed window,
  // so a long text has room; the last panel takes whatever width remains.
  const int gained = qMax(0, this->width() - kDesignWidth);
  const auto widthOf = [&](int i) { return kPanelWidths[i] + (i == 0 ? gained : 0); };
  int left = 0;
  for (int i = 0; i < panel; ++i) left += widthOf(i);
  int width = widthOf(panel);
  if (panel == static_cast<int>(kPanelWidths.size()) - 1) width = qMax(width, this->width() - left);
  return QRect(left, 0, width, height());
}

bool StatusBar::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    // The panel cuts a long status text off; the tooltip shows all of it.
    auto* help = static_cast<QHelpEvent*>(event);
    const QRect panel = panelRect(0);
    if (panel.contains(help->pos()) && fontMetrics().horizontalAdvance(statusText_) > panel.width() - 2)
      QToolTip::showText(help->globalPos(), statusText_, this, panel);
    else
      QToolTip::hideText();
    return true;
  }
  return QWidget::event(event);
}

void StatusBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawStatusPanel(painter, panelRect(0));
  drawProgressPanel(painter, panelRect(1));
  for (int panel = 2; panel < 4; ++panel) {
    const QRect rect = panelRect(panel);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect.adjusted(3, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, texts_[panel]);
  }
}

void StatusBar::drawStatusPanel(QPainter& painter, const QRect& rect) {
  const QColor face = palette().color(QPalette::Window);
  painter.setPen(face);
  painter.setBrush(face);
  painter.drawRect(rect.adjusted(0, 0, -1, -1));
  painter.setPen(statusIsError_ ? kErrorColor : kOkColor);
  const QRect textRect(rect.left() + 2, rect.top(), rect.width() - 2, rect.height());
  painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, statusText_);
}

void StatusBar::drawProgressPanel(QPainter& painter, const QRect& rect) {
  progress_->setGeometry(rect.left(), rect.top(), rect.width(), qMin(rect.height(), 17));
  // The bar's picture comes from the style, drawn straight onto this painter.
  // QWidget::render into a painter that is already painting a widget places
  // the picture relative to the window, so it showed only while the status
  // bar sat at the window's top-left corner.
  QStyleOptionProgressBar option;
  option.initFrom(progress_);
  option.rect = progress_->geometry();
  option.minimum = progress_->minimum();
  option.maximum = progress_->maximum();
  option.progress = progress_->value();
  option.textVisible = false;
  option.state |= QStyle::State_Horizontal;
  painter.save();
  painter.setClipRect(rect);  // the style's frame may reach past the bar's edge
  painter.fillRect(rect, palette().color(QPalette::Window));
  progress_->style()->drawControl(QStyle::CE_ProgressBar, &option, &painter, progress_);
  painter.restore();
}
