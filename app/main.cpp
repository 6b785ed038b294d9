#include "app/Application.h"
#include "app/TerminationWatcher.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  // Before any thread starts, so that every thread inherits the block (see
  // TerminationWatcher).
  TerminationWatcher::blockTerminationSignals();
  const int code = runApplication(argc, argv);
  // The windows are gone by now: settings saved, files closed, the scanner
  // released. The libraries' exit handlers are skipped. A SANE backend that
  // stops its reader thread with an asynchronous cancel can leave the C
  // library's locale lock held, and a library's exit handler (p11-kit's
  // freelocale) would then wait for it for ever: the window is closed, but
  // the process never ends.
  std::fflush(nullptr);
  std::_Exit(code);
}
