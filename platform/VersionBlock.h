#pragma once

// The program's own version block: the stand-in for a Windows version
// resource. The build writes one into the executable (an allocated section,
// so it survives strip); the About window reads it back from the file.
//
// This header and its source use the standard library only, because the
// build compiles them into a small host tool that writes the block.
//
// Binary layout, all integers little-endian, no padding:
//
//   offset  size  field
//   0       8     magic 7F 42 52 56 56 42 4C 4B ("\x7F" "BRVVBLK")
//   8       4     u32 size of the whole block, header included
//   12      2     u16 layout version, 1
//   14      2     u16 number of translations (n)
//   16      2     u16 number of string tables (m)
//   18      2     u16 reserved, 0
//   20      8     u16[4] fixed file version (major, minor, patch, build)
//   28      8     u16[4] fixed product version
//   36      4*n   translations: u16 language, u16 code page, in list order
//   then m string tables, each:
//           u16 key length, key bytes (e.g. "040904E4")
//           u16 entry count, then per entry:
//             u16 name length, name bytes, u16 value length, value bytes
//
// Texts are UTF-8 without terminator. A block is valid only if every field
// lies inside the stated size and the tables end exactly at it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

struct VersionTranslation {
  std::uint16_t language = 0;
  std::uint16_t codePage = 0;
};

struct VersionStringTable {
  std::string key;  // language and code page as eight hexadecimal digits
  std::vector<std::pair<std::string, std::string>> entries;
};

struct VersionBlock {
  std::array<std::uint16_t, 4> fileVersion{};
  std::array<std::uint16_t, 4> productVersion{};
  std::vector<VersionTranslation> translations;
  std::vector<VersionStringTable> stringTables;
};

inline constexpr std::size_t kVersionBlockHeaderSize = 36;
// Larger blocks are refused, so a hostile file can't make the reader allocate
// much.
inline constexpr std::size_t kVersionBlockMaxSize = 64 * 1024;

// The block's bytes in the layout above. Throws std::length_error when a text
// or a list is too long for its field or the block exceeds the maximum size.
std::vector<unsigned char> encodeVersionBlock(const VersionBlock& block);

// Parses one block that starts at `data`; nullopt unless it is valid.
std::optional<VersionBlock> decodeVersionBlock(const unsigned char* data, std::size_t size);

// The first valid block anywhere in the file at `path`; nullopt when the file
// can't be read or holds none.
std::optional<VersionBlock> readVersionBlock(const std::string& path);

// The string table key of a translation: language and code page as four
// upper-case hexadecimal digits each ("040904E4").
std::string versionTableKey(VersionTranslation translation);

// The value of entry `name` in the table `tableKey`, or nullptr. Keys and
// names compare without regard to ASCII case.
const std::string* findVersionString(const VersionBlock& block, std::string_view tableKey,
                                     std::string_view name);

}  // namespace platform
