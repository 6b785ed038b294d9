#pragma once

#include <QString>

// The status bar's reading of how many files the list holds: "0 files",
// "1 file", "2 files".
QString fileCountText(int count);
