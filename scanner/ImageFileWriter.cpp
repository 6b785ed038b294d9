#include "scanner/ImageFileWriter.h"

#include <QByteArray>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jpeglib.h>
#include <jerror.h>
#include <tiffio.h>

namespace {

QString systemReason(int code) {
  char buffer[256];
  // GNU strerror_r: thread-safe, returns the text (maybe not in buffer).
  return QString::fromLocal8Bit(strerror_r(code, buffer, sizeof buffer));
}

// Writes all of `size` bytes; false with errno set when the system refuses.
bool writeAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {
      errno = ENOSPC;
      return false;
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// The pixel layouts the encoders understand.
QImage normalized(const QImage& image) {
  switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_Grayscale8:
    case QImage::Format_RGB888:
      return image;
    case QImage::Format_MonoLSB:
      return image.convertToFormat(QImage::Format_Mono);
    case QImage::Format_Grayscale16:
      return image.convertToFormat(QImage::Format_Grayscale8);
    case QImage::Format_Indexed8:
      // For indexed images isGrayscale() looks at the palette only.
      if (image.isGrayscale()) return image.convertToFormat(QImage::Format_Grayscale8);
      return image.convertToFormat(QImage::Format_RGB888);
    default:
      return image.convertToFormat(QImage::Format_RGB888);
  }
}

// Whether a set bit of a line-art image shows the darker of its two colours.
// Qt's own default palette is black for 0, white for 1.
bool setBitIsDark(const QImage& mono) {
  if (mono.colorCount() < 2) return false;
  return qGray(mono.color(1)) < qGray(mono.color(0));
}

// ---- BMP -------------------------------------------------------------------

constexpr size_t kBandBytes = 1 << 20;  // rows gathered per write() call

void putLe16(unsigned char*& at, uint16_t value) {
  *at++ = static_cast<unsigned char>(value);
  *at++ = static_cast<unsigned char>(value >> 8);
}

void putLe32(unsigned char*& at, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) *at++ = static_cast<unsigned char>(value >> shift);
}

// Collects rows and hands them to the file in large writes.
class BandWriter {
 public:
  explicit BandWriter(int fd) : fd_(fd) { band_.reserve(kBandBytes); }
  // Space for `size` more bytes at the end of the band.
  unsigned char* append(size_t size) {
    const size_t used = band_.size();
    band_.resize(used + size);
    return band_.data() + used;
  }
  bool flushIfFull() { return band_.size() < kBandBytes - kBandBytes / 8 || flush(); }
  bool flush() {
    const bool ok = writeAll(fd_, band_.data(), band_.size());
    band_.clear();
    return ok;
  }

 private:
  int fd_;
  std::vector<unsigned char> band_;
};

// Qt's writer is the reference for the layout below, byte for byte: a 14-byte
// file header, a 40-byte info header, the colour table as B, G, R, 0 (a
// line-art page's own palette, 256 greys for grey pages), then the rows bottom-up,
// each padded to four bytes. Grey and line-art rows go out as the image holds
// them, padding included; colour rows become B, G, R with zero padding.
QString encodeBmp(const QImage& page, int dotsPerInch, int fd) {
  const int width = page.width();
  const int height = page.height();
  const bool lineArt = page.format() == QImage::Format_Mono;
  const bool grey = page.format() == QImage::Format_Grayscale8;
  const int bits = lineArt ? 1 : grey ? 8 : 24;
  const uint32_t colours = lineArt ? static_cast<uint32_t>(page.colorCount()) : grey ? 256 : 0;
  const size_t rowBytes = ((static_cast<size_t>(width) * bits + 31) >> 5) << 2;
  const uint64_t pixelBytes = static_cast<uint64_t>(rowBytes) * static_cast<uint64_t>(height);
  const uint32_t offset = 14 + 40 + colours * 4;
  if (pixelBytes + offset > 0xffffffffu) return QStringLiteral("the page is too large for a bitmap file");
  const auto dotsPerMeter = static_cast<uint32_t>(qRound(dotsPerInch / 0.0254));

  BandWriter out(fd);
  unsigned char* at = out.append(offset);
  *at++ = 'B';
  *at++ = 'M';
  putLe32(at, static_cast<uint32_t>(offset + pixelBytes));
  putLe32(at, 0);  // reserved
  putLe32(at, offset);
  putLe32(at, 40);
  putLe32(at, static_cast<uint32_t>(width));
  putLe32(at, static_cast<uint32_t>(height));  // positive: bottom-up rows
  putLe16(at, 1);                              // planes
  putLe16(at, static_cast<uint16_t>(bits));
  putLe32(at, 0);  // BI_RGB
  putLe32(at, static_cast<uint32_t>(pixelBytes));
  putLe32(at, dotsPerMeter);
  putLe32(at, dotsPerMeter);
  putLe32(at, colours);  // colours used
  putLe32(at, colours);  // colours important
  for (uint32_t i = 0; i < colours; ++i) {
    const int index = static_cast<int>(i);
    const QRgb colour = lineArt ? page.color(index) : qRgb(index, index, index);
    *at++ = static_cast<unsigned char>(qBlue(colour));
    *at++ = static_cast<unsigned char>(qGreen(colour));
    *at++ = static_cast<unsigned char>(qRed(colour));
    *at++ = 0;
  }

  for (int y = height - 1; y >= 0; --y) {
    const uchar* from = page.constScanLine(y);
    unsigned char* to = out.append(rowBytes);
    if (bits == 24) {
      for (int x = 0; x < width; ++x, from += 3, to += 3) {
        to[0] = from[2];
        to[1] = from[1];
        to[2] = from[0];
      }
      std::memset(to, 0, rowBytes - static_cast<size_t>(width) * 3);
    } else {
      std::memcpy(to, from, rowBytes);
    }
    if (!out.flushIfFull()) return systemReason(errno);
  }
  if (!out.flush()) return systemReason(errno);
  return {};
}

