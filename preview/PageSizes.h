#pragma once

#include "preview/FloatRect.h"

#include <QString>
#include <QStringList>

#include <optional>

// The standard page sizes behind the size combo box, indexed by item index.
// Item 0 is "Custom" and has no size.
namespace page_sizes {

struct PageSize {
  QString text;  // the combo item, trailing blanks included
  std::optional<float> width;   // inches
  std::optional<float> height;  // inches
};

constexpr int kCustom = 0;
constexpr int kCount = 16;

// The row for an item index; throws std::out_of_range outside 0..15.
const PageSize& pageSize(int index);

// All item texts in combo order.
QStringList itemTexts();

// The size's rectangle in pane pixels at `scale` pane pixels per inch:
// (0, 0, width * scale, height * scale); nothing for "Custom".
std::optional<FloatRect> namedSizeRect(int index, float scale);

}  // namespace page_sizes
