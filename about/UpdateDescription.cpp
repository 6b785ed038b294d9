#include "about/UpdateDescription.h"

#include "platform/Error.h"

#include <QDomDocument>
#include <QFile>

QString readOfferedVersion(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw platform::Error(QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString()));

  // Qt's DOM parser never fetches external entities.
  QDomDocument document;
  QString message;
  int line = 0;
  if (!document.setContent(&file, false, &message, &line))
    throw platform::Error(QStringLiteral("Not well-formed XML (line %1): %2").arg(line).arg(message));

  const QDomElement info = document.documentElement().firstChildElement(QStringLiteral("Program_Info"));
  if (info.isNull()) throw platform::Error(QStringLiteral("No Program_Info element"));
  const QDomElement version = info.firstChildElement(QStringLiteral("Program_Version"));
  if (version.isNull()) return QString();

  const QDomNodeList children = version.childNodes();
  if (children.isEmpty()) return QString();
  // isText() covers CDATA sections as well.
  if (children.size() == 1 && children.at(0).isText()) return children.at(0).toText().data();
  throw platform::Error(QStringLiteral("Program_Version holds more than one piece of text"));
}
