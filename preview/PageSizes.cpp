#include "preview/PageSizes.h"

#include <QStringList>

#include <array>
#include <stdexcept>

namespace page_sizes {
namespace {

// Inch sizes with one decimal on purpose: the readout shows A4 as 211 x 297 mm.
const std::array<PageSize, kCount>& table() {
  static const std::array<PageSize, kCount> rows = {{
      {QStringLiteral("Custom"), std::nullopt, std::nullopt},
      {QStringLiteral("A4 Letter, A4 "), 8.3f, 11.7f},
      {QStringLiteral("B5 Letter, JIS B5 "), 6.9f, 9.8f},
      {QStringLiteral("US Letter "), 8.5f, 11.0f},
      {QStringLiteral("US Legal "), 8.5f, 14.0f},
      {QStringLiteral("A5 "), 5.8f, 8.3f},
      {QStringLiteral("B4, ISO B4 "), 9.8f, 13.9f},
      {QStringLiteral("B6, ISO B6 "), 4.9f, 6.9f},
      {QStringLiteral("US Ledger "), 11.0f, 17.0f},
      {QStringLiteral("US Executive "), 7.25f, 10.5f},
      {QStringLiteral("A3 "), 11.7f, 16.5f},
      {QStringLiteral("B3, ISO B3 "), 13.9f, 19.7f},
      {QStringLiteral("A6 "), 4.1f, 5.8f},
      {QStringLiteral("C4 "), 9.0f, 12.8f},
      {QStringLiteral("C5"), 6.4f, 9.0f},
      {QStringLiteral("C6"), 4.5f, 6.4f},
  }};
  return rows;
}

}  // namespace

const PageSize& pageSize(int index) {
  if (index < 0 || index >= kCount) throw std::out_of_range("page size index out of range");
  return table()[static_cast<std::size_t>(index)];
}

QStringList itemTexts() {
  QStringList texts;
  for (const PageSize& row : table()) texts << row.text;
  return texts;
}

std::optional<FloatRect> namedSizeRect(int index, float scale) {
  const PageSize& row = pageSize(index);
  if (!row.width || !row.height) return std::nullopt;
  const float right = *row.width * scale;
  const float bottom = *row.height * scale;
  return FloatRect{0.0f, 0.0f, right, bottom};
}

}  // namespace page_sizes
