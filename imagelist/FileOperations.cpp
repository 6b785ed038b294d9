#include "imagelist/FileOperations.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString listedFilePath(const QString& folder, const QString& caption) {
  return folder + QStringLiteral("/") + caption;
}

bool isPlainFileName(const QString& name) {
  return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
         !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

bool renameWithoutReplacing(const QString& from, const QString& to) {
  const QByteArray source = QFile::encodeName(from);
  const QByteArray target = QFile::encodeName(to);
  // An entry stands for a file. Whatever took its name since (a folder the
  // user made there) is not the program's to move.
  struct stat status;
  if (::stat(source.constData(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  if (renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the no-replace flag: a hard link fails on an
  // existing target just the same, then the old name goes.
  if (::link(source.constData(), target.constData()) != 0) return false;
  if (::unlink(source.constData()) != 0) {
    ::unlink(target.constData());
    return false;
  }
  return true;
}

bool deleteFile(const QString& path) { return ::unlink(QFile::encodeName(path).constData()) == 0; }