// ---- JPEG ------------------------------------------------------------------

constexpr size_t kJpegBufferSize = 64 * 1024;

struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

struct JpegDestination {
  jpeg_destination_mgr base;
  int fd;
  int writeError;  // errno of a failed write, 0 otherwise
  JOCTET* buffer;
};

// libjpeg's default error_exit ends the process; ours returns to the encoder.
void jpegErrorExit(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->message);
  std::longjmp(manager->jump, 1);
}

void jpegOutputMessage(j_common_ptr) {}  // warnings are not worth a console line

void jpegInitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
  dest->base.next_output_byte = dest->buffer;
  dest->base.free_in_buffer = kJpegBufferSize;
}

boolean jpegEmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
  if (!writeAll(dest->fd, dest->buffer, kJpegBufferSize)) {
    dest->writeError = errno;
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
  jpegInitDestination(cinfo);
  return TRUE;
}

void jpegTermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
  const size_t pending = kJpegBufferSize - dest->base.free_in_buffer;
  if (pending > 0 && !writeAll(dest->fd, dest->buffer, pending)) {
    dest->writeError = errno;
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
}

// Kept free of objects with destructors: error_exit jumps back into it.
bool compressJpeg(const QImage& page, int dotsPerInch, JpegDestination* dest,
                  JpegErrorManager* errors) {
  jpeg_compress_struct cinfo;
  cinfo.err = jpeg_std_error(&errors->base);
  errors->base.error_exit = jpegErrorExit;
  errors->base.output_message = jpegOutputMessage;
  if (setjmp(errors->jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  dest->base.init_destination = jpegInitDestination;
  dest->base.empty_output_buffer = jpegEmptyOutputBuffer;
  dest->base.term_destination = jpegTermDestination;
  cinfo.dest = &dest->base;

  const bool grey = page.format() == QImage::Format_Grayscale8;
  cinfo.image_width = static_cast<JDIMENSION>(page.width());
  cinfo.image_height = static_cast<JDIMENSION>(page.height());
  cinfo.input_components = grey ? 1 : 3;
  cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 75, TRUE);
  cinfo.density_unit = 1;  // dots per inch
  cinfo.X_density = cinfo.Y_density = static_cast<UINT16>(std::clamp(dotsPerInch, 1, 65535));

  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    // libjpeg only reads the rows it is given.
    JSAMPROW row = const_cast<JSAMPROW>(page.constScanLine(static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

QString encodeJpeg(const QImage& image, int dotsPerInch, int fd) {
  const QImage page =
      image.format() == QImage::Format_Mono ? image.convertToFormat(QImage::Format_Grayscale8) : image;
  std::vector<JOCTET> buffer(kJpegBufferSize);
  JpegDestination dest{};
  dest.fd = fd;
  dest.buffer = buffer.data();
  JpegErrorManager errors{};
  if (compressJpeg(page, dotsPerInch, &dest, &errors)) return {};
  if (dest.writeError != 0) return systemReason(dest.writeError);
  return QString::fromLocal8Bit(errors.message);
}

// ---- TIFF ------------------------------------------------------------------

struct TiffSink {
  int fd = -1;
  int writeError = 0;  // errno of the first failed write
  QString message;     // libtiff's first complaint
};

tmsize_t tiffRead(thandle_t handle, void* data, tmsize_t size) {
  return ::read(static_cast<TiffSink*>(handle)->fd, data, static_cast<size_t>(size));
}

tmsize_t tiffWrite(thandle_t handle, void* data, tmsize_t size) {
  auto* sink = static_cast<TiffSink*>(handle);
  if (!writeAll(sink->fd, data, static_cast<size_t>(size))) {
    if (sink->writeError == 0) sink->writeError = errno;
    return -1;
  }
  return size;
}

toff_t tiffSeek(thandle_t handle, toff_t offset, int whence) {
  return static_cast<toff_t>(::lseek(static_cast<TiffSink*>(handle)->fd, static_cast<off_t>(offset), whence));
}

int tiffClose(thandle_t) { return 0; }  // the caller owns the descriptor

toff_t tiffSize(thandle_t handle) {
  struct stat status;
  if (::fstat(static_cast<TiffSink*>(handle)->fd, &status) != 0) return 0;
  return static_cast<toff_t>(status.st_size);
}

int tiffMap(thandle_t, void**, toff_t*) { return 0; }
void tiffUnmap(thandle_t, void*, toff_t) {}

int tiffError(TIFF*, void* userData, const char* module, const char* format, va_list arguments) {
  auto* sink = static_cast<TiffSink*>(userData);
  if (sink->message.isEmpty()) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    sink->message = module ? QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(module), QString::fromLocal8Bit(text))
                           : QString::fromLocal8Bit(text);
  }
  return 1;  // handled: keep libtiff from printing it
}

int tiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

QString encodeTiff(const QImage& page, const QString& path, int dotsPerInch, int fd) {
  TiffSink sink;
  sink.fd = fd;
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options, tiffError, &sink);
  TIFFOpenOptionsSetWarningHandlerExtR(options, tiffWarning, &sink);
  TIFF* tif = TIFFClientOpenExt(QFile::encodeName(path).constData(), "w", &sink, tiffRead, tiffWrite,
                                tiffSeek, tiffClose, tiffSize, tiffMap, tiffUnmap, options);
  TIFFOpenOptionsFree(options);
  auto reason = [&sink] {
    if (sink.writeError != 0) return systemReason(sink.writeError);
    if (!sink.message.isEmpty()) return sink.message;
    return QStringLiteral("the TIFF encoder failed");
  };
  if (!tif) return reason();

  const bool lineArt = page.format() == QImage::Format_Mono;
  const bool grey = page.format() == QImage::Format_Grayscale8;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.width()));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.height()));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, lineArt ? 1 : 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, lineArt || grey ? 1 : 3);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  if (lineArt) {
    // Group 4 is the usual coding of scanned documents and is quick.
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, setBitIsDark(page) ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  } else {
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  }
  // Uncompressed pages go out in strips of about 256 kB, each handed to
  // libtiff whole; line art is coded row by row in libtiff's usual strips.
  const size_t rowBytes = static_cast<size_t>(TIFFScanlineSize(tif));
  const uint32_t stripRows =
      lineArt ? TIFFDefaultStripSize(tif, 0)
              : static_cast<uint32_t>(std::clamp<size_t>((256 * 1024) / std::max<size_t>(rowBytes, 1), 1,
                                                         static_cast<size_t>(page.height())));
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, stripRows);
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(dotsPerInch));
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(dotsPerInch));
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);

  // Codecs may work on the data in place, so rows go through a copy.
  bool ok = rowBytes > 0;
  if (lineArt) {
    std::vector<unsigned char> row(std::max(rowBytes, static_cast<size_t>(page.bytesPerLine())));
    for (int y = 0; ok && y < page.height(); ++y) {
      std::memcpy(row.data(), page.constScanLine(y), rowBytes);
      ok = TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) >= 0;
    }
  } else {
    std::vector<unsigned char> strip(rowBytes * stripRows);
    for (uint32_t first = 0, number = 0; ok && first < static_cast<uint32_t>(page.height());
         first += stripRows, ++number) {
      const uint32_t rows = std::min(stripRows, static_cast<uint32_t>(page.height()) - first);
      for (uint32_t r = 0; r < rows; ++r)
        std::memcpy(strip.data() + r * rowBytes, page.constScanLine(static_cast<int>(first + r)), rowBytes);
      ok = TIFFWriteEncodedStrip(tif, number, strip.data(), static_cast<tmsize_t>(rows * rowBytes)) >= 0;
    }
  }
  if (ok) ok = TIFFFlush(tif) == 1;
  TIFFClose(tif);
  if (ok && sink.writeError == 0 && sink.message.isEmpty()) return {};
  return reason();
}

