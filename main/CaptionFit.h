#pragma once

#include <QList>

class QToolButton;

// Lets fixed-size tool buttons show their whole captions beside their icons,
// all in one font: a narrow family where the system has one, then smaller
// sizes down to 8 pixels. The buttons' texts stay exactly as they were set.
void fitCaptions(const QList<QToolButton*>& buttons);
