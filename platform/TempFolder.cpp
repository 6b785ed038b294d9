#include "platform/TempFolder.h"

#include "platform/Error.h"

#include <QDir>
#include <QFile>
#include <QMutex>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

QString withoutTrailingSeparators(QString path) {
  while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
  return path;
}

// A folder of ours that nobody else may enter: not a link, owned by us, no
// permission bits for group or others. With `closeUp` a folder of ours with
// looser bits is closed.
bool isPrivateFolder(const QByteArray& path, bool closeUp = true) {
  struct stat status;
  if (::lstat(path.constData(), &status) != 0) return false;
  if (!S_ISDIR(status.st_mode) || status.st_uid != ::geteuid()) return false;
  if ((status.st_mode & 077) == 0) return true;
  return closeUp && ::chmod(path.constData(), 0700) == 0;
}

// `path` made (mode 0700) unless it is there, then checked.
bool privateFolderAt(const QByteArray& path) {
  if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) return false;
  return isPrivateFolder(path);
}

QString privateFolder() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (runtime.startsWith('/') && isPrivateFolder(runtime, false)) {
    const QByteArray path = QFile::encodeName(withoutTrailingSeparators(QFile::decodeName(runtime))) + "/brevalto-pro";
    if (privateFolderAt(path)) return QFile::decodeName(path);
  }

  const QString system = withoutTrailingSeparators(QDir::tempPath());
  const QByteArray path = QFile::encodeName(system) + "/brevalto-pro-" + QByteArray::number(::geteuid());
  if (privateFolderAt(path)) return QFile::decodeName(path);

  // Someone else holds the name: a folder of a random name for this run.
  static QMutex mutex;
  static QByteArray fallback;
  const QMutexLocker lock(&mutex);
  if (!fallback.isEmpty() && fallback.startsWith(path + '-') && isPrivateFolder(fallback))
    return QFile::decodeName(fallback);
  QByteArray pattern = path + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    const int code = errno;
    throw Error(QStringLiteral("Unable to create a private temporary folder in '%1': %2")
                    .arg(system, QString::fromLocal8Bit(std::strerror(code))));
  }
  fallback = pattern;
  return QFile::decodeName(fallback);
}

}  // namespace

QString tempFolder() {
  const QString temp = qEnvironmentVariable("TEMP");
  if (!temp.isEmpty()) return withoutTrailingSeparators(temp);
  return privateFolder();
}

}  // namespace platform
