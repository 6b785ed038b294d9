#include "platform/WindowSize.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <climits>

namespace platform {
namespace {

QSize availableSize(const QWidget* window) {
  const QScreen* screen = window->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry().size() : QSize(INT_MAX, INT_MAX);
}

QSize frameOf(const QWidget* window) { return window->frameGeometry().size() - window->size(); }

// Applies the outer size with the frame as it is known now.
void apply(QWidget* window, std::optional<int> width, std::optional<int> height) {
  const QSize frame = frameOf(window);
  const QSize outer = window->size() + frame;
  const QSize fitted = fitOuterSize(QSize(width.value_or(outer.width()), height.value_or(outer.height())),
                                    availableSize(window));
  window->resize(width ? fitted.width() - frame.width() : window->width(),
                 height ? fitted.height() - frame.height() : window->height());
}

// Gives the size once more at the window's first paint after it was shown,
// when a window manager has framed it, and then goes.
class FramedResize : public QObject {
 public:
  static constexpr const char* kName = "platform_FramedResize";

  FramedResize(QWidget* window, std::optional<int> width, std::optional<int> height)
      : QObject(window), window_(window), width_(width), height_(height) {
    setObjectName(QString::fromLatin1(kName));
    window->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::Paint && window_->isVisible()) {
      window_->removeEventFilter(this);
      if (!frameOf(window_).isNull()) apply(window_, width_, height_);
      deleteLater();
    }
    return false;
  }

 private:
  QPointer<QWidget> window_;
  std::optional<int> width_, height_;
};

}  // namespace

QSize fitOuterSize(QSize stored, QSize available) {
  return QSize(std::clamp(stored.width(), 0, std::max(0, available.width())),
               std::clamp(stored.height(), 0, std::max(0, available.height())));
}

void restoreOuterSize(QWidget* window, std::optional<int> width, std::optional<int> height) {
  if (!window || (!width && !height)) return;
  const QString name = QString::fromLatin1(FramedResize::kName);
  for (QObject* earlier : window->findChildren<QObject*>(name, Qt::FindDirectChildrenOnly)) {
    window->removeEventFilter(earlier);
    delete earlier;
  }
  apply(window, width, height);
  // A window already framed keeps its frame; one not yet shown gets it later.
  if (frameOf(window).isNull()) new FramedResize(window, width, height);
}

}  // namespace platform
