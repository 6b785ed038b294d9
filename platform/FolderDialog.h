#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace platform {

// Asks the user for a folder; nullopt when the dialog is cancelled.
std::optional<QString> chooseFolder(QWidget* owner, const QString& title, const QString& start);

// Test seam: while set, the chooser answers instead of a dialog.
class FolderDialogSeam {
 public:
  static void set(std::function<std::optional<QString>(const QString& title)> chooser);
  static void reset();
};

}  // namespace platform
