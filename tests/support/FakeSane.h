#pragma once

// Tests against the programmable backend in tests/fakesane: a child process
// whose SANE configuration holds only that backend, described by the lines
// a test gives (see FakeSane.c for what they set).
//
//   TEST(Suite, Case) {
//     if (!child_process::inChild(fake_sane::childOptions({"device fake:a|Acme|One", "adf-mode"}))) return;
//     ... the test proper, in the child; fake_sane::log() tells what the backend saw ...
//   }

#include "support/ChildProcess.h"

#include <QStringList>

namespace fake_sane {

child_process::Options childOptions(const QStringList& conf);

// In the child: every line the backend logged so far ("set adf-mode=Duplex",
// "start Color ADF Duplex 850x1169", "cancel", ...).
QStringList log();
// The logged lines that begin with `prefix`.
QStringList logLines(const QString& prefix);
// Forgets what was logged so far.
void clearLog();

}  // namespace fake_sane
