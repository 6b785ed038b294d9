// Rows 11 to 13: the blank-page measure over a painted corpus of A4 feeder
// pages at 300 dpi (sheets with a little content, empty sheets with what
// scanners and paper add). Prints each sheet's measure, the confusion table
// of the measure against the limit 0.01, and the time per colour page. The
// anchor is the plain measure many scanning programs use: the share of
// pixels with luma below 200, leaving out a 1 % strip at each edge.
//
//   bench_blankpage [--reps N] [--sheets]   (--sheets: one line per sheet)

#include "bench/BenchSupport.h"
#include "bench/BlankCorpus.h"
#include "bench/SyntheticPage.h"

#include "scanner/BlankPage.h"

#include <QGuiApplication>

#include <cstdio>
#include <ctime>

namespace {

constexpr float kLimit = 0.01f;  // the limit the post-scan handling passes

float darkPixelShare(const QImage& page) {
  const int mx = page.width() / 100, my = page.height() / 100;
  qint64 dark = 0;
  for (int y = my; y < page.height() - my; ++y) {
    const uchar* line = page.constScanLine(y);
    for (int x = mx; x < page.width() - mx; ++x) {
      const uchar* px = line + 3 * x;
      dark += 299 * px[0] + 587 * px[1] + 114 * px[2] < 200 * 1000;
    }
  }
  return static_cast<float>(double(dark) / (double(page.width() - 2 * mx) * (page.height() - 2 * my)));
}

double threadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Confusion {
  int contentAsContent = 0, contentAsBlank = 0, blankAsBlank = 0, blankAsContent = 0;
  void add(bool content, float level) {
    const bool blank = level <= kLimit;
    if (content) (blank ? contentAsBlank : contentAsContent)++;
    else (blank ? blankAsBlank : blankAsContent)++;
  }
  void print(const char* title) const {
    std::printf("%s\n", title);
    std::printf("                      measured content   measured blank\n");
    std::printf("  content sheets      %16d   %14d\n", contentAsContent, contentAsBlank);
    std::printf("  empty sheets        %16d   %14d\n", blankAsContent, blankAsBlank);
  }
  double blankShare() const { return double(blankAsBlank) / std::max(1, blankAsBlank + blankAsContent); }
};

}  // namespace

int main(int argc, char** argv) {
  bench::setUpEnvironment(false);
  QGuiApplication app(argc, argv);
  const int reps = bench::repetitions(argc, argv);
  const bool perSheet = bench::hasFlag(argc, argv, "--sheets");

  Confusion colour, grey, anchor;
  std::vector<double> times, cpuTimes, anchorTimes;
  const auto sheets = bench::blankCorpus();
  for (const bench::CorpusSheet& sheet : sheets) {
    const QImage page = bench::paintSheet(sheet, bench::kPageDotsPerInch);
    const bool content = bench::hasContent(sheet.kind);
    float level = 0;
    std::vector<double> wall, cpu;
    for (int rep = 0; rep < reps; ++rep) {
      // Processor time of this thread too: less disturbed by other programs.
      const double cpuStart = threadCpuMs();
      const auto start = bench::Clock::now();
      level = measureNoiseLevel(page);
      wall.push_back(bench::millisecondsSince(start));
      cpu.push_back(threadCpuMs() - cpuStart);
    }
    times.push_back(bench::median(wall));
    cpuTimes.push_back(bench::median(cpu));
    colour.add(content, level);
    const QImage greyPage = page.convertToFormat(QImage::Format_Grayscale8);
    const float greyLevel = measureNoiseLevel(greyPage);
    grey.add(content, greyLevel);
    float old = 0;
    anchorTimes.push_back(bench::medianMs(std::min(reps, 3), [&] { old = darkPixelShare(page); }));
    anchor.add(content, old);
    const bool wrong = (level <= kLimit) == content;
    if (perSheet || wrong)
      std::printf("%-40s %-7s measure %.4f (grey %.4f)%s   dark-pixel share %.4f\n", qPrintable(bench::sheetName(sheet)),
                  content ? "content" : "empty", level, greyLevel, wrong ? "  WRONG" : "", old);
  }
  std::printf("%zu sheets, A4 at 300 dpi\n", sheets.size());
  colour.print("measureNoiseLevel, colour pages:");
  grey.print("measureNoiseLevel, the same pages in grey:");
  anchor.print("anchor, share of pixels with luma below 200:");

  const double perPage = bench::median(times);
  const double worst = *std::max_element(times.begin(), times.end());
  const double anchorPerPage = bench::median(anchorTimes);
  std::printf("time per colour page: median %.2f ms, slowest %.2f ms; processor time median %.2f ms\n", perPage,
              worst, bench::median(cpuTimes));

  bench::printRow({"11", QStringLiteral("blank measure: content sheets measured blank"),
                   QStringLiteral("%1 of %2").arg(colour.contentAsBlank + grey.contentAsBlank)
                       .arg(2 * (colour.contentAsBlank + colour.contentAsContent)),
                   QStringLiteral("luma<200 share: %1").arg(anchor.contentAsBlank), "-", QStringLiteral("0"),
                   colour.contentAsBlank == 0 && grey.contentAsBlank == 0});
  bench::printRow({"12", QStringLiteral("blank measure: empty sheets measured blank"),
                   QStringLiteral("%1 %").arg(100.0 * std::min(colour.blankShare(), grey.blankShare()), 0, 'f', 1),
                   QStringLiteral("luma<200 share: %1 %").arg(100.0 * anchor.blankShare(), 0, 'f', 1), "-",
                   QStringLiteral(">= 95 %"), colour.blankShare() >= 0.95 && grey.blankShare() >= 0.95});
  bench::printRow({"13", QStringLiteral("blank measure of a 300 dpi colour A4 page"), bench::ms(perPage),
                   QStringLiteral("luma<200 share: ") + bench::ms(anchorPerPage), bench::ratio(perPage, anchorPerPage),
                   QStringLiteral("<= 15 ms"), perPage <= 15.0});
  return 0;
}
