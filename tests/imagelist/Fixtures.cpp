#include "Fixtures.h"

#include <QFile>

#include <cstdio>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>
#include <tiffio.h>

namespace imagelist_fixtures {

void writeTiff(const QString& path, const QImage& source, TiffKind kind) {
  const QImage image = source.convertToFormat(QImage::Format_RGB888);
  TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
  if (!tif) throw std::runtime_error("cannot write tiff fixture");
  const int width = image.width(), height = image.height();
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  switch (kind) {
    case TiffKind::Colour:
      TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
      TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
      break;
    case TiffKind::Grey:
      TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
      TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
      break;
    case TiffKind::Bilevel:
      TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
      TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
      break;
  }
  std::vector<unsigned char> row;
  for (int y = 0; y < height; ++y) {
    const uchar* rgb = image.constScanLine(y);
    row.assign(size_t(width) * 3, 0);
    for (int x = 0; x < width; ++x) {
      switch (kind) {
        case TiffKind::Colour:
          row[x * 3] = rgb[x * 3];
          row[x * 3 + 1] = rgb[x * 3 + 1];
          row[x * 3 + 2] = rgb[x * 3 + 2];
          break;
        case TiffKind::Grey: row[x] = rgb[x * 3]; break;
        case TiffKind::Bilevel:
          if (rgb[x * 3] >= 128) row[x / 8] |= uchar(0x80 >> (x % 8));
          break;
      }
    }
    TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
  }
  TIFFClose(tif);
}

void writeTiffWithAlpha(const QString& path, QRgb left, QRgb right, bool associated) {
  TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
  if (!tif) throw std::runtime_error("cannot write tiff fixture");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 2);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  const uint16_t extra = associated ? EXTRASAMPLE_ASSOCALPHA : EXTRASAMPLE_UNASSALPHA;
  TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
  unsigned char row[8];
  int at = 0;
  for (const QRgb colour : {left, right}) {
    const int alpha = qAlpha(colour);
    auto stored = [&](int channel) { return associated ? (channel * alpha + 127) / 255 : channel; };
    row[at++] = static_cast<unsigned char>(stored(qRed(colour)));
    row[at++] = static_cast<unsigned char>(stored(qGreen(colour)));
    row[at++] = static_cast<unsigned char>(stored(qBlue(colour)));
    row[at++] = static_cast<unsigned char>(alpha);
  }
  TIFFWriteScanline(tif, row, 0, 0);
  TIFFClose(tif);
}

void writeTiffHeaderOnly(const QString& path, quint32 width, quint32 height) {
  TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
  if (!tif) throw std::runtime_error("cannot write tiff fixture");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
  const unsigned char line[16] = {};
  TIFFWriteRawStrip(tif, 0, const_cast<unsigned char*>(line), sizeof line);
  TIFFClose(tif);
}

void writeJpeg(const QString& path, const QImage& source, int quality) {
  const QImage image = source.convertToFormat(QImage::Format_RGB888);
  FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
  if (!file) throw std::runtime_error("cannot write jpeg fixture");
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = JDIMENSION(image.width());
  cinfo.image_height = JDIMENSION(image.height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

void writeBmp(const QString& path, const QImage& image) {
  if (!image.save(path, "BMP")) throw std::runtime_error("cannot write bmp fixture");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
    throw std::runtime_error("cannot write fixture");
}

QByteArray readBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void truncateFile(const QString& path, double fraction) {
  const QByteArray bytes = readBytes(path);
  writeBytes(path, bytes.left(qsizetype(bytes.size() * fraction)));
}

QImage quadrants(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool right = x >= width / 2, bottom = y >= height / 2;
      QRgb colour = qRgb(255, 0, 0);                        // top left: red
      if (right && !bottom) colour = qRgb(0, 0, 255);       // top right: blue
      if (!right && bottom) colour = qRgb(0, 255, 0);       // bottom left: green
      if (right && bottom) colour = qRgb(255, 255, 255);    // bottom right: white
      image.setPixel(x, y, colour);
    }
  return image;
}

}  // namespace imagelist_fixtures
