#include "main/CaptionFit.h"

#include <QFontInfo>
#include <QToolButton>

#include <algorithm>

namespace {

// Tahoma where it is installed; otherwise a narrow sans serif, of which
// Debian's fonts offer these.
const QStringList kNarrowFamilies{QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans Narrow"),
                                  QStringLiteral("DejaVu Sans Condensed")};
constexpr int kSmallestPixelSize = 8;

}  // namespace

void fitCaptions(const QList<QToolButton*>& buttons) {
  const auto fit = [&buttons] {
    return std::all_of(buttons.begin(), buttons.end(),
                       [](const QToolButton* b) { return b->sizeHint().width() <= b->width(); });
  };
  if (buttons.isEmpty() || fit()) return;
  QFont font = buttons.first()->font();
  const auto use = [&] {
    for (QToolButton* button : buttons) button->setFont(font);
  };
  font.setFamilies(kNarrowFamilies + QStringList{font.family()});
  use();
  int pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
  while (!fit() && pixels > kSmallestPixelSize) {
    font.setPixelSize(--pixels);
    use();
  }
}
