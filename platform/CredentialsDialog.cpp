#include "platform/CredentialsDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace platform {
namespace {

CredentialsDialogSeam::Answerer& answerer() {
  static CredentialsDialogSeam::Answerer instance;
  return instance;
}

QList<QString>& askedResources() {
  static QList<QString> list;
  return list;
}

}  // namespace

std::optional<Credentials> askCredentials(QWidget* owner, const QString& resource) {
  if (answerer()) {
    askedResources().append(resource);
    return answerer()(resource);
  }
  QDialog dialog(owner);
  dialog.setObjectName(QStringLiteral("dlg_Credentials"));
  dialog.setWindowTitle(QStringLiteral("Scanner password"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QLabel(QStringLiteral("The scanner \"%1\" asks for a user name and password.").arg(resource), &dialog);
  text->setWordWrap(true);
  layout->addWidget(text);
  auto* form = new QFormLayout;
  auto* user = new QLineEdit(&dialog);
  user->setObjectName(QStringLiteral("edt_User"));
  auto* password = new QLineEdit(&dialog);
  password->setObjectName(QStringLiteral("edt_Password"));
  password->setEchoMode(QLineEdit::Password);
  form->addRow(QStringLiteral("&User name:"), user);
  form->addRow(QStringLiteral("&Password:"), password);
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.setWindowModality(Qt::ApplicationModal);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  Credentials answer{user->text(), password->text()};
  password->clear();
  return answer;
}

void CredentialsDialogSeam::install(Answerer a) {
  answerer() = std::move(a);
  askedResources().clear();
}
void CredentialsDialogSeam::uninstall() { answerer() = nullptr; }
const QList<QString>& CredentialsDialogSeam::asked() { return askedResources(); }

}  // namespace platform
