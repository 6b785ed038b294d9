#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (a logout, a Ctrl+C in the terminal) into
// an ordinary close of the main window on the UI thread, so the preferences
// are written as on any other close.
//
// Libraries the program loads may change a signal's handling behind our back:
// a SANE backend's reader thread sets SIGTERM back to its default action (end
// the process) and unblocks it in that thread, so a signal after the first
// scan would end the program without saving anything. Hence:
//  - blockTerminationSignals() blocks the three signals first thing in main(),
//    before any thread exists, so every thread the program or a library
//    starts inherits the block and none of them takes the signals;
//  - the watcher reads them from a signalfd, which works whatever their
//    disposition is while they are blocked;
//  - for a thread that unblocks them itself, the watcher's own handler stays
//    installed: it is checked, and put back when a library replaced it, each
//    time the UI thread's event loop is about to wait.
class TerminationWatcher : public QObject {
  Q_OBJECT

 public:
  explicit TerminationWatcher(QObject* parent = nullptr);
  ~TerminationWatcher() override;

  // Blocks SIGTERM, SIGINT and SIGHUP in the calling thread; called in main()
  // before anything starts a thread.
  static void blockTerminationSignals();

  // Puts the watcher's handler back for each signal whose handling someone
  // changed. Runs by itself before the UI thread waits for events.
  void restoreHandlers();

 signals:
  void terminationRequested();

 private:
  void drainSignals();

  QSocketNotifier* pipeNotifier_ = nullptr;
  QSocketNotifier* signalNotifier_ = nullptr;
  int signalFd_ = -1;
};
