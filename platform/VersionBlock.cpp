#include "platform/VersionBlock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace platform {
namespace {

constexpr std::uint16_t kLayoutVersion = 1;
constexpr std::size_t kMagicSize = 8;

// Kept inverted so that the reader's own code never holds the marker it
// scans for; the one real marker in the executable is the embedded block's.
constexpr unsigned char kInvertedMagic[kMagicSize] = {0x80, 0xBD, 0xAD, 0xA9,
                                                      0xA9, 0xBD, 0xB3, 0xB4};

std::array<unsigned char, kMagicSize> magic() {
  std::array<unsigned char, kMagicSize> bytes{};
  for (std::size_t i = 0; i < kMagicSize; ++i)
    bytes[i] = static_cast<unsigned char>(~kInvertedMagic[i]);
  return bytes;
}

class Writer {
 public:
  void u16(std::size_t value) {
    if (value > 0xFFFF) throw std::length_error("version block field too large");
    bytes_.push_back(static_cast<unsigned char>(value & 0xFF));
    bytes_.push_back(static_cast<unsigned char>(value >> 8));
  }
  void u32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
      bytes_.push_back(static_cast<unsigned char>((value >> shift) & 0xFF));
  }
  void text(const std::string& value) {
    u16(value.size());
    bytes_.insert(bytes_.end(), value.begin(), value.end());
  }
  void raw(const unsigned char* data, std::size_t size) { bytes_.insert(bytes_.end(), data, data + size); }
  void patchU32(std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_[offset + i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
  }
  std::vector<unsigned char>& bytes() { return bytes_; }

 private:
  std::vector<unsigned char> bytes_;
};

// Reads fields in order; every read checks that it stays inside the block.
class Cursor {
 public:
  Cursor(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

  bool u16(std::uint16_t& value) {
    if (size_ - pos_ < 2) return false;
    value = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return true;
  }
  bool u32(std::uint32_t& value) {
    if (size_ - pos_ < 4) return false;
    value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | data_[pos_ + i];
    pos_ += 4;
    return true;
  }
  bool text(std::string& value) {
    std::uint16_t length = 0;
    if (!u16(length) || size_ - pos_ < length) return false;
    value.assign(reinterpret_cast<const char*>(data_ + pos_), length);
    pos_ += length;
    return true;
  }
  bool skip(std::size_t count) {
    if (size_ - pos_ < count) return false;
    pos_ += count;
    return true;
  }
  bool atEnd() const { return pos_ == size_; }

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool readAt(std::FILE* file, long long offset, unsigned char* out, std::size_t size) {
  if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  return std::fread(out, 1, size, file) == size;
}

// A magic marker at `offset`: cheap header checks first, then the full parse.
std::optional<VersionBlock> tryBlockAt(std::FILE* file, long long offset) {
  unsigned char header[kVersionBlockHeaderSize];
  if (!readAt(file, offset, header, sizeof header)) return std::nullopt;
  Cursor cursor(header, sizeof header);
  std::uint32_t size = 0;
  std::uint16_t layout = 0;
  cursor.skip(kMagicSize);
  cursor.u32(size);
  cursor.u16(layout);
  if (layout != kLayoutVersion || size < kVersionBlockHeaderSize || size > kVersionBlockMaxSize)
    return std::nullopt;
  std::vector<unsigned char> block(size);
  if (!readAt(file, offset, block.data(), block.size())) return std::nullopt;
  return decodeVersionBlock(block.data(), block.size());
}

}  // namespace

std::vector<unsigned char> encodeVersionBlock(const VersionBlock& block) {
  Writer out;
  const auto marker = magic();
  out.raw(marker.data(), marker.size());
  out.u32(0);  // size, patched below
  out.u16(kLayoutVersion);
  out.u16(block.translations.size());
  out.u16(block.stringTables.size());
  out.u16(0);
  for (auto part : block.fileVersion) out.u16(part);
  for (auto part : block.productVersion) out.u16(part);
  for (const auto& translation : block.translations) {
    out.u16(translation.language);
    out.u16(translation.codePage);
  }
  for (const auto& table : block.stringTables) {
    out.text(table.key);
    out.u16(table.entries.size());
    for (const auto& [name, value] : table.entries) {
      out.text(name);
      out.text(value);
    }
  }
  if (out.bytes().size() > kVersionBlockMaxSize) throw std::length_error("version block too large");
  out.patchU32(kMagicSize, static_cast<std::uint32_t>(out.bytes().size()));
  return std::move(out.bytes());
}

std::optional<VersionBlock> decodeVersionBlock(const unsigned char* data, std::size_t size) {
  if (data == nullptr || size < kVersionBlockHeaderSize) return std::nullopt;
  const auto marker = magic();
  if (std::memcmp(data, marker.data(), kMagicSize) != 0) return std::nullopt;

  Cursor cursor(data, size);
  cursor.skip(kMagicSize);
  std::uint32_t declaredSize = 0;
  std::uint16_t layout = 0, translationCount = 0, tableCount = 0, reserved = 0;
  cursor.u32(declaredSize);
  cursor.u16(layout);
  cursor.u16(translationCount);
  cursor.u16(tableCount);
  cursor.u16(reserved);
  if (layout != kLayoutVersion || reserved != 0 || declaredSize < kVersionBlockHeaderSize ||
      declaredSize > size || declaredSize > kVersionBlockMaxSize)
    return std::nullopt;

  // From here on only the declared bytes count.
  Cursor body(data, declaredSize);
  body.skip(20);
  VersionBlock block;
  for (auto& part : block.fileVersion) body.u16(part);
  for (auto& part : block.productVersion) body.u16(part);
  for (std::uint16_t i = 0; i < translationCount; ++i) {
    VersionTranslation translation;
    if (!body.u16(translation.language) || !body.u16(translation.codePage)) return std::nullopt;
    block.translations.push_back(translation);
  }
  for (std::uint16_t t = 0; t < tableCount; ++t) {
    VersionStringTable table;
    std::uint16_t entryCount = 0;
    if (!body.text(table.key) || !body.u16(entryCount)) return std::nullopt;
    for (std::uint16_t e = 0; e < entryCount; ++e) {
      std::string name, value;
      if (!body.text(name) || !body.text(value)) return std::nullopt;
      table.entries.emplace_back(std::move(name), std::move(value));
    }
    block.stringTables.push_back(std::move(table));
  }
  if (!body.atEnd()) return std::nullopt;
  return block;
}

std::optional<VersionBlock> readVersionBlock(const std::string& path) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return std::nullopt;

