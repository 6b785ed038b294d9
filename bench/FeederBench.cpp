// Row 8: a 200-page feeder batch of 300 dpi colour A4 pages through the
// scripted driver, in a child process of its own so that its peak resident
// memory is the program's alone. The script holds one page that every sheet
// shares; each delivered sheet becomes a buffer of its own in the control, as
// a real scanner's would. Written files are removed after each page so the
// disk does not fill; that does not touch the program's memory.
//
//   bench_feeder [--pages N]          runs the child and prints the row
//   bench_feeder --child [--pages N]  the batch itself

#include "bench/BenchSupport.h"
#include "bench/ScriptedProgram.h"
#include "bench/SyntheticPage.h"

#include "main/Unitmain.h"
#include "scanner/VSTWAINLib_OCX.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QProcess>

#include <cmath>
#include <cstdio>
#include <map>

namespace {

void emptyFolder(const QString& path) {
  QDir dir(path);
  for (const QString& name : dir.entryList(QDir::Files)) dir.remove(name);
}

int child(int argc, char** argv, int pages) {
  bench::setUpEnvironment();
  QApplication app(argc, argv);
  bench::nameApplication();

  QImage page = bench::makeSyntheticPage();
  // A resolution other than the scan's, so the driver's stamping of 300 dpi
  // gives every sheet its own pixels.
  page.setDotsPerMeterX(2835);
  page.setDotsPerMeterY(2835);
  const QList<QImage> sheets(pages, page);
  bench::ScriptedProgram program(sheets, true);
  Tfrm_Main* w = program.window();
  w->cb_ADF->setChecked(true);
  w->cmb_Format->setCurrentIndex(0);  // BMP
  const QString temp = qEnvironmentVariable("TEMP");
  std::printf("RSS ready %.1f\n", bench::residentMiB());
  std::printf("PEAK ready %.1f\n", bench::peakResidentMiB());

  int done = 0;
  const std::vector<int> samples{1, 2, 3, 5, 10, 20, 50, 100, 150, 200, pages};
  // Runs after the window's own handler for the same page.
  QObject::connect(w->VintaSoftTwain, &TVintaSoftTwain::OnPostScan, w, [&](int flag) {
    if (flag != 0) return;
    ++done;
    emptyFolder(program.destination());
    emptyFolder(temp);
    if (std::find(samples.begin(), samples.end(), done) != samples.end())
      std::printf("RSS %d %.1f\n", done, bench::residentMiB());
    std::fflush(stdout);
  });
  const auto start = bench::Clock::now();
  if (!program.scanAndWait(3600000)) bench::fail(QStringLiteral("batch did not end"));
  const double seconds = bench::millisecondsSince(start) / 1000;
  if (done != pages) bench::fail(QStringLiteral("%1 of %2 pages handled: %3").arg(done).arg(pages).arg(w->StatusText()));
  if (w->StatusIsError()) bench::fail(w->StatusText());
  std::printf("TIME %.1f\n", seconds);
  std::printf("PEAK end %.1f\n", bench::peakResidentMiB());
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int pages = bench::option(argc, argv, "--pages", QStringLiteral("200")).toInt();
  if (bench::hasFlag(argc, argv, "--child")) return child(argc, argv, pages);

  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.start(QString::fromLocal8Bit(argv[0]), {"--child", "--pages", QString::number(pages)});
  if (!process.waitForFinished(3600000) || process.exitCode() != 0) bench::fail(QStringLiteral("child failed"));

  std::map<QString, double> rss;
  double peakReady = 0, peakEnd = 0, seconds = 0;
  for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
    const QList<QByteArray> f = line.split(' ');
    if (f.size() == 3 && f[0] == "RSS") rss[QString::fromLatin1(f[1])] = f[2].toDouble();
    if (f.size() == 3 && f[0] == "PEAK") (f[1] == "ready" ? peakReady : peakEnd) = f[2].toDouble();
    if (f.size() == 2 && f[0] == "TIME") seconds = f[1].toDouble();
  }
  const double onePage = 2480.0 * 3508 * 3 / (1024 * 1024);
  QString samples;
  for (const char* key : {"ready", "1", "2", "3", "5", "10", "20", "50", "100", "150", "200"})
    if (rss.count(key)) samples += QStringLiteral(" %1:%2").arg(key).arg(rss[key], 0, 'f', 1);
  std::printf("feeder: %d pages in %.1f s; RSS MiB after pages%s; peak at Ready %.1f MiB\n", pages, seconds,
              qPrintable(samples), peakReady);
  const QString last = QString::number(pages);
  const double from = rss.count("50") ? rss["50"] : rss["5"];
  const int fromPage = rss.count("50") ? 50 : 5;
  const double perPage = (rss[last] - from) / std::max(1, pages - fromPage);
  std::printf("feeder: growth %.3f MiB per page from page %d to %d\n", perPage, fromPage, pages);
  // A page's list entry (thumbnail and caption) stays for the run: a few
  // tens of kilobytes per page are expected growth, a buffer is not.
  const bool met = peakEnd <= 300.0 && perPage <= 0.1;
  bench::printRow({"8",
                   QStringLiteral("%1-page feeder batch, peak RSS (5/50/100/200: %2/%3/%4/%5 MiB)")
                       .arg(pages)
                       .arg(rss["5"], 0, 'f', 0)
                       .arg(rss["50"], 0, 'f', 0)
                       .arg(rss["100"], 0, 'f', 0)
                       .arg(rss[last], 0, 'f', 0),
                   QStringLiteral("%1 MiB").arg(peakEnd, 0, 'f', 1),
                   QStringLiteral("one page: %1 MiB").arg(onePage, 0, 'f', 1), bench::ratio(peakEnd, onePage),
                   QStringLiteral("<= 300 MB, growth <= 0.1 MiB/page (%1)").arg(perPage, 0, 'f', 3), met});
  return 0;
}
