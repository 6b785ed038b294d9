#pragma once

#include <QSize>

#include <optional>

class QWidget;

// Window sizes as the preferences keep them: outer sizes, frame included.
namespace platform {

// The outer size to give a window: the stored one, each side no larger than
// the screen's free area and no smaller than nothing.
QSize fitOuterSize(QSize stored, QSize available);

// Gives `window` the outer size asked for, fitted to the free area of its
// screen; a side without a value keeps the window's present client size.
// Before a window manager has framed the window, the frame is not known and
// counts as nothing; the size is given once more when the window is first
// painted, by then framed, so the frame is not added on top of it.
void restoreOuterSize(QWidget* window, std::optional<int> width, std::optional<int> height);

}  // namespace platform
