#include "support/Saned.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace saned {

namespace {

constexpr char kSaned[] = "/usr/sbin/saned";

bool writeLines(const QString& path, const QStringList& lines) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  for (const QString& line : lines) file.write((line + QLatin1Char('\n')).toUtf8());
  return file.error() == QFile::NoError;
}

QStringList namespaceWrapper() {
  // As root a network namespace alone; a plain user needs a user namespace
  // around it.
  QStringList command{QStringLiteral("unshare")};
  if (!child_process::runningAsRoot()) command << QStringLiteral("--user") << QStringLiteral("--map-root-user");
  command << QStringLiteral("--net") << QStringLiteral("sh") << QStringLiteral("-c")
          << QStringLiteral("ip link set lo up && exec \"$@\"") << QStringLiteral("sh");
  return command;
}

// Processes whose parent is `pid`, from /proc.
QList<qint64> childrenOf(qint64 pid) {
  QList<qint64> out;
  for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    bool numeric = false;
    const qint64 candidate = entry.toLongLong(&numeric);
    if (!numeric) continue;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
    if (!stat.open(QIODevice::ReadOnly)) continue;
    const QByteArray text = stat.readAll();
    // "pid (comm) state ppid ...": the name may hold blanks, so count from ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 1 && fields[1].toLongLong() == pid) out << candidate;
  }
  return out;
}

}  // namespace

bool available() { return whyUnavailable().isEmpty(); }

QString whyUnavailable() {
  static const QString why = [] {
    if (!QFile::exists(QString::fromLatin1(kSaned))) return QStringLiteral("saned is not installed (package sane-utils)");
    if (QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty())
      return QStringLiteral("ip is not installed (package iproute2)");
    QProcess probe;
    QStringList command = namespaceWrapper();
    command << QStringLiteral("true");
    probe.start(command.first(), command.mid(1));
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
      return QStringLiteral("no network namespace of its own can be made here: ") +
             QString::fromLocal8Bit(probe.readAllStandardError());
    return QString();
  }();
  return why;
}

child_process::Options childOptions() {
  return {.saneFiles = {{QStringLiteral("dll.conf"), {QStringLiteral("net")}},
                        {QStringLiteral("net.conf"), {QStringLiteral("connect_timeout = 5"), QStringLiteral("127.0.0.1")}}},
          .wrapper = namespaceWrapper()};
}

Server::Server(QStringList testConf, QStringList users) : testConf_(std::move(testConf)), users_(std::move(users)) {}

Server::~Server() { killAll(); }

bool Server::start() {
  folder_ = testing_support::makeTempDir(QStringLiteral("saned"));
  if (!writeLines(folder_ + QStringLiteral("/dll.conf"), {QStringLiteral("test")}) ||
      !writeLines(folder_ + QStringLiteral("/saned.conf"), {QStringLiteral("127.0.0.1")}) ||
      !writeLines(folder_ + QStringLiteral("/test.conf"), testConf_))
    return false;
  if (!users_.isEmpty() && !writeLines(folder_ + QStringLiteral("/saned.users"), users_)) return false;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("SANE_CONFIG_DIR"), folder_);
  process_.setProcessEnvironment(environment);
  process_.setProcessChannelMode(QProcess::MergedChannels);
  process_.setStandardOutputFile(folder_ + QStringLiteral("/saned.log"));
  process_.start(QString::fromLatin1(kSaned),
                 {QStringLiteral("-l"), QStringLiteral("-e"), QStringLiteral("-b"), QStringLiteral("127.0.0.1")});
  if (!process_.waitForStarted(5000)) return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), 6566);
    if (probe.waitForConnected(200)) {
      probe.abort();
      return true;
    }
    if (process_.state() == QProcess::NotRunning) return false;
    QThread::msleep(50);
  }
  return false;
}

void Server::killAll() {
  if (process_.state() == QProcess::NotRunning) return;
  const qint64 pid = process_.processId();
  for (qint64 child : childrenOf(pid)) ::kill(static_cast<pid_t>(child), SIGKILL);
  process_.kill();
  process_.waitForFinished(5000);
}

QString Server::log() {
  QFile file(folder_ + QStringLiteral("/saned.log"));
  return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

}  // namespace saned
