#include "imagelist/FileCount.h"

QString fileCountText(int count) {
  if (count == 1) return QStringLiteral("1 file");
  return QString::asprintf("%i", count) + QStringLiteral(" files");
}
