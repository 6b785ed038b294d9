// Rows 9 and 10: from process start until the main window is up and its
// status reads "Ready", over the real SANE driver, and then how a preview job
// keeps the window served while it lists the sources again. The program itself offers
// no sign of "Ready" to the outside, so a child process of this benchmark does
// what the program's entry does (application, the four windows, show) and
// reports the moment the status reads "Ready"; the parent measures from just
// before it starts the child, so loading, linking and Qt's start-up count.
//
//   bench_startup [--reps N]
//   bench_startup --child [--system-sane]

#include "bench/BenchSupport.h"

#include "app/Application.h"
#include "main/Unitmain.h"
#include "scanner/SaneDriverFactory.h"
#include "scanner/ScanDriver.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

long long monotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int child(int argc, char** argv) {
  const long long entered = monotonicNs();
  bench::setUpEnvironment(!bench::hasFlag(argc, argv, "--system-sane"));
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Quellmark"));
  QApplication::setApplicationName(QStringLiteral("Brevalto Pro"));
  const long long appMade = monotonicNs();
  ProgramWindows windows = createProgramWindows(makeSaneDriver());
  windows.frm_Main->show();
  const long long shown = monotonicNs();
  Tfrm_Main* w = windows.frm_Main.get();
  if (!bench::waitUntil([&] { return w->StatusText() == QStringLiteral("Ready"); }, 120000))
    bench::fail(QStringLiteral("never Ready: %1").arg(w->StatusText()));
  const long long ready = monotonicNs();

  // Then a preview job, which lists the sources again before it opens one:
  // how long until it is over, and the longest the event loop went unserved.
  long long lastTick = monotonicNs();
  long long longestStall = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const long long now = monotonicNs();
    longestStall = std::max(longestStall, now - lastTick);
    lastTick = now;
  });
  ticker.start(10);
  const long long jobBegun = monotonicNs();
  lastTick = jobBegun;
  w->ToolButtonPreviewClick();
  if (!bench::waitUntil([&] { return w->ToolButtonPreview->isEnabled(); }, 120000))
    bench::fail(QStringLiteral("the preview job never ended: %1").arg(w->StatusText()));
  const long long jobEnded = monotonicNs();
  longestStall = std::max(longestStall, jobEnded - lastTick);
  ticker.stop();
  std::printf("STATUS %s\n", qPrintable(w->StatusText().simplified().replace(' ', '_')));

  std::printf("MAIN %lld\nAPP %lld\nSHOWN %lld\nREADY %lld\nJOB %lld\nSTALL %lld\n", entered, appMade, shown, ready,
              jobEnded - jobBegun, longestStall);
  std::fflush(stdout);
  QDir(bench::tempRoot()).removeRecursively();
  std::_Exit(0);  // the figure is taken; tearing down is not part of it
}

struct Start {
  double toMain = 0, toApp = 0, toShown = 0, toReady = 0;
  double job = 0, stall = 0;  // a preview job after Ready: its length, the longest stall in it
  QString jobStatus;
};

Start startOnce(const QString& self, bool systemSane) {
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  QStringList args{"--child"};
  if (systemSane) args << "--system-sane";
  const long long begun = monotonicNs();
  process.start(self, args);
  if (!process.waitForFinished(180000) || process.exitCode() != 0) bench::fail(QStringLiteral("start-up child failed"));
  Start s;
  for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
    const QList<QByteArray> f = line.split(' ');
    if (f.size() != 2) continue;
    const double at = (f[1].toLongLong() - begun) / 1e6;
    if (f[0] == "MAIN") s.toMain = at;
    if (f[0] == "APP") s.toApp = at;
    if (f[0] == "SHOWN") s.toShown = at;
    if (f[0] == "READY") s.toReady = at;
    if (f[0] == "JOB") s.job = f[1].toLongLong() / 1e6;
    if (f[0] == "STALL") s.stall = f[1].toLongLong() / 1e6;
    if (f[0] == "STATUS") s.jobStatus = QString::fromUtf8(f[1]).replace('_', ' ');
  }
  if (s.toReady <= 0) bench::fail(QStringLiteral("no Ready from the child"));
  return s;
}

void measure(const QString& self, int reps, bool systemSane) {
  std::vector<double> main, app, shown, ready, job, stall;
  QString jobStatus;
  for (int i = 0; i < reps; ++i) {
    const Start s = startOnce(self, systemSane);
    main.push_back(s.toMain);
    app.push_back(s.toApp);
    shown.push_back(s.toShown);
    ready.push_back(s.toReady);
    job.push_back(s.job);
    stall.push_back(s.stall);
    jobStatus = s.jobStatus;
    // A slow configuration (network backends timing out) needs no 7 runs.
    if (i == 0 && s.toReady > 5000 && reps > 3) reps = 3;
  }
  const double r = bench::median(ready);
  std::printf("start-up (%s SANE configuration): main() at %.1f ms, QApplication at %.1f ms, shown at %.1f ms, "
              "Ready at %.1f ms (medians of %zu)\n",
              systemSane ? "system" : "test", bench::median(main), bench::median(app), bench::median(shown), r,
              ready.size());
  std::printf(
      "   then a preview job (it lists the sources again): %.1f ms, the event loop unserved at most %.1f ms; "
      "it ended with \"%s\"\n",
      bench::median(job), bench::median(stall), qPrintable(jobStatus));
  if (systemSane)
    bench::printRow({"10", QStringLiteral("start to Ready, system SANE configuration"), bench::ms(r), "-", "-",
                     QStringLiteral("(figure only)"), true});
  else
    bench::printRow({"9", QStringLiteral("start to Ready, SANE test configuration"), bench::ms(r), "-", "-",
                     QStringLiteral("<= 300 ms"), r <= 300.0});
}

}  // namespace

int main(int argc, char** argv) {
  if (bench::hasFlag(argc, argv, "--child")) return child(argc, argv);
  const int reps = bench::repetitions(argc, argv);
  const QString self = QString::fromLocal8Bit(argv[0]);
  measure(self, reps, false);
  measure(self, reps, true);
  return 0;
}
