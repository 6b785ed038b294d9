#pragma once

// The rows of a Windows bitmap straight from its file, a band at a time,
// for the bitmaps this program writes: uncompressed, bottom-up, 24-bit, or
// 8-bit or 1-bit with a full palette. Readers that only reduce a page (the
// thumbnail, the preview) then never hold the decoded picture.

#include <QString>

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace platform {

class BitmapFile {
 public:
  // nullopt for any other file (another layout, a short or unreadable file);
  // the caller then hands it to Qt's reader.
  static std::optional<BitmapFile> open(const QString& path);

  BitmapFile(BitmapFile&& other) noexcept;
  BitmapFile& operator=(BitmapFile&& other) noexcept;
  BitmapFile(const BitmapFile&) = delete;
  BitmapFile& operator=(const BitmapFile&) = delete;
  ~BitmapFile();

  int width() const { return width_; }
  int height() const { return height_; }
  // Values per pixel that rowValues gives: 3 (B, G, R), or 1 (grey) for a
  // palette of greys only. A palette with any colour gives 3, as Qt's reader
  // then gives a colour picture too.
  int channels() const { return channels_; }
  std::size_t rowBytes() const { return rowBytes_; }

  // The `count` rows that start `top` rows from the top of the picture, as
  // they lie in the file: bottom-up, so the band's first row is the lowest,
  // top + count - 1. False when the file can no longer be read.
  bool readBand(int top, int count, std::vector<unsigned char>& band) const;

  // One file row as channels() values per pixel. A 24-bit row is its own
  // values; a palette row is looked up into `scratch`.
  const unsigned char* rowValues(const unsigned char* row, std::vector<unsigned char>& scratch) const;

 private:
  BitmapFile() = default;

  int fd_ = -1;
  int width_ = 0;
  int height_ = 0;
  int bits_ = 0;
  int channels_ = 3;
  std::size_t rowBytes_ = 0;
  unsigned long pixelOffset_ = 0;
  std::array<std::array<unsigned char, 3>, 256> palette_{};
};

}  // namespace platform
