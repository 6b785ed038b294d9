#include "output/FileNaming.h"

#include "platform/RegionalFormats.h"

#include <QFileInfo>

namespace output {

namespace {

bool isBlankOrControl(QChar c) { return c.unicode() <= 0x20; }

}  // namespace

QString trimName(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && isBlankOrControl(text.at(begin))) ++begin;
  while (end > begin && isBlankOrControl(text.at(end - 1))) --end;
  return text.mid(begin, end - begin);
}

QString extensionForFormat(const QString& formatText) {
  QString ext = trimName(formatText.left(4));
  for (QChar& c : ext)
    if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + ('a' - 'A'));
  return ext;
}

NameParts nameParts(const QString& folderText, const QString& baseText, const QString& formatText,
                    const QString& tempFolder) {
  return NameParts{trimName(folderText), trimName(baseText), extensionForFormat(formatText), tempFolder};
}

QString timeStamp(const QDateTime& local, const platform::RegionalFormats& formats) {
  const QTime time = local.time();
  QString stamp = formats.shortDate(local.date());
  if (time.hour() != 0 || time.minute() != 0 || time.second() != 0)
    stamp += QLatin1Char(' ') + formats.longTime(time);
  stamp.replace(QLatin1Char(':'), QLatin1Char('-'));
  stamp.replace(QLatin1Char('/'), QLatin1Char('-'));
  return stamp;
}

QString timeStamp(const QDateTime& local) { return timeStamp(local, platform::RegionalFormats::user()); }

bool pathIsTaken(const QString& path) {
  const QFileInfo info(path);
  return info.exists() || info.isSymLink();
}

QString outputPathFor(const NameParts& parts, const QString& unique) {
  return parts.folder + QLatin1Char('/') + parts.base + QLatin1Char('_') + unique + QLatin1Char('.') + parts.ext;
}

QString makeUniqueStamp(const NameParts& parts, const QString& stamp, const FileExists& exists) {
  if (!exists(outputPathFor(parts, stamp))) return stamp;
  for (qint64 k = 1;; ++k) {
    const QString candidate = stamp + QLatin1Char('_') + QString::number(k);
    if (!exists(outputPathFor(parts, candidate))) return candidate;
  }
}

PageNames pageNames(const NameParts& parts, const QString& unique) {
  const QString name = parts.base + QLatin1Char('_') + unique;
  return PageNames{outputPathFor(parts, unique), parts.temp + QLatin1Char('/') + name + QStringLiteral(".bmp"),
                   name + QLatin1Char('.') + parts.ext};
}

QString previewFilePath(const QString& tempFolder) { return tempFolder + QStringLiteral("/Brevalto.bmp"); }

}  // namespace output
