// Row 5: opening a 300 dpi JPEG page in the viewer at its design size, as the
// image list's Preview command does it (decode for the viewer's size, then
// place), against a full decode by djpeg.
//
//   bench_viewer [--reps N]

#include "bench/BenchSupport.h"
#include "bench/SyntheticPage.h"

#include "imagelist/PreviewImage.h"
#include "imagelist/Unitpreview.h"
#include "platform/PictureLoader.h"
#include "scanner/ImageFileWriter.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
  bench::setUpEnvironment();
  QApplication app(argc, argv);
  bench::nameApplication();
  const int reps = bench::repetitions(argc, argv);

  const QImage page = bench::makeSyntheticPage();
  const QString folder = bench::makeFolder(QStringLiteral("viewer"));
  const QString jpeg = folder + "/page.jpg";
  QString error;
  if (!writeImageFile(page, jpeg, ImageFileFormat::Jpeg, bench::kPageDotsPerInch, &error)) bench::fail(error);

  Tfrm_Preview viewer;
  const QSize designSize = viewer.Image->size();
  QSize decoded;
  auto open = [&] {
    QSize fullSize;
    const QImage picture = platform::loadPicture(jpeg, viewer.Image->size(), &fullSize);
    decoded = picture.size();
    viewer.Image->setPicture(picture, fullSize, [path = jpeg](const QSize& atLeast) {
      return platform::loadPicture(path, atLeast);
    });
  };
  open();  // warm the file cache
  const double ours = bench::medianMs(reps, open);
  std::printf("viewer: image control %dx%d, JPEG decoded at %dx%d of %dx%d\n", designSize.width(), designSize.height(),
              decoded.width(), decoded.height(), page.width(), page.height());

  const double anchor = bench::medianCommandMs(reps, {"djpeg", "-outfile", "/dev/null", jpeg});
  bench::printRow({"5", QStringLiteral("viewer: decode + place a 300 dpi JPEG"), bench::ms(ours),
                   QStringLiteral("djpeg full decode: ") + bench::ms(anchor), bench::ratio(ours, anchor),
                   QStringLiteral("<= 0.8x"), ours <= 0.8 * anchor});
  return 0;
}
