// TIFF pages for the viewer, through libtiff's RGBA reader.

#include "FuzzInput.h"
#include "imagelist/TiffDecoder.h"
#include "platform/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString path = fuzz_input::writeScratch(QStringLiteral("page.tiff"), data, size);
  try {
    const QImage image = decodeTiff(path);
    (void)image.constBits();
  } catch (const platform::Error&) {
  }
  return 0;
}
