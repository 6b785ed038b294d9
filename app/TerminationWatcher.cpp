#include "app/TerminationWatcher.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

int pipeEnds[2] = {-1, -1};

void onSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // Only async-signal-safe work here: one byte into the pipe.
  [[maybe_unused]] auto written = ::write(pipeEnds[0], &byte, 1);
  errno = saved;
}

sigset_t terminationSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kSignals) sigaddset(&set, signal);
  return set;
}

void installHandler(int signal) {
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(signal, &action, nullptr);
}

// A program we start (the browser for a web address) inherits the signal
// mask of the thread that forks it; it gets the signals back.
void unblockInChild() {
  const sigset_t set = terminationSet();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace

void TerminationWatcher::blockTerminationSignals() {
  static const bool registered = pthread_atfork(nullptr, nullptr, unblockInChild) == 0;
  (void)registered;
  const sigset_t set = terminationSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TerminationWatcher::TerminationWatcher(QObject* parent) : QObject(parent) {
  // A watcher made without main()'s early block still blocks the signals in
  // the UI thread, where they matter most.
  blockTerminationSignals();
  const sigset_t set = terminationSet();
  signalFd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signalFd_ >= 0) {
    signalNotifier_ = new QSocketNotifier(signalFd_, QSocketNotifier::Read, this);
    connect(signalNotifier_, &QSocketNotifier::activated, this, [this] { drainSignals(); });
  }
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeEnds) == 0) {
    pipeNotifier_ = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(pipeNotifier_, &QSocketNotifier::activated, this, [this] {
      char bytes[16];
      while (::read(pipeEnds[1], bytes, sizeof bytes) > 0) {
      }
      emit terminationRequested();
    });
    for (int signal : kSignals) installHandler(signal);
  }
  if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TerminationWatcher::restoreHandlers);
}

void TerminationWatcher::restoreHandlers() {
  if (pipeEnds[0] < 0) return;
  for (int signal : kSignals) {
    struct sigaction current = {};
    if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != onSignal) installHandler(signal);
  }
}

void TerminationWatcher::drainSignals() {
  signalfd_siginfo info;
  bool any = false;
  while (::read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) any = true;
  if (any) emit terminationRequested();
}

TerminationWatcher::~TerminationWatcher() {
  // The signals stay blocked: one that comes while the windows close is taken
  // as already asked for, not as a reason to end half-way.
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  for (int signal : kSignals) sigaction(signal, &action, nullptr);
  for (int& end : pipeEnds) {
    if (end >= 0) ::close(end);
    end = -1;
  }
  if (signalFd_ >= 0) ::close(signalFd_);
  signalFd_ = -1;
}
