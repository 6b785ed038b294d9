#include "platform/PictureLoader.h"

#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

namespace platform {
namespace {

// Pictures beyond this many pixels are refused instead of allocated: the
// viewer can't show them anyway and a damaged header must not exhaust memory.
constexpr qint64 kMaxPixels = qint64(1) << 28;

// libjpeg's own working memory. A baseline picture needs a few rows of it; a
// progressive one keeps every coefficient of the picture, six bytes a pixel in
// colour, which for a crafted header means gigabytes before a single row is
// decoded. Beyond this libjpeg stops with an error instead of allocating.
constexpr long kMaxJpegWorkingMemory = 512L * 1024 * 1024;

QString openFailure(const QString& path) {
  return QStringLiteral("Unable to open file '") + path + QStringLiteral("'");
}

QString loadFailure(const QString& path, const QString& reason) {
  return QStringLiteral("Unable to load picture '") + path + QStringLiteral("': ") + reason;
}

QByteArray readWholeFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) throw Error(openFailure(path));
  return file.readAll();
}

quint32 le16(const uchar* at) { return quint32(at[0]) | quint32(at[1]) << 8; }
quint32 le32(const uchar* at) { return le16(at) | le16(at + 2) << 16; }

// Qt's bitmap reader stops at the end of the file without a word and leaves
// the rows it never read black. Whether the file holds every row its header
// promises is told by the header: uncompressed rows have a fixed size, and a
// compressed picture says how many bytes its pixels take. Headers the reader
// will refuse anyway pass here.
bool bitmapEndsEarly(const QByteArray& head, qint64 fileSize) {
  if (head.size() < 26 || !head.startsWith("BM")) return false;
  const auto* at = reinterpret_cast<const uchar*>(head.constData());
  const quint32 offset = le32(at + 10);
  const quint32 headerSize = le32(at + 14);
  qint64 width = 0, height = 0, bits = 0, compression = 0, imageSize = 0;
  if (headerSize == 12) {  // the OS/2 header
    width = le16(at + 18);
    height = le16(at + 20);
    bits = le16(at + 24);
  } else if (headerSize >= 40 && head.size() >= 38) {
    width = qint32(le32(at + 18));
    height = qint32(le32(at + 22));
    bits = le16(at + 28);
    compression = le32(at + 30);
    imageSize = le32(at + 34);
  } else {
    return false;
  }
  height = height < 0 ? -height : height;
  if (width <= 0 || height == 0 || width > (1 << 24) || height > (1 << 24) || bits <= 0 || bits > 32) return false;
  constexpr qint64 kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;
  qint64 pixelBytes = imageSize;
  if (compression == kRgb || compression == kBitFields || compression == kAlphaBitFields)
    pixelBytes = (width * bits + 31) / 32 * 4 * height;
  return qint64(offset) + pixelBytes > fileSize;
}

QImage loadBmp(const QString& path) {
  // Opened here: the image reader says "File not found" for a file it may
  // not read as well, which would send the user looking for the wrong fault.
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) throw Error(openFailure(path));
  if (bitmapEndsEarly(file.peek(64), file.size()))
    throw Error(loadFailure(path, QStringLiteral("Premature end of BMP file")));
  QImageReader reader(&file, "bmp");
  reader.setDecideFormatFromContent(false);
  // Qt's default limit (256 MB) is below what a large colour scan needs.
  reader.setAllocationLimit(int(kMaxPixels * 4 / (1024 * 1024)));
  QImage image = reader.read();
  if (image.isNull()) throw Error(loadFailure(path, reader.errorString()));
  return image;
}

// Everything the JPEG decoder touches lives here, in the caller's frame, so
// that the longjmp out of libjpeg leaves nothing half-destroyed behind it.
struct JpegError {
  jpeg_error_mgr pub;  // first, so libjpeg's pointer to it is a pointer to us
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

struct JpegJob {
  jpeg_decompress_struct cinfo;
  JpegError error{};
  const QByteArray* data = nullptr;
  int scaleNum = 8;
  QImage image;
  QByteArray cmykRow;
  char* message = error.message;
};

extern "C" void jpegErrorExit(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<JpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, error->message);
  std::longjmp(error->jump, 1);
}

// A file that ends early is decoded by libjpeg as grey padding with only a
// warning; that would show a damaged picture as if it were fine.
extern "C" void jpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) jpegErrorExit(cinfo);
}

