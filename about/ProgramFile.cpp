#include "about/ProgramFile.h"

#include <QCoreApplication>

namespace {
QString& overridden() {
  static QString path;
  return path;
}
}  // namespace

QString ProgramFile::path() {
  if (!overridden().isEmpty()) return overridden();
  return QCoreApplication::applicationFilePath();
}

void ProgramFile::overrideForTests(const QString& path) { overridden() = path; }
void ProgramFile::reset() { overridden().clear(); }
