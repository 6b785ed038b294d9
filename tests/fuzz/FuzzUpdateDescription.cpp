// The update description a web server sends, and the version it offers
// compared with ours.

#include "FuzzInput.h"
#include "about/UpdateDescription.h"
#include "about/VersionNumber.h"
#include "platform/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString path = fuzz_input::writeScratch(QStringLiteral("Brevalto.xml"), data, size);
  try {
    const QString offered = readOfferedVersion(path);
    (void)version_number::IsNewerVersion(QStringLiteral("2.0.0.20"), offered);
  } catch (const platform::Error&) {
  }
  // Version texts straight from the bytes as well.
  try {
    (void)version_number::versionNumber(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
  } catch (const platform::Error&) {
  }
  return 0;
}