QString encode(const QImage& page, const QString& path, ImageFileFormat format, int dotsPerInch, int fd) {
  switch (format) {
    case ImageFileFormat::Bmp:
      return encodeBmp(page, dotsPerInch, fd);
    case ImageFileFormat::Jpeg:
      return encodeJpeg(page, dotsPerInch, fd);
    case ImageFileFormat::Tiff:
      return encodeTiff(page, path, dotsPerInch, fd);
  }
  return QStringLiteral("unknown file format");
}

}  // namespace

std::optional<ImageFileFormat> imageFileFormatForPath(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("bmp")) return ImageFileFormat::Bmp;
  if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) return ImageFileFormat::Jpeg;
  if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff")) return ImageFileFormat::Tiff;
  return std::nullopt;
}

namespace {

// Flushes the folder's entry of a file just moved in.
int syncFolder(const QByteArray& folder) {
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int result = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return result;
}

// Moves `from` onto `to` unless something is there already: 0, EEXIST when
// the name is taken, or the reason. File systems without renameat2's
// no-replace flag get the same through a hard link.
int moveInWithoutReplacing(const QByteArray& from, const QByteArray& to) {
  if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
  if (::link(from.constData(), to.constData()) != 0) return errno;
  ::unlink(from.constData());
  return 0;
}

}  // namespace

