#include "bench/BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

extern char** environ;

namespace bench {

namespace {

QTemporaryDir& root() {
  static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/brevalto-bench-XXXXXX"));
  return dir;
}

}  // namespace

void setUpEnvironment(bool keepSaneConfig) {
  if (!root().isValid()) fail(QStringLiteral("no temporary folder"));
  const QString base = root().path();
  for (const char* sub : {"temp", "config", "home", "runtime"}) QDir().mkpath(base + '/' + sub);
  QFile::setPermissions(base + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(base + "/runtime"));
  qputenv("TEMP", QFile::encodeName(base + "/temp"));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(base + "/config"));
  qputenv("HOME", QFile::encodeName(base + "/home"));
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (keepSaneConfig) qputenv("SANE_CONFIG_DIR", BREVALTO_SANE_CONFIG_DIR);
  else qunsetenv("SANE_CONFIG_DIR");
}

QString tempRoot() { return root().path(); }

QString makeFolder(const QString& name) {
  static int serial = 0;
  const QString path = root().path() + QStringLiteral("/%1-%2").arg(name).arg(++serial);
  QDir().mkpath(path);
  return path;
}

void nameApplication() {
  QCoreApplication::setOrganizationName(QStringLiteral("Quellmark"));
  QCoreApplication::setApplicationName(QStringLiteral("Brevalto Pro"));
}

int repetitions(int argc, char** argv) {
  const int reps = option(argc, argv, "--reps", QStringLiteral("7")).toInt();
  return reps > 0 ? reps : 7;
}

bool hasFlag(int argc, char** argv, const char* flag) {
  for (int i = 1; i < argc; ++i)
    if (qstrcmp(argv[i], flag) == 0) return true;
  return false;
}

QString option(int argc, char** argv, const char* name, const QString& fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (qstrcmp(argv[i], name) == 0) return QString::fromLocal8Bit(argv[i + 1]);
  return fallback;
}

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double medianMs(int reps, const std::function<void()>& action, const std::function<void()>& before) {
  std::vector<double> times;
  for (int i = 0; i < reps; ++i) {
    if (before) before();
    const auto start = Clock::now();
    action();
    times.push_back(millisecondsSince(start));
  }
  return median(times);
}

double runCommandMs(const QStringList& argv) {
  std::vector<QByteArray> bytes;
  for (const QString& arg : argv) bytes.push_back(QFile::encodeName(arg));
  std::vector<char*> args;
  for (QByteArray& b : bytes) args.push_back(b.data());
  args.push_back(nullptr);
  const auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
    fail(QStringLiteral("cannot start %1").arg(argv.first()));
  int status = 0;
  waitpid(pid, &status, 0);
  const double elapsed = millisecondsSince(start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) fail(QStringLiteral("%1 failed").arg(argv.join(' ')));
  return elapsed;
}

double medianCommandMs(int reps, const QStringList& argv, const std::function<void()>& before) {
  std::vector<double> times;
  for (int i = 0; i < reps; ++i) {
    if (before) before();
    times.push_back(runCommandMs(argv));
  }
  return median(times);
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto start = Clock::now();
  while (!done()) {
    if (millisecondsSince(start) > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

double residentMiB() {
  QFile statm(QStringLiteral("/proc/self/statm"));
  if (!statm.open(QIODevice::ReadOnly)) return 0;
  const QList<QByteArray> fields = statm.readAll().split(' ');
  if (fields.size() < 2) return 0;
  return fields[1].toDouble() * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double peakResidentMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void printRow(const Row& row) {
  // Tab-separated for run.sh, which lines the columns up.
  std::printf("ROW\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", qPrintable(row.id), qPrintable(row.what), qPrintable(row.ours),
              qPrintable(row.anchor), qPrintable(row.ratio), qPrintable(row.target), row.met ? "yes" : "NO");
  std::fflush(stdout);
}

QString ms(double value) { return QString::number(value, 'f', value < 10 ? 2 : 1) + QStringLiteral(" ms"); }

QString ratio(double ours, double anchor) {
  if (anchor <= 0) return QStringLiteral("-");
  return QString::number(ours / anchor, 'f', 2) + QStringLiteral("x");
}

void fail(const QString& why) {
  std::fprintf(stderr, "benchmark failed: %s\n", qPrintable(why));
  std::fflush(stderr);
  std::exit(1);
}

}  // namespace bench
