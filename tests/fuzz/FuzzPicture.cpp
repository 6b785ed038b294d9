// Picture files for the viewer and the preview: BMP through Qt's reader,
// JPEG through libjpeg, whole and reduced to a viewer's size.

#include "FuzzInput.h"
#include "platform/Error.h"
#include "platform/PictureLoader.h"

#include <QSize>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first byte picks the decoder and the viewer size, so that one corpus
  // reaches both decoders and the reduced JPEG path.
  if (size < 1) return 0;
  const bool jpeg = data[0] & 1;
  const QSize viewer = (data[0] & 2) ? QSize(429, 545) : QSize();
  const QString path = fuzz_input::writeScratch(jpeg ? QStringLiteral("page.jpg") : QStringLiteral("page.bmp"),
                                                data + 1, size - 1);
  try {
    QSize full;
    const QImage image = platform::loadPicture(path, viewer, &full);
    (void)image.constBits();
  } catch (const platform::Error&) {
  }
  return 0;
}
