#include "about/VersionNumber.h"

#include "platform/Error.h"

#include <array>
#include <limits>

namespace version_number {

std::int32_t versionNumber(const QString& text) {
  std::array<std::int32_t, 4> components{};
  std::size_t found = 0;
  qsizetype i = 0;
  while (found < components.size() && i < text.size()) {
    if (!(text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'))) {
      ++i;
      continue;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
      value = value * 10 + (text[i].unicode() - u'0');
      if (value > std::numeric_limits<std::int32_t>::max())
        throw platform::Error(QStringLiteral("Version component too large in \"%1\"").arg(text));
    }
    components[found++] = static_cast<std::int32_t>(value);
  }
  // Unsigned arithmetic wraps by definition; the result is read back as the
  // signed number it stands for.
  const std::uint32_t number = static_cast<std::uint32_t>(components[0]) * 1000000u +
                               static_cast<std::uint32_t>(components[1]) * 10000u +
                               static_cast<std::uint32_t>(components[2]) * 100u +
                               static_cast<std::uint32_t>(components[3]);
  return static_cast<std::int32_t>(number);
}

bool IsNewerVersion(const QString& current, const QString& offered) {
  const std::int32_t currentNumber = versionNumber(current);
  const std::int32_t offeredNumber = versionNumber(offered);
  return currentNumber < offeredNumber;
}

}  // namespace version_number
