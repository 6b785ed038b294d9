#pragma once

#include <QSize>

// The size at which the viewer draws a picture of `picture` pixels into a
// control of `client` pixels: as large as fits with the proportions kept,
// small pictures enlarged too. Drawn from the control's top-left corner.
// An empty picture (or control) gets an empty size.
QSize proportionalSize(const QSize& picture, const QSize& client);
