#pragma once

// The CUPS side of the print tests: the cups-pdf queues that
// tools/cups-setup.sh creates, the folder their PDFs land in, and rendering a
// PDF page to an image with pdftoppm.

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace printing_test {

// The default queue (Letter) and a second one with A5 paper.
inline const QString kLetterQueue = QStringLiteral("BrevaltoPDF");
inline const QString kA5Queue = QStringLiteral("BrevaltoPDF-A5");

// Why the print tests can't run here, or nothing when `queue` is installed.
std::optional<QString> missingQueue(const QString& queue);

// Whether a missing CUPS must fail the test (CI) rather than skip it.
bool runningInCi();

// The folder where cups-pdf writes this user's jobs, from cups-pdf.conf.
QString pdfOutputDir();

// The finished PDFs in `dir` whose names start with `prefix`, sorted by job
// number, oldest first.
QStringList finishedPdfs(const QString& dir, const QString& prefix);

// Waits until `count` finished PDFs beyond `before` are there; returns them
// oldest first (fewer when the time ran out).
QStringList waitForNewPdfs(const QString& dir, const QString& prefix, const QStringList& before,
                           int count, std::chrono::milliseconds timeout);

// Page 1 of `pdf` rendered at `dpi`; a null image when pdftoppm fails.
QImage renderFirstPage(const QString& pdf, int dpi, QString* error);

// The bounding box of the dark pixels of `image`; empty when there are none.
QRect darkArea(const QImage& image);

// Writes a black bitmap file of width x height pixels whose bottom-right
// quarter is white, so that a turned or mirrored print shows.
QString writeBlackBitmap(const QString& dir, const QString& name, int width, int height);

}  // namespace printing_test

// Skips a test that needs the cups-pdf queue, or fails it in CI.
#define REQUIRE_PRINT_QUEUE(queue)                                                   \
  do {                                                                               \
    if (auto why = ::printing_test::missingQueue(queue)) {                           \
      if (::printing_test::runningInCi()) FAIL() << why->toStdString();              \
      GTEST_SKIP() << why->toStdString();                                            \
    }                                                                                \
  } while (false)
