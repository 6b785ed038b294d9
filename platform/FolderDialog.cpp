#include "platform/FolderDialog.h"

#include <QFileDialog>

namespace platform {
namespace {
std::function<std::optional<QString>(const QString&)>& chooserSeam() {
  static std::function<std::optional<QString>(const QString&)> instance;
  return instance;
}
}  // namespace

std::optional<QString> chooseFolder(QWidget* owner, const QString& title, const QString& start) {
  if (chooserSeam()) return chooserSeam()(title);
  const QString folder = QFileDialog::getExistingDirectory(owner, title, start);
  if (folder.isEmpty()) return std::nullopt;
  return folder;
}

void FolderDialogSeam::set(std::function<std::optional<QString>(const QString&)> chooser) {
  chooserSeam() = std::move(chooser);
}
void FolderDialogSeam::reset() { chooserSeam() = nullptr; }

}  // namespace platform