void cmykToRgb(const uchar* cmyk, QRgb* out, int width, bool inverted) {
  for (int x = 0; x < width; ++x, cmyk += 4) {
    int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    out[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
  }
}

// Returns false with job->message set on failure.
bool decodeJpeg(JpegJob* job) {
  jpeg_decompress_struct* cinfo = &job->cinfo;
  cinfo->err = jpeg_std_error(&job->error.pub);
  job->error.pub.error_exit = jpegErrorExit;
  job->error.pub.emit_message = jpegEmitMessage;
  if (setjmp(job->error.jump)) {
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  jpeg_create_decompress(cinfo);
  jpeg_mem_src(cinfo, reinterpret_cast<const unsigned char*>(job->data->constData()),
               static_cast<unsigned long>(job->data->size()));
  cinfo->mem->max_memory_to_use = kMaxJpegWorkingMemory;
  jpeg_read_header(cinfo, TRUE);

  QImage::Format format = QImage::Format_RGB888;
  bool cmyk = false;
  switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
      cinfo->out_color_space = JCS_GRAYSCALE;
      format = QImage::Format_Grayscale8;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo->out_color_space = JCS_CMYK;
      format = QImage::Format_RGB32;
      cmyk = true;
      break;
    default:
      cinfo->out_color_space = JCS_EXT_RGB;
      break;
  }
  cinfo->scale_num = static_cast<unsigned int>(job->scaleNum);
  cinfo->scale_denom = 8;
  jpeg_start_decompress(cinfo);

  const qint64 width = cinfo->output_width, height = cinfo->output_height;
  if (width * height > kMaxPixels) {
    qsnprintf(job->message, JMSG_LENGTH_MAX, "picture too large (%lld x %lld)",
              static_cast<long long>(width), static_cast<long long>(height));
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  job->image = QImage(int(width), int(height), format);
  if (job->image.isNull()) {
    qsnprintf(job->message, JMSG_LENGTH_MAX, "not enough memory");
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  if (cmyk) job->cmykRow.resize(width * 4);
  while (cinfo->output_scanline < cinfo->output_height) {
    uchar* line = job->image.scanLine(int(cinfo->output_scanline));
    JSAMPROW row = cmyk ? reinterpret_cast<JSAMPROW>(job->cmykRow.data()) : line;
    jpeg_read_scanlines(cinfo, &row, 1);
    if (cmyk)
      cmykToRgb(row, reinterpret_cast<QRgb*>(line), int(width), cinfo->saw_Adobe_marker);
  }
  jpeg_finish_decompress(cinfo);
  jpeg_destroy_decompress(cinfo);
  return true;
}

int jpegScaleNum(const QSize& full, const QSize& atLeast) {
  if (!atLeast.isValid() || atLeast.isEmpty() || full.isEmpty()) return 8;
  for (int num = 1; num < 8; ++num) {
    const qint64 w = (qint64(full.width()) * num + 7) / 8;
    const qint64 h = (qint64(full.height()) * num + 7) / 8;
    if (w >= atLeast.width() && h >= atLeast.height()) return num;
  }
  return 8;
}

// Reads only the header, for the picture's full size.
QSize jpegSize(const QByteArray& data) {
  JpegJob job;
  job.data = &data;
  jpeg_decompress_struct* cinfo = &job.cinfo;
  cinfo->err = jpeg_std_error(&job.error.pub);
  job.error.pub.error_exit = jpegErrorExit;
  job.error.pub.emit_message = jpegEmitMessage;
  if (setjmp(job.error.jump)) {
    jpeg_destroy_decompress(cinfo);
    return QSize();
  }
  jpeg_create_decompress(cinfo);
  jpeg_mem_src(cinfo, reinterpret_cast<const unsigned char*>(data.constData()),
               static_cast<unsigned long>(data.size()));
  jpeg_read_header(cinfo, TRUE);
  const QSize size(int(cinfo->image_width), int(cinfo->image_height));
  jpeg_destroy_decompress(cinfo);
  return size;
}

QImage loadJpeg(const QString& path, const QSize& atLeast, QSize* fullSize) {
  const QByteArray data = readWholeFile(path);
  JpegJob job;
  job.data = &data;
  const QSize full = atLeast.isValid() ? jpegSize(data) : QSize();
  job.scaleNum = jpegScaleNum(full, atLeast);
  if (!decodeJpeg(&job)) throw Error(loadFailure(path, QString::fromLocal8Bit(job.message)));
  if (fullSize) *fullSize = job.scaleNum == 8 ? job.image.size() : full;
  return job.image;
}

}  // namespace

QSize reducedJpegSize(const QSize& full, const QSize& atLeast) {
  const int num = jpegScaleNum(full, atLeast);
  return QSize(int((qint64(full.width()) * num + 7) / 8), int((qint64(full.height()) * num + 7) / 8));
}

QImage loadPicture(const QString& path, const QSize& atLeast, QSize* fullSize) {
  const QString suffix = QFileInfo(path).suffix();
  const QString extension = suffix.toLower();
  if (extension == QLatin1String("bmp")) {
    QImage image = loadBmp(path);
    if (fullSize) *fullSize = image.size();
    return image;
  }
  if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg"))
    return loadJpeg(path, atLeast, fullSize);
  const QString shown = suffix.isEmpty() ? QString() : QStringLiteral(".") + suffix;
  throw Error(QStringLiteral("Unknown picture file extension (") + shown + QStringLiteral(")"));
}

}  // namespace platform
