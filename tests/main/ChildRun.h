#pragma once

// libsane reads its configuration folder once per process, and CUPS its
// server once, so a test that needs a test.conf of its own, or a machine
// without printers, runs again in a child process of this test program.
//
//   TEST_F(Suite, Case) {
//     if (!child_run::inChild({.testConf = {"test-picture \"Solid white\""}})) return;
//     ... the test proper, run only in the child ...
//   }
//
// In the parent, inChild starts the child for the current test, waits for it,
// reports its failures with its output, and returns false. In the child it
// points SANE (and the environment) at what was asked for and returns true.

#include <QMap>
#include <QString>
#include <QStringList>

namespace child_run {

struct Setup {
  // Lines of the test backend's test.conf; the backend's own defaults for the
  // rest.
  QStringList testConf = {};
  // Further environment of the child.
  QMap<QString, QString> environment = {};
};

bool inChild(const Setup& setup);

// Whether this process is such a child.
bool isChild();

}  // namespace child_run
