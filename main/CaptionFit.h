#pragma once

class QToolButton;

// Lets a fixed-size tool button show its whole caption beside its icon: a
// narrow family where the system has one, then smaller sizes down to 8
// pixels. The button's text stays exactly as it was set.
void fitCaption(QToolButton* button);
