#pragma once

#include <QString>

// Writes an 850 x 1100 BMP that looks like a scanned letter page: white paper
// with a grey border, a coloured block and some dark lines, so a shrunken copy
// shows whether it sits where it should.
QString writeLetterScan(const QString& folder);
