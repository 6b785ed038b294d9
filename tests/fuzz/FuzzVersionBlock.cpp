// The version block read back from a program file: decoding at every
// offset, as the reader scans a file, and the lookups the About window makes.

#include "FuzzInput.h"
#include "platform/VersionBlock.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (auto block = platform::decodeVersionBlock(data, size)) {
    if (!block->translations.empty()) {
      const std::string key = platform::versionTableKey(block->translations.front());
      (void)platform::findVersionString(*block, key, "FileVersion");
    }
    // A valid block must encode to something that decodes to the same.
    const auto bytes = platform::encodeVersionBlock(*block);
    if (!platform::decodeVersionBlock(bytes.data(), bytes.size())) __builtin_trap();
  }
  const QString path = fuzz_input::writeScratch(QStringLiteral("program"), data, size);
  (void)platform::readVersionBlock(path.toStdString());
  return 0;
}
