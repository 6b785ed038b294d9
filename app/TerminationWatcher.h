#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (a logout, a Ctrl+C in the terminal) into
// an ordinary close of the main window on the UI thread, so the preferences
// are written as on any other close.
class TerminationWatcher : public QObject {
  Q_OBJECT

 public:
  explicit TerminationWatcher(QObject* parent = nullptr);
  ~TerminationWatcher() override;

 signals:
  void terminationRequested();

 private:
  QSocketNotifier* notifier_ = nullptr;
};
