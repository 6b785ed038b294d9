#pragma once

// Asks the user for a user name and password that a scanner wants (a scanner
// shared over the network whose server asks for them). The answer is only
// handed on; nothing of it is kept.

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace platform {

struct Credentials {
  QString user;
  QString password;
};

// nullopt when the user cancels.
std::optional<Credentials> askCredentials(QWidget* owner, const QString& resource);

// Test seam, as for message boxes: while an answerer is installed no dialog
// is shown; each resource asked about is recorded and the answerer replies.
class CredentialsDialogSeam {
 public:
  using Answerer = std::function<std::optional<Credentials>(const QString& resource)>;

  static void install(Answerer answerer);
  static void uninstall();
  static const QList<QString>& asked();
};

}  // namespace platform
