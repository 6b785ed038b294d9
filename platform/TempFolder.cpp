#include "platform/TempFolder.h"

#include <QDir>

namespace platform {

QString tempFolder() {
  QString temp = qEnvironmentVariable("TEMP");
  if (temp.isEmpty()) temp = QDir::tempPath();
  while (temp.size() > 1 && temp.endsWith(QLatin1Char('/'))) temp.chop(1);
  return temp;
}

}  // namespace platform
