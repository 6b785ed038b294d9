#pragma once

#include <QString>

// The full path of the program's own executable file, whose version block the
// About window reads. Tests point it at another file.
class ProgramFile {
 public:
  // The empty text when the path can't be obtained.
  static QString path();

  static void overrideForTests(const QString& path);
  static void reset();
};
