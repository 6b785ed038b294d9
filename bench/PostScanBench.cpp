// Rows 1-3: the post-scan handling of one 300 dpi colour A4 page (output file,
// temporary bitmap copy, thumbnail, list entry) in each output format, timed
// around the window's own handler, against copying or encoding the same page
// with the system's tools.
//
//   bench_postscan [--reps N] [--format bmp|tiff|jpg]

#include "bench/BenchSupport.h"
#include "bench/ScriptedProgram.h"
#include "bench/SyntheticPage.h"

#include "imagelist/ImagePane.h"
#include "main/Unitmain.h"
#include "output/Thumbnail.h"
#include "scanner/ImageFileWriter.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>

#include <cstdio>

namespace {

struct Format {
  const char* key;
  int item;  // cmb_Format
  const char* row;
  double target;  // ours / anchor at most
};

const Format kFormats[] = {
    {"bmp", 0, "1", 3.0},
    {"tiff", 2, "2", 3.0},
    {"jpg", 1, "3", 1.5},
};

void emptyFolder(const QString& path, const QString& keep = {}) {
  QDir dir(path);
  for (const QString& name : dir.entryList(QDir::Files))
    if (name != keep) dir.remove(name);
}

}  // namespace

int main(int argc, char** argv) {
  bench::setUpEnvironment();
  QApplication app(argc, argv);
  bench::nameApplication();
  const int reps = bench::repetitions(argc, argv);
  const QString only = bench::option(argc, argv, "--format");

  const QImage page = bench::makeSyntheticPage();
  bench::ScriptedProgram program({page}, false);
  Tfrm_Main* w = program.window();

  double lastHandlerMs = -1;
  int handled = 0;
  program.timePostScan([&](double ms) {
    lastHandlerMs = ms;
    ++handled;
  });

  // Anchor inputs: the page as a bitmap file and as PPM, written once.
  const QString anchors = bench::makeFolder(QStringLiteral("anchor"));
  const QString pageBmp = anchors + "/page.bmp";
  const QString pagePpm = anchors + "/page.ppm";
  if (!page.save(pageBmp, "BMP") || !page.save(pagePpm, "PPM")) bench::fail(QStringLiteral("cannot write anchors"));
  const QString temp = qEnvironmentVariable("TEMP");

  for (const Format& format : kFormats) {
    if (!only.isEmpty() && only != QLatin1String(format.key)) continue;
    w->cmb_Format->setCurrentIndex(format.item);
    std::vector<double> handler;
    std::vector<double> job;
    // One untimed page first: files, fonts and caches as in a running program.
    for (int i = 0; i <= reps; ++i) {
      emptyFolder(program.destination());
      emptyFolder(temp);
      const int before = handled;
      const auto start = bench::Clock::now();
      if (!program.scanAndWait()) bench::fail(QStringLiteral("scan did not end"));
      const double jobMs = bench::millisecondsSince(start);
      if (handled != before + 1) bench::fail(QStringLiteral("expected one page, got %1").arg(handled - before));
      if (w->StatusIsError()) bench::fail(QStringLiteral("scan ended in red: %1").arg(w->StatusText()));
      if (QDir(program.destination()).entryList(QDir::Files).size() != 1) bench::fail(QStringLiteral("no output file"));
      if (i == 0) continue;
      handler.push_back(lastHandlerMs);
      job.push_back(jobMs);
    }
    emptyFolder(program.destination());
    emptyFolder(temp);

    const QString copy = anchors + "/copy";
    double anchorMs = 0;
    QString anchorName;
    if (QLatin1String(format.key) == QLatin1String("jpg")) {
      anchorName = QStringLiteral("cjpeg -quality 75 (PPM)");
      anchorMs = bench::medianCommandMs(reps, {"cjpeg", "-quality", "75", "-outfile", copy + ".jpg", pagePpm},
                                        [&] { QFile::remove(copy + ".jpg"); });
    } else {
      anchorName = QStringLiteral("cp of the BMP page");
      anchorMs = bench::medianCommandMs(reps, {"cp", pageBmp, copy + ".bmp"}, [&] { QFile::remove(copy + ".bmp"); });
    }
    QFile::remove(copy + ".jpg");
    QFile::remove(copy + ".bmp");

    const double ours = bench::median(handler);
    std::printf("post-scan %s: handler median %.1f ms, Scan click to job end median %.1f ms, %d list entries\n",
                format.key, ours, bench::median(job), w->pnl_Right->lv_Images->count());
    bench::printRow({format.row, QStringLiteral("post-scan handling, %1 output").arg(QString::fromLatin1(format.key).toUpper()),
                     bench::ms(ours), anchorName + ": " + bench::ms(anchorMs), bench::ratio(ours, anchorMs),
                     QStringLiteral("<= %1x").arg(format.target), ours <= format.target * anchorMs});
  }
  // The handler's parts on their own, to show where its time goes.
  if (only.isEmpty()) {
    const QString parts = bench::makeFolder(QStringLiteral("parts"));
    auto write = [&](ImageFileFormat format, const char* name, ImageFileUse use = ImageFileUse::Replace) {
      const QString path = parts + "/part." + name;
      return bench::medianMs(reps, [&] {
        QString error;
        if (!writeImageFile(page, path, format, bench::kPageDotsPerInch, &error, use)) bench::fail(error);
      }, [&] { QFile::remove(path); });
    };
    // A kept page is flushed to the disk before it is moved in, and its
    // folder after; the difference to a plain write is what that costs.
    const double keptMs = write(ImageFileFormat::Bmp, "bmp", ImageFileUse::Kept);
    const double bmpMs = write(ImageFileFormat::Bmp, "bmp");
    const double tiffMs = write(ImageFileFormat::Tiff, "tiff");
    const double jpegMs = write(ImageFileFormat::Jpeg, "jpg");
    const double thumbMs =
        bench::medianMs(reps, [&] { output::makeThumbnailImage(parts + "/part.bmp", page.width(), page.height()); });
    std::printf("parts: write BMP %.1f ms, TIFF %.1f ms, JPEG %.1f ms; thumbnail from the BMP %.1f ms\n", bmpMs, tiffMs,
                jpegMs, thumbMs);
    std::printf("parts: write BMP as a kept page (flushed, folder flushed, never replacing) %.1f ms: the flush costs "
                "%.1f ms a page\n",
                keptMs, keptMs - bmpMs);
  }
  return 0;
}