  // Scan in chunks; the last magic-size minus one bytes of a chunk are kept
  // so a marker split across two chunks is still seen.
  constexpr std::size_t kChunk = 1 << 20;
  // Each candidate costs at most one block read; a file stuffed with markers
  // can't keep the reader busy for long.
  constexpr int kMaxCandidates = 4096;
  const auto marker = magic();
  std::vector<unsigned char> chunk(kChunk + kMagicSize);
  long long chunkStart = 0;
  long long readPos = 0;
  std::size_t kept = 0;
  int candidates = 0;
  for (;;) {
    if (fseeko(file.get(), static_cast<off_t>(readPos), SEEK_SET) != 0) return std::nullopt;
    const std::size_t got = std::fread(chunk.data() + kept, 1, kChunk, file.get());
    readPos += static_cast<long long>(got);
    const std::size_t available = kept + got;
    for (std::size_t i = 0; i + kMagicSize <= available; ++i) {
      if (chunk[i] != marker[0] || std::memcmp(&chunk[i], marker.data(), kMagicSize) != 0) continue;
      if (++candidates > kMaxCandidates) return std::nullopt;
      if (auto block = tryBlockAt(file.get(), chunkStart + static_cast<long long>(i))) return block;
    }
    if (got == 0) return std::nullopt;
    kept = std::min(available, kMagicSize - 1);
    std::memmove(chunk.data(), chunk.data() + available - kept, kept);
    chunkStart += static_cast<long long>(available - kept);
  }
}

std::string versionTableKey(VersionTranslation translation) {
  char key[9];
  std::snprintf(key, sizeof key, "%04X%04X", static_cast<unsigned>(translation.language),
                static_cast<unsigned>(translation.codePage));
  return key;
}

const std::string* findVersionString(const VersionBlock& block, std::string_view tableKey,
                                     std::string_view name) {
  for (const auto& table : block.stringTables) {
    if (!equalsIgnoringAsciiCase(table.key, tableKey)) continue;
    for (const auto& [entryName, value] : table.entries)
      if (equalsIgnoringAsciiCase(entryName, name)) return &value;
    return nullptr;
  }
  return nullptr;
}

}  // namespace platform
