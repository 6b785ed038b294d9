// Rows 6 and 7 on the main window's own preview pane: loading an 850 x 1100
// preview (what the window's LoadPreviewImage does with the preview file), and
// one step of dragging the frame with the mouse (move, then the repaint it
// asks for).
//
//   bench_preview [--reps N]

#include "bench/BenchSupport.h"
#include "bench/ScriptedProgram.h"
#include "bench/SyntheticPage.h"

#include "main/Unitmain.h"
#include "output/FileNaming.h"
#include "preview/LayeredImage.h"
#include "preview/PreviewFit.h"
#include "preview/PreviewPane.h"
#include "preview/SelectionFrame.h"
#include "scanner/ImageFileWriter.h"

#include <QApplication>
#include <QImageReader>
#include <QMouseEvent>
#include <QTest>

#include <cstdio>

namespace {

// Counts the paints of one widget, to be sure a step really repainted.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

int main(int argc, char** argv) {
  bench::setUpEnvironment();
  QApplication app(argc, argv);
  bench::nameApplication();
  const int reps = bench::repetitions(argc, argv);

  bench::ScriptedProgram program({bench::makeSyntheticPage(7, QSize(240, 320))}, false);
  Tfrm_Main* w = program.window();
  PreviewPane* pane = w->gb_Preview;

  // Row 6: the preview file as a 100 dpi preview job leaves it.
  const QImage preview = bench::makeSyntheticPage(11, QSize(850, 1100));
  const QString path = output::previewFilePath(qEnvironmentVariable("TEMP"));
  QString error;
  if (!writeImageFile(preview, path, ImageFileFormat::Bmp, 100, &error)) bench::fail(error);
  w->CurrentResolution = 100;
  auto load = [&] { w->PreviewScale = pane->loadPreviewImage(path, w->CurrentResolution, w->DisplayUnits); };
  load();
  // Between two previews the event loop runs; so it does here, untimed.
  const double loadMs = bench::medianMs(reps * 3, load, [] { QCoreApplication::processEvents(); });
  const double loadBackToBackMs = bench::medianMs(reps * 3, load);
  const double loadAndPaintMs = bench::medianMs(reps * 3, [&] {
    load();
    QCoreApplication::processEvents();
  });
  // Where the time goes: the reduction straight from the file (the path the
  // load takes for our bitmaps), beside Qt's reader and the resample of its
  // picture (the path for any other file), and the rulers.
  QImage read;
  const double readMs = bench::medianMs(reps * 3, [&] { read = QImageReader(path).read(); });
  const preview_fit::Fit fitted = preview_fit::fit(pane->image()->size(), read.size());
  const double resampleMs = bench::medianMs(reps * 3, [&] { preview_fit::resample(read, fitted.bitmap); });
  const double fileMs = bench::medianMs(reps * 3, [&] {
    if (!preview_fit::resampleBitmapFile(path, fitted.bitmap))
      bench::fail(QStringLiteral("the preview bitmap was not reduced from its file"));
  });
  const double rulersMs = bench::medianMs(reps * 3, [&] { pane->drawRulers(w->PreviewScale, w->DisplayUnits); });
  std::printf(
      "preview: from the file to %dx%d %.2f ms; Qt's reader %.2f ms (format %d) + resample %.2f ms; rulers %.2f ms\n",
      fitted.bitmap.width(), fitted.bitmap.height(), fileMs, readMs, static_cast<int>(read.format()), resampleMs,
      rulersMs);
  std::printf("preview: scale %.3f, image area %.0fx%.0f; load + repaint %.2f ms; loads back to back %.2f ms\n",
              w->PreviewScale, pane->imageArea().right, pane->imageArea().bottom, loadAndPaintMs, loadBackToBackMs);
  bench::printRow({"6", QStringLiteral("LoadPreviewImage of an 850x1100 preview"), bench::ms(loadMs), "-", "-",
                   QStringLiteral("<= 5 ms"), loadMs <= 5.0});

  // Row 7: a frame of 100 x 100 pane pixels, pressed in its middle and moved
  // to and fro by 6 pixels per step.
  QWidget* view = pane->image();
  PaintCounter counter;
  view->installEventFilter(&counter);
  pane->placeNamedSize({60, 60, 160, 160});
  QCoreApplication::processEvents();
  const QPoint grip(110, 110);
  QTest::mousePress(view, Qt::LeftButton, {}, grip);
  constexpr int kSteps = 40;
  int step = 0;
  auto moveOnce = [&] {
    const QPoint at = grip + QPoint((step % 2) ? 6 : -6, (step % 2) ? 4 : -4);
    ++step;
    QMouseEvent event(QEvent::MouseMove, at, view->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(view, &event);
    QCoreApplication::processEvents();  // the repaint the move asked for
  };
  const int paintsBefore = counter.paints;
  const FloatRect before = pane->frameLocation();
  std::vector<double> perStep;
  for (int r = 0; r < reps; ++r) {
    const auto start = bench::Clock::now();
    for (int i = 0; i < kSteps; ++i) moveOnce();
    perStep.push_back(bench::millisecondsSince(start) / kSteps);
  }
  const int paints = counter.paints - paintsBefore;
  const FloatRect after = pane->frameLocation();
  QTest::mouseRelease(view, Qt::LeftButton, {}, grip);
  if (pane->selectionFrame()->dragState() != DragState::None) bench::fail(QStringLiteral("drag did not end"));
  std::printf("drag: %d steps, %d paints of the pane, frame %.0f,%.0f before and %.0f,%.0f after\n", reps * kSteps,
              paints, before.left, before.top, after.left, after.top);
  if (paints < reps * kSteps / 2) bench::fail(QStringLiteral("the drag steps did not repaint"));
  const double stepMs = bench::median(perStep);
  bench::printRow({"7", QStringLiteral("one frame drag step (move + repaint)"), bench::ms(stepMs), "-", "-",
                   QStringLiteral("<= 2 ms"), stepMs <= 2.0});
  return 0;
}
