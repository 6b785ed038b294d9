#pragma once

// Faults that change the whole process (a file-size limit, another user, a
// mount of its own) run in a child process of the test program, so the rest
// of the run never sees them:
//
//   TEST_F(Suite, Case) {
//     if (!fault_child::inChild()) return;
//     ... the test proper, run only in the child ...
//   }
//
// In the parent, inChild runs the current test again in a child, waits for
// it, passes on its failures with its output (or its skip), and returns
// false. In the child it returns true.

#include <QMap>
#include <QString>
#include <QStringList>

namespace fault_child {

struct Options {
  // A command the child is started through; the test program and its
  // arguments follow it.
  QStringList wrapper = {};
  QMap<QString, QString> environment = {};
};

bool inChild(const Options& options = {});
bool isChild();

bool runningAsRoot();

// Makes this process the unprivileged user 65534 ("nobody"), first handing
// it the private folders of the test run, so that permission bits count as
// they do for a user. Only for a child; returns false with a reason when it
// can't.
bool becomeUnprivileged(QString* why);

// Whether a wrapper may mount a small tmpfs of its own here (root with the
// right to make a private mount namespace); checked once by trying.
bool canMountTmpfs();
// The wrapper that starts the child with a tmpfs of `size` (e.g. "512k")
// mounted on `folder`, visible to the child only and gone when it ends.
QStringList tmpfsWrapper(const QString& folder, const QString& size);

}  // namespace fault_child
