// The printing layer against real CUPS queues (cups-pdf): each page is a job
// of its own with the program's title, laid out as the geometry says, the
// printable area follows the current printer, and a missing printer is an
// error the user can read, never a silent loss of the page.

#include "output/PagePrinter.h"
#include "output/PrintGeometry.h"
#include "platform/Error.h"

#include "PrintQueue.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPageSize>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QUuid>

#include <cstdio>
#include <cstdlib>
#include <optional>

using namespace printing_test;
using output::PagePrinter;

namespace {

constexpr auto kJobTimeout = std::chrono::seconds(60);
const QString kPdfPrefix = QStringLiteral("Brevalto_Pro_document");  // cups-pdf's name for the title

// What preparePrinter or printPage threw, or nothing.
template <typename Call>
std::optional<QString> errorOf(Call&& call) {
  try {
    call();
  } catch (const platform::Error& error) {
    return error.text();
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Print jobs as they come out of the printer

struct PrintedPage {
  const char* what;
  int width, height;
};

TEST(PagePrinterJobTest, EveryPageIsOwnTitledJobPlacedTopLeftAtTargetSize) {
  REQUIRE_PRINT_QUEUE(kLetterQueue);
  const PrintedPage pages[] = {
      {"tall page, limited by the printable height", 300, 400},
      {"wide page, limited by the printable width", 400, 300},
      {"small 75 dpi scan, enlarged to the full width", 64, 80},
  };
  const QString images = testing_support::makeTempDir(QStringLiteral("pages"));
  const QString outDir = pdfOutputDir();
  const QStringList before = finishedPdfs(outDir, kPdfPrefix);

  PagePrinter printer;
  printer.selectPrinter(kLetterQueue);
  // cups-pdf prints to the sheet's edges; margins as a set-up may choose them
  // show that the page starts at the printable area's corner, not the sheet's.
  printer.printer().setPageMargins(QMarginsF(36, 72, 18, 9), QPageLayout::Point);
  int printableWidth = 0, printableHeight = 0;
  printer.preparePrinter(printableWidth, printableHeight);
  for (const PrintedPage& page : pages) {
    const QString bmp = writeBlackBitmap(images, QString::number(page.width) + "x" +
                                                     QString::number(page.height) + ".bmp",
                                         page.width, page.height);
    printer.printPage(bmp, page.width, page.height, printableWidth, printableHeight);
  }

  const QStringList pdfs = waitForNewPdfs(outDir, kPdfPrefix, before, 3, kJobTimeout);
  ASSERT_EQ(pdfs.size(), 3) << "expected one PDF per page in " << outDir.toStdString()
                            << " within 60 s, titled \"Brevalto Pro document\"";

  // Points are what both the layout and the rendering agree on.
  constexpr int kDpi = 72;
  const QPageLayout layout = printer.printer().pageLayout();
  const QRectF paper = layout.fullRect(QPageLayout::Point);
  const QRectF printable = layout.paintRect(QPageLayout::Point);
  const double pointsPerPixel = printable.width() / printableWidth;
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(pages[i].what);
    QString error;
    const QImage rendered = renderFirstPage(pdfs[i], kDpi, &error);
    ASSERT_FALSE(rendered.isNull()) << error.toStdString();
    EXPECT_NEAR(rendered.width(), paper.width(), 2);
    EXPECT_NEAR(rendered.height(), paper.height(), 2);

    const QSize target = output::printTargetSize(pages[i].width, pages[i].height, printableWidth,
                                                 printableHeight);
    const QRect black = darkArea(rendered);
    ASSERT_FALSE(black.isEmpty()) << "the page is missing from the print";
    EXPECT_NEAR(black.left(), printable.left(), 2);
    EXPECT_NEAR(black.top(), printable.top(), 2);
    EXPECT_NEAR(black.width(), target.width() * pointsPerPixel, 3);
    EXPECT_NEAR(black.height(), target.height() * pointsPerPixel, 3);
    const auto grey = [&](double fx, double fy) {
      return qGray(rendered.pixel(black.left() + int(fx * black.width()),
                                  black.top() + int(fy * black.height())));
    };
    EXPECT_LT(grey(0.25, 0.25), 128) << "top-left quarter should be black";
    EXPECT_GE(grey(0.75, 0.75), 128) << "bottom-right quarter should be white";
  }
}

// ---------------------------------------------------------------------------
// Measuring the current printer

struct PaperCase {
  const char* name;
  const QString* queue;                        // none: the system's default printer
  std::optional<QPageSize::PageSizeId> paper;  // chosen after the queue
  QPageLayout::Orientation orientation;
  double widthMm, heightMm;                    // of the whole sheet
};

void PrintTo(const PaperCase& c, std::ostream* os) { *os << c.name; }

class PagePrinterMeasureTest : public ::testing::TestWithParam<PaperCase> {};

// cups-pdf can print up to the sheet's edges, so its printable area is the
// whole sheet: anything less is a margin the printer never asked for.
TEST_P(PagePrinterMeasureTest, PrintableAreaIsTheCurrentPrintersWholeSheet) {
  const PaperCase& c = GetParam();
  REQUIRE_PRINT_QUEUE(c.queue ? *c.queue : kLetterQueue);
  PagePrinter printer;
  if (c.queue) printer.selectPrinter(*c.queue);
  if (c.paper) printer.printer().setPageSize(QPageSize(*c.paper));
  printer.printer().setPageOrientation(c.orientation);

  int width = 0, height = 0;
  printer.preparePrinter(width, height);
  const double mmPerPixel = 25.4 / printer.printer().resolution();
  EXPECT_NEAR(width * mmPerPixel, c.widthMm, 1.0);
  EXPECT_NEAR(height * mmPerPixel, c.heightMm, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Printers, PagePrinterMeasureTest,
    ::testing::Values(
        PaperCase{"SystemDefaultIsLetterQueue", nullptr, std::nullopt, QPageLayout::Portrait, 215.9, 279.4},
        PaperCase{"A5Queue", &kA5Queue, std::nullopt, QPageLayout::Portrait, 148, 210},
        PaperCase{"A4ChosenOnLetterQueue", &kLetterQueue, QPageSize::A4, QPageLayout::Portrait, 210, 297},
        PaperCase{"LetterLandscape", &kLetterQueue, std::nullopt, QPageLayout::Landscape, 279.4, 215.9}),
    [](const ::testing::TestParamInfo<PaperCase>& info) { return std::string(info.param.name); });

TEST(PagePrinterMeasureTest, ChangingPrinterBetweenJobsChangesTheNextJobsSizes) {
  REQUIRE_PRINT_QUEUE(kLetterQueue);
  REQUIRE_PRINT_QUEUE(kA5Queue);
  PagePrinter printer;
  printer.selectPrinter(kLetterQueue);
  int letterWidth = 0, letterHeight = 0;
  printer.preparePrinter(letterWidth, letterHeight);

  printer.selectPrinter(kA5Queue);
  int a5Width = 0, a5Height = 0;
  printer.preparePrinter(a5Width, a5Height);

  EXPECT_LT(a5Width, letterWidth);
  EXPECT_LT(a5Height, letterHeight);
  EXPECT_NE(output::printTargetSize(2550, 3300, a5Width, a5Height),
            output::printTargetSize(2550, 3300, letterWidth, letterHeight));
}

// ---------------------------------------------------------------------------
// Print set-up dialog

// Answers the next print dialog: picks `queue` (when given) and presses OK,
// or Cancel.
void answerPrintDialog(const QString& queue, bool accept, bool* answered) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [=] {
    auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    poll->deleteLater();
    if (auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"))) {
      const int index = printers->findText(queue);
      if (index >= 0) printers->setCurrentIndex(index);
    }
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    QPushButton* button =
        buttons ? buttons->button(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel) : nullptr;
    *answered = button != nullptr;
    if (button) button->click();
    else dialog->reject();
  });
  poll->start(20);
}

TEST(PagePrinterSetupTest, AcceptedChoiceIsKeptAndCancelledOneIsNot) {
  REQUIRE_PRINT_QUEUE(kLetterQueue);
  REQUIRE_PRINT_QUEUE(kA5Queue);
  PagePrinter printer;
  printer.selectPrinter(kLetterQueue);
  int letterWidth = 0, letterHeight = 0;
  printer.preparePrinter(letterWidth, letterHeight);

  bool answered = false;
  answerPrintDialog(kA5Queue, false, &answered);
  printer.showPrintSetup(nullptr);
  ASSERT_TRUE(answered);
  EXPECT_EQ(printer.printer().printerName(), kLetterQueue);
  int width = 0, height = 0;
  printer.preparePrinter(width, height);
  EXPECT_EQ(QSize(width, height), QSize(letterWidth, letterHeight));

  answered = false;
  answerPrintDialog(kA5Queue, true, &answered);
  printer.showPrintSetup(nullptr);
  ASSERT_TRUE(answered);
  EXPECT_EQ(printer.printer().printerName(), kA5Queue);
  printer.preparePrinter(width, height);
  EXPECT_NEAR(width * 25.4 / printer.printer().resolution(), 148, 1.0);
  EXPECT_NEAR(height * 25.4 / printer.printer().resolution(), 210, 1.0);
}

// ---------------------------------------------------------------------------
// Failures the user must be told about

TEST(PagePrinterErrorTest, UnreadableBitmapNamesItsPath) {
  PagePrinter printer;
  const QString missing = testing_support::makeTempDir(QStringLiteral("gone")) + "/page.bmp";
  const auto error = errorOf([&] { printer.printPage(missing, 300, 400, 4800, 6600); });
  ASSERT_TRUE(error.has_value());
  EXPECT_TRUE(error->contains(missing)) << error->toStdString();
}

// A queue that disappears after it was chosen must not swallow the pages.
TEST(PagePrinterErrorTest, RemovedPrinterIsNamedInTheError) {
  REQUIRE_PRINT_QUEUE(kLetterQueue);
  const QString queue = QStringLiteral("BrevaltoGone-") +
                        QUuid::createUuid().toString(QUuid::WithoutBraces).left(8);
  const auto lpadmin = [](const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral("lpadmin"), args);
    process.waitForFinished(30000);
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0
               ? QString()
               : QString::fromLocal8Bit(process.readAllStandardError()) + process.errorString();
  };
  const QString added = lpadmin({"-p", queue, "-E", "-v", "cups-pdf:/", "-m", "raw"});
  if (!added.isEmpty()) {
    if (runningInCi()) FAIL() << "lpadmin could not add a queue: " << added.toStdString();
    GTEST_SKIP() << "lpadmin could not add a queue: " << added.toStdString();
  }
  PagePrinter printer;
  const auto selectError = errorOf([&] { printer.selectPrinter(queue); });
  const bool chosen = !selectError && printer.printer().printerName() == queue;
  lpadmin({"-x", queue});
  ASSERT_TRUE(chosen) << "the new queue was not offered by Qt";

