#include "platform/MessageBox.h"

#include <QMessageBox>

namespace platform {
namespace {

MessageBoxSeam::Answerer& answerer() {
  static MessageBoxSeam::Answerer instance;
  return instance;
}

QList<MessageRequest>& shownRequests() {
  static QList<MessageRequest> list;
  return list;
}

QMessageBox::Icon toQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

MessageAnswer showMessage(QWidget* owner, const QString& text, const QString& caption,
                          MessageIcon icon, MessageButtons buttons) {
  MessageRequest request{owner, text, caption, icon, buttons};
  if (answerer()) {
    shownRequests().append(request);
    return answerer()(request);
  }
  QMessageBox box(toQtIcon(icon), caption, text,
                  buttons == MessageButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No)
                                                   : QMessageBox::Ok,
                  owner);
  box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
  switch (box.exec()) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Ok: return MessageAnswer::Ok;
    default: return MessageAnswer::Cancel;
  }
}

void MessageBoxSeam::install(Answerer a) { answerer() = std::move(a); }

void MessageBoxSeam::answerAlways(MessageAnswer answer) {
  install([answer](const MessageRequest& request) {
    if (request.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return answer;
  });
}

void MessageBoxSeam::uninstall() { answerer() = nullptr; }
bool MessageBoxSeam::installed() { return static_cast<bool>(answerer()); }
const QList<MessageRequest>& MessageBoxSeam::shown() { return shownRequests(); }
void MessageBoxSeam::clearShown() { shownRequests().clear(); }

}  // namespace platform
