// Row 4: the list thumbnail of a page's bitmap copy against ImageMagick's
// thumbnail of the same file.
//
//   bench_thumbnail [--reps N]

#include "bench/BenchSupport.h"
#include "bench/SyntheticPage.h"

#include "output/Thumbnail.h"
#include "scanner/ImageFileWriter.h"

#include <QFile>
#include <QGuiApplication>

#include <cstdio>

namespace {

// The stand-in some machines put first in PATH is no ImageMagick.
QString imageMagickConvert() {
  for (const char* candidate : {"/usr/bin/convert", "/usr/bin/convert-im6.q16"})
    if (QFile::exists(QString::fromLatin1(candidate))) return QString::fromLatin1(candidate);
  bench::fail(QStringLiteral("ImageMagick's convert is missing (apt-get install imagemagick)"));
}

}  // namespace

int main(int argc, char** argv) {
  bench::setUpEnvironment();
  QGuiApplication app(argc, argv);
  const int reps = bench::repetitions(argc, argv);

  const QImage page = bench::makeSyntheticPage();
  const QString folder = bench::makeFolder(QStringLiteral("thumb"));
  const QString bmp = folder + "/page.bmp";
  QString error;
  if (!writeImageFile(page, bmp, ImageFileFormat::Bmp, bench::kPageDotsPerInch, &error)) bench::fail(error);

  QImage thumbnail;
  thumbnail = output::makeThumbnailImage(bmp, page.width(), page.height());  // warm the file cache
  const double ours =
      bench::medianMs(reps, [&] { thumbnail = output::makeThumbnailImage(bmp, page.width(), page.height()); });
  if (thumbnail.size() != QSize(output::kThumbnailWidth, output::kThumbnailHeight))
    bench::fail(QStringLiteral("thumbnail of the wrong size"));

  const QString out = folder + "/thumb.png";
  const double anchor =
      bench::medianCommandMs(reps, {imageMagickConvert(), bmp, "-thumbnail", "100x75", out}, [&] { QFile::remove(out); });

  bench::printRow({"4", QStringLiteral("makeThumbnailImage of the page BMP"), bench::ms(ours),
                   QStringLiteral("convert -thumbnail 100x75: ") + bench::ms(anchor), bench::ratio(ours, anchor),
                   QStringLiteral("<= 0.25x (4x faster)"), ours * 4 <= anchor});
  return 0;
}
