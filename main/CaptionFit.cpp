#include "main/CaptionFit.h"

#include <QFontInfo>
#include <QToolButton>

namespace {

// Tahoma where it is installed; otherwise a narrow sans serif, of which
// Debian's fonts offer these.
const QStringList kNarrowFamilies{QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans Narrow"),
                                  QStringLiteral("DejaVu Sans Condensed")};
constexpr int kSmallestPixelSize = 8;

}  // namespace

void fitCaption(QToolButton* button) {
  const auto fits = [button] { return button->sizeHint().width() <= button->width(); };
  if (fits()) return;
  QFont font = button->font();
  font.setFamilies(kNarrowFamilies + QStringList{font.family()});
  button->setFont(font);
  int pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
  while (!fits() && pixels > kSmallestPixelSize) {
    font.setPixelSize(--pixels);
    button->setFont(font);
  }
}