bool writeImageFile(const QImage& image, const QString& path, ImageFileFormat format, int dotsPerInch,
                    QString* error, ImageFileUse use, bool* nameTaken) {
  if (nameTaken) *nameTaken = false;
  auto fail = [&](const QString& reason) {
    if (error) *error = QStringLiteral("Unable to write file '%1': %2").arg(path, reason);
    return false;
  };
  if (image.isNull()) return fail(QStringLiteral("the image is empty"));
  const QFileInfo info(path);
  if (info.isDir()) return fail(systemReason(EISDIR));

  // A hidden name beside the target, so that the final rename stays within
  // one file system and the target only ever appears complete. O_EXCL and
  // O_NOFOLLOW: the name is made anew, never opened through a link.
  const QByteArray target = QFile::encodeName(path);
  const QByteArray folder = QFile::encodeName(info.absolutePath());
  const QByteArray name = QFile::encodeName(info.fileName()).left(200);
  const mode_t mode = use == ImageFileUse::Temporary ? 0600 : 0666;
  QByteArray temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = folder + "/." + name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 16) +
                ".part";
    fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) break;
  }
  if (fd < 0) return fail(systemReason(errno));

  QString reason = encode(normalized(image), path, format, dotsPerInch, fd);
  // A kept page must be on the disk before its name says it is there.
  if (reason.isEmpty() && use == ImageFileUse::Kept && ::fsync(fd) != 0) reason = systemReason(errno);
  // close() can be the first to report a full disk on some file systems.
  if (::close(fd) != 0 && reason.isEmpty()) reason = systemReason(errno);
  if (reason.isEmpty()) {
    if (use == ImageFileUse::Kept) {
      if (const int code = moveInWithoutReplacing(temporary, target); code != 0) {
        reason = systemReason(code);
        if (code == EEXIST && nameTaken) *nameTaken = true;
      } else if (const int synced = syncFolder(folder); synced != 0) {
        // The page is in place but may not survive a power cut; saying it
        // was kept would be wrong, and the file stays for the user.
        return fail(systemReason(synced));
      }
    } else if (::rename(temporary.constData(), target.constData()) != 0) {
      reason = systemReason(errno);
    }
  }
  if (!reason.isEmpty()) {
    ::unlink(temporary.constData());
    return fail(reason);
  }
  return true;
}
