#include "platform/ErrorGuard.h"

#include "platform/MessageBox.h"

#include <QCoreApplication>

namespace platform {

void showError(QWidget* owner, const QString& text) {
  try {
    showMessage(owner, text, QCoreApplication::applicationName(), MessageIcon::Error,
                MessageButtons::Ok);
  } catch (...) {
    // Reporting must never become a second failure.
  }
}

}  // namespace platform
