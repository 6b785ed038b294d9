#pragma once

#include <QList>
#include <QString>

#include <functional>

class QWidget;

namespace platform {

enum class MessageIcon { None, Information, Warning, Question, Error };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No, Cancel };

struct MessageRequest {
  QWidget* owner = nullptr;
  QString text;
  QString caption;
  MessageIcon icon = MessageIcon::None;
  MessageButtons buttons = MessageButtons::Ok;
};

// Every message box of the program goes through here, so tests can answer
// them in advance instead of a person.
MessageAnswer showMessage(QWidget* owner, const QString& text, const QString& caption,
                          MessageIcon icon, MessageButtons buttons);

// Test seam. While an answerer is installed no real box is shown: each request
// is recorded and the answerer decides the reply.
class MessageBoxSeam {
 public:
  using Answerer = std::function<MessageAnswer(const MessageRequest&)>;

  static void install(Answerer answerer);
  // Answers every box with the given reply (Ok boxes are answered Ok).
  static void answerAlways(MessageAnswer answer);
  static void uninstall();
  static bool installed();

  static const QList<MessageRequest>& shown();
  static void clearShown();
};

}  // namespace platform
