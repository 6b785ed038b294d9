#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <array>

class QProgressBar;

// The main window's status bar: four panels side by side. Panel 0 shows the
// status text in green, or red when it reports a failure, and the whole text
// in a tooltip when the panel cuts it off; panel 1 shows the progress bar's
// picture (the bar itself stays hidden); panels 2 and 3 hold plain texts that
// other parts of the window fill.
class StatusBar : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 19;
  static constexpr std::array<int, 4> kPanelWidths{250, 150, 193, 50};
  // The bar's width in the main window at its designed size; the status text
  // takes whatever the bar is wider than that.
  static constexpr int kDesignWidth = 790;
  static const QColor kErrorColor;  // pure red
  static const QColor kOkColor;     // half-intensity green

  explicit StatusBar(QWidget* parent = nullptr);

  // Stores the text and the flag and repaints at once, without waiting for the
  // event loop.
  void setStatus(const QString& text, bool isError);
  QString statusText() const { return statusText_; }
  bool statusIsError() const { return statusIsError_; }

  void setPanelText(int panel, const QString& text);
  QString panelText(int panel) const;
  QRect panelRect(int panel) const;

  QProgressBar* progressBar() const { return progress_; }

 signals:
  // Every setStatus, after the repaint.
  void statusChanged(const QString& text, bool isError);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void drawStatusPanel(QPainter& painter, const QRect& rect);
  void drawProgressPanel(QPainter& painter, const QRect& rect);

  QString statusText_;
  bool statusIsError_ = false;
  std::array<QString, 4> texts_;
  QProgressBar* progress_;
};
