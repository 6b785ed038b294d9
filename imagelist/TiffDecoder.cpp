#include "imagelist/TiffDecoder.h"

#include "platform/Error.h"

#include <QFile>

#include <cstdarg>
#include <memory>

#include <tiffio.h>

namespace {

// A header may claim any size; beyond this many pixels the buffer isn't even
// tried, so a damaged or hostile file can't take all the memory.
constexpr quint64 kMaxPixels = quint64(1) << 28;

// The same holds for libtiff's own buffers (strips, tiles, tag arrays), whose
// sizes come from the file too: one allocation may be as large as our biggest
// raster, no larger.
constexpr tmsize_t kMaxSingleAllocation = tmsize_t(kMaxPixels * 4);

// The viewer has no log: libtiff's complaints about damaged files would only
// end up on the terminal. The outcome is judged by the calls' results.
int quietHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};

std::unique_ptr<TIFF, TiffCloser> openTiff(const QString& path) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options, quietHandler, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, quietHandler, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxSingleAllocation);
  TIFF* tif = TIFFOpenExt(QFile::encodeName(path).constData(), "r", options);
  TIFFOpenOptionsFree(options);
  return std::unique_ptr<TIFF, TiffCloser>(tif);
}

}  // namespace

QImage decodeTiff(const QString& path) {
  auto tif = openTiff(path);
  if (!tif) throw platform::Error(QStringLiteral("Unable to open file '") + path + QStringLiteral("'"));

  uint32_t width = 0, height = 0;
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);

  // libtiff's RGBA reader hands out premultiplied (associated) alpha, whatever
  // the file stores: an unassociated alpha channel is multiplied in by the
  // reader. The picture takes the values as they come, in a premultiplied
  // format, so that half-transparent colours are not drawn darker than they are.
  QImage image;
  if (width > 0 && height > 0 && quint64(width) * height <= kMaxPixels)
    image = QImage(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) throw platform::Error(QStringLiteral("Unable to create TBitmap buffer"));

  // 32-bit rows are exactly width * 4 bytes, so the picture's memory is the
  // contiguous raster the reader wants. Errors in the data don't stop it: what
  // can be read is shown.
  auto* raster = reinterpret_cast<uint32_t*>(image.bits());
  if (!TIFFReadRGBAImageOriented(tif.get(), width, height, raster, ORIENTATION_TOPLEFT, 0))
    throw platform::Error(QStringLiteral("Unable to read TIFF image '") + path + QStringLiteral("'"));

  // libtiff packs red in the low byte; QImage wants 0xAARRGGBB.
  const qsizetype count = qsizetype(width) * height;
  for (qsizetype i = 0; i < count; ++i) {
    const uint32_t p = raster[i];
    raster[i] = qRgba(int(TIFFGetR(p)), int(TIFFGetG(p)), int(TIFFGetB(p)), int(TIFFGetA(p)));
  }
  return image;
}
