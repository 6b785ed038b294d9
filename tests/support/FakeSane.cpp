#include "support/FakeSane.h"

#include "support/TestSupport.h"

#include <QFile>

namespace fake_sane {

namespace {

constexpr char kConfVariable[] = "FAKESANE_CONF";

QString logPath() {
  QFile conf(qEnvironmentVariable(kConfVariable));
  if (!conf.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  for (const QByteArray& line : conf.readAll().split('\n'))
    if (line.startsWith("log ")) return QString::fromUtf8(line.mid(4));
  return {};
}

}  // namespace

child_process::Options childOptions(const QStringList& conf) {
  const QString folder = testing_support::makeTempDir(QStringLiteral("fakesane"));
  const QString confPath = folder + QStringLiteral("/fake.conf");
  QFile file(confPath);
  if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
    for (const QString& line : conf) file.write((line + QLatin1Char('\n')).toUtf8());
    file.write(("log " + folder + "/fake.log\n").toUtf8());
  }
  QString libraryPath = QStringLiteral(BREVALTO_FAKESANE_DIR);
  if (qEnvironmentVariableIsSet("LD_LIBRARY_PATH")) libraryPath += QLatin1Char(':') + qEnvironmentVariable("LD_LIBRARY_PATH");
  return {.saneFiles = {{QStringLiteral("dll.conf"), {QStringLiteral("fake")}}},
          .environment = {{QString::fromLatin1(kConfVariable), confPath}, {QStringLiteral("LD_LIBRARY_PATH"), libraryPath}}};
}

QStringList log() {
  QFile file(logPath());
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList logLines(const QString& prefix) {
  QStringList out;
  for (const QString& line : log())
    if (line.startsWith(prefix)) out << line;
  return out;
}

void clearLog() {
  QFile file(logPath());
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.close();
}

}  // namespace fake_sane
