#include "output/PrintGeometry.h"

namespace output {

QSize printTargetSize(int width, int height, int printableWidth, int printableHeight) {
  if (width < 1 || height < 1 || printableWidth < 1 || printableHeight < 1) return QSize();
  qint64 targetWidth = printableWidth;
  qint64 targetHeight = static_cast<qint64>(height) * printableWidth / width;
  if (targetHeight > printableHeight) {
    targetHeight = printableHeight;
    targetWidth = static_cast<qint64>(printableHeight) * width / height;
  }
  return QSize(static_cast<int>(targetWidth), static_cast<int>(targetHeight));
}

}  // namespace output
