#include "app/TerminationWatcher.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int pipeEnds[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  // Only async-signal-safe work here: one byte into the pipe.
  [[maybe_unused]] auto written = ::write(pipeEnds[0], &byte, 1);
}

}  // namespace

TerminationWatcher::TerminationWatcher(QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeEnds) != 0) return;
  notifier_ = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char byte;
    [[maybe_unused]] auto got = ::read(pipeEnds[1], &byte, 1);
    emit terminationRequested();
  });
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

TerminationWatcher::~TerminationWatcher() {
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
  for (int& end : pipeEnds) {
    if (end >= 0) ::close(end);
    end = -1;
  }
}
