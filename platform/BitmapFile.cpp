#include "platform/BitmapFile.h"

#include <QFile>

#include <cerrno>
#include <cstdint>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kInfoHeader = 40;

uint16_t le16(const unsigned char* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }
uint32_t le32(const unsigned char* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
         static_cast<uint32_t>(at[3]) << 24;
}

// All of `size` bytes at `offset`, or false.
bool readAt(int fd, void* data, std::size_t size, off_t offset) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = ::pread(fd, bytes, size, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<std::size_t>(got);
    offset += got;
  }
  return true;
}

}  // namespace

std::optional<BitmapFile> BitmapFile::open(const QString& path) {
  BitmapFile file;
  file.fd_ = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (file.fd_ < 0) return std::nullopt;

  unsigned char header[kFileHeader + kInfoHeader];
  if (!readAt(file.fd_, header, sizeof header, 0)) return std::nullopt;
  if (header[0] != 'B' || header[1] != 'M') return std::nullopt;
  const unsigned char* info = header + kFileHeader;
  file.pixelOffset_ = le32(header + 10);
  const auto width = static_cast<int32_t>(le32(info + 4));
  const auto height = static_cast<int32_t>(le32(info + 8));
  file.bits_ = le16(info + 14);
  const uint32_t compression = le32(info + 16);
  const uint32_t coloursUsed = le32(info + 32);
  // Top-down (negative height), compressed, bit-field and other header
  // variants are left to Qt's reader.
  if (le32(info) != kInfoHeader || le16(info + 12) != 1 || compression != 0) return std::nullopt;
  if (width <= 0 || height <= 0 || width > (1 << 20) || height > (1 << 20)) return std::nullopt;
  if (file.bits_ != 24 && file.bits_ != 8 && file.bits_ != 1) return std::nullopt;
  file.width_ = width;
  file.height_ = height;
  file.rowBytes_ = ((static_cast<std::size_t>(width) * static_cast<std::size_t>(file.bits_) + 31) >> 5) << 2;

  if (file.bits_ < 24) {
    // A short palette leaves indices without a colour; Qt's reader decides those.
    const uint32_t colours = 1u << file.bits_;
    if (coloursUsed != 0 && coloursUsed != colours) return std::nullopt;
    if (file.pixelOffset_ < kFileHeader + kInfoHeader + colours * 4) return std::nullopt;
    unsigned char table[256 * 4];
    if (!readAt(file.fd_, table, colours * 4, kFileHeader + kInfoHeader)) return std::nullopt;
    bool grey = true;
    for (uint32_t i = 0; i < colours; ++i) {
      const unsigned char* entry = table + i * 4;
      file.palette_[i] = {entry[0], entry[1], entry[2]};
      if (entry[0] != entry[1] || entry[1] != entry[2]) grey = false;
    }
    file.channels_ = grey ? 1 : 3;
  } else if (file.pixelOffset_ < kFileHeader + kInfoHeader) {
    return std::nullopt;
  }
  struct stat status;
  if (::fstat(file.fd_, &status) != 0 ||
      static_cast<uint64_t>(status.st_size) <
          file.pixelOffset_ + static_cast<uint64_t>(file.rowBytes_) * static_cast<uint64_t>(height))
    return std::nullopt;
  return file;
}

BitmapFile::BitmapFile(BitmapFile&& other) noexcept { *this = std::move(other); }

BitmapFile& BitmapFile::operator=(BitmapFile&& other) noexcept {
  if (this == &other) return *this;
  if (fd_ >= 0) ::close(fd_);
  fd_ = std::exchange(other.fd_, -1);
  width_ = other.width_;
  height_ = other.height_;
  bits_ = other.bits_;
  channels_ = other.channels_;
  rowBytes_ = other.rowBytes_;
  pixelOffset_ = other.pixelOffset_;
  palette_ = other.palette_;
  return *this;
}

BitmapFile::~BitmapFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool BitmapFile::readBand(int top, int count, std::vector<unsigned char>& band) const {
  if (top < 0 || count <= 0 || top + count > height_) return false;
  const std::size_t size = rowBytes_ * static_cast<std::size_t>(count);
  if (band.size() < size) band.resize(size);
  // Rows [top, top + count) from the top are one contiguous run in the file,
  // starting at file row height - (top + count).
  const off_t offset = static_cast<off_t>(pixelOffset_) +
                       static_cast<off_t>(height_ - top - count) * static_cast<off_t>(rowBytes_);
  return readAt(fd_, band.data(), size, offset);
}

const unsigned char* BitmapFile::rowValues(const unsigned char* row, std::vector<unsigned char>& scratch) const {
  if (bits_ == 24) return row;
  scratch.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(channels_));
  unsigned char* out = scratch.data();
  for (int x = 0; x < width_; ++x) {
    const unsigned index = bits_ == 8 ? row[x] : (row[x >> 3] >> (7 - (x & 7))) & 1u;
    const auto& colour = palette_[index];
    if (channels_ == 1) {
      *out++ = colour[0];
    } else {
      *out++ = colour[0];
      *out++ = colour[1];
      *out++ = colour[2];
    }
  }
  return scratch.data();
}

}  // namespace platform