  const QString bmp = writeBlackBitmap(testing_support::makeTempDir(), "page.bmp", 30, 40);
  int width = 0, height = 0;
  const auto measureError = errorOf([&] { printer.preparePrinter(width, height); });
  const auto printError = errorOf([&] { printer.printPage(bmp, 30, 40, 4800, 6600); });
  const QString expected = QStringLiteral("The printer '%1' is not available").arg(queue);
  EXPECT_EQ(measureError.value_or("no error"), expected);
  EXPECT_EQ(printError.value_or("no error"), expected);
}

// Prints what measuring and printing threw, then ends the process at once.
[[noreturn]] void reportFailuresAndExit(const QString& bmp) {
  {
    PagePrinter printer;
    int width = 0, height = 0;
    const auto measureError = errorOf([&] { printer.preparePrinter(width, height); });
    const auto printError = errorOf([&] { printer.printPage(bmp, 30, 40, 4800, 6600); });
    std::fprintf(stderr, "preparePrinter: %s | printPage: %s\n",
                 qPrintable(measureError.value_or("no error")),
                 qPrintable(printError.value_or("no error")));
  }
  std::fflush(stderr);
  std::_Exit(0);
}

// Runs in a child process of its own, so that it sees a CUPS with no
// printers from the first call on.
TEST(PagePrinterErrorDeathTest, NoPrinterInstalledIsClearErrorAndNoCrash) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const QString bmp = writeBlackBitmap(testing_support::makeTempDir(), "page.bmp", 30, 40);
  const QByteArray previous = qgetenv("CUPS_SERVER");
  qputenv("CUPS_SERVER", "127.0.0.1:1");  // nothing listens there
  EXPECT_EXIT(reportFailuresAndExit(bmp),
      ::testing::ExitedWithCode(0),
      "preparePrinter: No printer is installed \\| printPage: No printer is installed");
  if (previous.isNull()) qunsetenv("CUPS_SERVER");
  else qputenv("CUPS_SERVER", previous);
}

}  // namespace
