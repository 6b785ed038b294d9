#pragma once

// A test that needs a process of its own runs again in a child process of
// the test program: libsane reads its configuration folder once per process
// and CUPS its server once; a file-size limit, another user or a mount of
// its own would change the whole process; after an application quit, Qt's
// event loops return at once.
//
//   TEST_F(Suite, Case) {
//     if (!child_process::inChild({.testConf = {"test-picture \"Solid white\""}})) return;
//     ... the test proper, run only in the child ...
//   }
//
// In the parent, inChild runs the current test again in a child, waits for
// it, passes on its failures with its output (or its skip), and returns
// false. In the child it sets up what was asked for and returns true.

#include <QMap>
#include <QString>
#include <QStringList>

namespace child_process {

struct Options {
  // Lines of the SANE test backend's test.conf. When given, the child gets a
  // SANE configuration of its own that holds only the test backend; the
  // backend's defaults fill the rest.
  QStringList testConf = {};
  // Files of the child's own SANE configuration folder by name ("dll.conf",
  // "net.conf") with their lines, for backends other than test; with
  // testConf, its two files are written too.
  QMap<QString, QStringList> saneFiles = {};
  // Further environment of the child.
  QMap<QString, QString> environment = {};
  // A command the child is started through; the test program and its
  // arguments follow it.
  QStringList wrapper = {};
};

bool inChild(const Options& options = {});

// Whether this process is such a child.
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

}  // namespace child_process
