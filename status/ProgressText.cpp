#include "status/ProgressText.h"

std::optional<QString> progressStageText(int action, int jobKind) {
  switch (action) {
    case 0: return QStringLiteral("Despeckling...");
    case 1: return QStringLiteral("Deskewing...");
    case 2: return QStringLiteral("Rotating...");
    case 3: return QStringLiteral("Border detecting...");
    case 4:
      switch (jobKind) {
        case 1: return QStringLiteral("Image preview ... ");
        case 2: return QStringLiteral("Scanning...");
        case 3: return QStringLiteral("Copying to printer...");
        default: return std::nullopt;
      }
    default: return std::nullopt;
  }
}
