// Copy jobs from SANE's "test" backend to real printers (the cups-pdf queues
// of tools/cups-setup.sh): each page is a print job of its own, placed as the
// print geometry says, nothing lands in the destination folder, the printer
// is measured afresh at every job, and without a printer the job ends in red
// before anything is scanned.

#include "SaneWindow.h"

#include "main/Unitmain.h"
#include "output/PagePrinter.h"
#include "output/PrintGeometry.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "printing/PrintQueue.h"
#include "scanner/VSTWAINLib_OCX.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QLockFile>
#include <QPageLayout>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <atomic>

using namespace printing_test;

namespace {

constexpr auto kJobTimeout = std::chrono::seconds(60);
const QString kPdfPrefix = QStringLiteral("Brevalto_Pro_document");  // cups-pdf's file name for the title

// Other test programs print with the same title at the same time (ctest -j),
// to the default queue. The jobs of these tests go to the A5 queue, one test
// at a time, and their PDFs are told apart by the queue CUPS ran them on.
QString lockPath() { return QDir::tempPath() + QStringLiteral("/brevalto-copy-job-tests.lock"); }

// Held for the whole test; only a dead holder's lock is taken over.
bool lockQueue(QLockFile& lock) {
  lock.setStaleLockTime(0);
  return lock.tryLock(180000);
}

QSet<int> jobsOf(const QString& queue) {
  QProcess lpstat;
  lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o"), queue});
  lpstat.waitForFinished(10000);
  const QRegularExpression line(QStringLiteral("^") + QRegularExpression::escape(queue) + QStringLiteral("-(\\d+)\\s"),
                                QRegularExpression::MultilineOption);
  QSet<int> jobs;
  for (auto it = line.globalMatch(QString::fromLocal8Bit(lpstat.readAllStandardOutput())); it.hasNext();)
    jobs.insert(it.next().captured(1).toInt());
  return jobs;
}

// The finished PDFs beyond `before` that `queue` printed, oldest first; waits
// until there are `count` of them or the time is up.
QStringList waitForQueuePdfs(const QString& queue, const QStringList& before, int count) {
  static const QRegularExpression number(QStringLiteral("job_(\\d+)"));
  QStringList mine;
  testing_support::waitUntil(
      [&] {
        mine.clear();
        const QSet<int> jobs = jobsOf(queue);
        for (const QString& pdf : finishedPdfs(pdfOutputDir(), kPdfPrefix))
          if (!before.contains(pdf) && jobs.contains(number.match(pdf).captured(1).toInt())) mine << pdf;
        return mine.size() >= count;
      },
      kJobTimeout);
  return mine;
}

class CopyJob : public SaneWindowTest {
 protected:
  void SetUp() override {
    SaneWindowTest::SetUp();
    // A clock that moves on a second at every reading, so each page's
    // bitmap copy has a name of its own.
    platform::ClockSeam::set([] {
      static std::atomic<int> tick{0};
      return QDateTime(QDate(2009, 12, 8), QTime(23, 45, 10)).addSecs(tick++);
    });
  }
  void TearDown() override {
    SaneWindowTest::TearDown();
    platform::ClockSeam::reset();
  }

  static QString temp() { return qEnvironmentVariable("TEMP"); }
  // The pages' bitmap copies in the temporary folder (not the preview file).
  static QStringList tempCopies() {
    QStringList copies = filesIn(temp(), {QStringLiteral("*.bmp")});
    copies.removeAll(QStringLiteral("Brevalto.bmp"));
    return copies;
  }

  // Checks that the page printed in `pdf` is a `page` sized picture, dark as
  // the backend's solid black sheets, at the top-left corner of the printable
  // area and as large as the geometry says for the window's measured area.
  void expectPrintedPage(const QString& pdf, QSize page) {
    constexpr int kDpi = 72;
    QString error;
    const QImage rendered = renderFirstPage(pdf, kDpi, &error);
    ASSERT_FALSE(rendered.isNull()) << error.toStdString();
    const QPageLayout layout = w->Printer->printer().pageLayout();
    const QRectF paper = layout.fullRect(QPageLayout::Point);
    const QRectF printable = layout.paintRect(QPageLayout::Point);
    EXPECT_NEAR(rendered.width(), paper.width(), 2);
    EXPECT_NEAR(rendered.height(), paper.height(), 2);

    const QSize target = output::printTargetSize(page.width(), page.height(), w->PrintableWidth, w->PrintableHeight);
    const double pointsPerPixel = printable.width() / w->PrintableWidth;
    const QRect dark = darkArea(rendered);
    ASSERT_FALSE(dark.isEmpty()) << "the page is missing from " << pdf.toStdString();
    EXPECT_NEAR(dark.left(), printable.left(), 2);
    EXPECT_NEAR(dark.top(), printable.top(), 2);
    EXPECT_NEAR(dark.width(), target.width() * pointsPerPixel, 3);
    EXPECT_NEAR(dark.height(), target.height() * pointsPerPixel, 3);
  }
};

// The backend's feeder always holds ten sheets; the copy is cut to two by
// cancelling while the first page is handled. The cancel is answered during
// the third sheet's transfer, which the backend's longest read delay
// stretches to most of a second (printing a page takes a tenth of that), and
// stops that sheet there.
TEST_F(CopyJob, FeederCopyPrintsEachPageAsItsOwnJobAndWritesNoFile) {
  REQUIRE_PRINT_QUEUE(kA5Queue);
  QLockFile lock(lockPath());
  if (!child_process::isChild()) {
    ASSERT_TRUE(lockQueue(lock)) << lockPath().toStdString();
  }
  if (!child_process::inChild({.testConf = {QStringLiteral("read-delay true"),
                                        QStringLiteral("read-delay-duration 200000")}}))
    return;
  const QStringList before = finishedPdfs(pdfOutputDir(), kPdfPrefix);
  start();
  w->Printer->selectPrinter(kA5Queue);
  const QString missing = destination + "/not/there";
  w->edt_Destination->setText(missing);
  w->cmb_Resolution->setCurrentIndex(w->cmb_Resolution->findText(QStringLiteral("100")));
  w->cb_ADF->setChecked(true);

  QList<QSize> pages;
  QStringList arrivals;  // milliseconds after the start, for a failure's message
  QElapsedTimer clock;
  clock.start();
  QObject::connect(w->VintaSoftTwain, &TVintaSoftTwain::OnPostScan, w, [&](int flag) {
    if (flag != 0) return;
    arrivals << QString::number(clock.elapsed());
    const int index = w->VintaSoftTwain->imageCount() - 1;
    pages << QSize(w->VintaSoftTwain->GetImageWidth(index), w->VintaSoftTwain->GetImageHeight(index));
    if (pages.size() == 1) w->ActionCancel->trigger();
  });
  w->Copy1Click();
  EXPECT_EQ(w->JobKind, jkCopy);
  ASSERT_TRUE(waitForJobEnd(kJobTimeout));
  ASSERT_EQ(pages.size(), 2) << "the cancel did not stop the third sheet; pages arrived at "
                             << arrivals.join(", ").toStdString() << " ms";

  EXPECT_EQ(w->StatusText(), QStringLiteral("Operation aborted"));
  EXPECT_FALSE(w->StatusIsError());
  EXPECT_EQ(statuses.value(0), QStringLiteral("Copying ... "));
  EXPECT_TRUE(w->UseFeeder);

  // Nothing asked, nothing written, nothing listed: only bitmap copies.
  EXPECT_TRUE(platform::MessageBoxSeam::shown().isEmpty());
  EXPECT_FALSE(QFileInfo::exists(destination + "/not"));
  EXPECT_TRUE(filesIn(destination).isEmpty());
  EXPECT_EQ(listed(), 0);
  const QStringList copies = tempCopies();
  ASSERT_EQ(copies.size(), 2) << copies.join(", ").toStdString();
  for (const QString& copy : copies) EXPECT_EQ(QImage(temp() + "/" + copy).size(), pages[0]) << copy.toStdString();

  const QStringList pdfs = waitForQueuePdfs(kA5Queue, before, 2);
  ASSERT_EQ(pdfs.size(), 2) << "expected two PDFs titled \"Brevalto Pro document\" in "
                            << pdfOutputDir().toStdString();
  expectPrintedPage(pdfs[1], pages[1]);
}

TEST_F(CopyJob, PrinterChangedBetweenJobsChangesTheSecondJobsSizes) {
  REQUIRE_PRINT_QUEUE(kLetterQueue);
  REQUIRE_PRINT_QUEUE(kA5Queue);
  QLockFile lock(lockPath());
  ASSERT_TRUE(lockQueue(lock)) << lockPath().toStdString();
  start();
  // "Custom" copies the whole square bed: a page limited by the printable
  // width on both papers, so each width shows in its print.
  w->cmb_Size->setCurrentIndex(0);
  struct Job {
    const QString* queue;
    QSize printable;
    QSize target;
  } jobs[] = {{&kLetterQueue, {}, {}}, {&kA5Queue, {}, {}}};
  QStringList before;
  QSize page;
  for (Job& job : jobs) {
    SCOPED_TRACE(job.queue->toStdString());
    before = finishedPdfs(pdfOutputDir(), kPdfPrefix);
    w->Printer->selectPrinter(*job.queue);
    w->Copy1Click();
    ASSERT_TRUE(waitForJobEnd(kJobTimeout));
    ASSERT_FALSE(w->StatusIsError()) << w->StatusText().toStdString();
    job.printable = QSize(w->PrintableWidth, w->PrintableHeight);
    const QStringList copies = tempCopies();
    ASSERT_FALSE(copies.isEmpty());
    page = QImage(temp() + "/" + copies.constLast()).size();
    job.target = output::printTargetSize(page.width(), page.height(), w->PrintableWidth, w->PrintableHeight);
  }
  const double mmPerPixel = 25.4 / w->Printer->printer().resolution();
  EXPECT_NEAR(jobs[0].printable.width() * mmPerPixel, 215.9, 1.0);
  EXPECT_NEAR(jobs[0].printable.height() * mmPerPixel, 279.4, 1.0);
  EXPECT_NEAR(jobs[1].printable.width() * mmPerPixel, 148, 1.0);
  EXPECT_NEAR(jobs[1].printable.height() * mmPerPixel, 210, 1.0);
  EXPECT_LT(jobs[1].target.width(), jobs[0].target.width());

  // The second job's print has the A5 paper and the A5 target size.
  const QStringList pdfs = waitForQueuePdfs(kA5Queue, before, 1);
  ASSERT_EQ(pdfs.size(), 1);
  expectPrintedPage(pdfs[0], page);
  EXPECT_TRUE(filesIn(destination).isEmpty());
}

// With no printer at all (a CUPS server nobody answers for) the copy stops
// before the scanner moves, in red, and the program goes on.
TEST_F(CopyJob, NoPrinterEndsTheJobInRedBeforeScanning) {
  if (!child_process::inChild({.environment = {{QStringLiteral("CUPS_SERVER"), QStringLiteral("127.0.0.1:1")}}})) return;
  start();
  w->cb_ADF->setChecked(true);
  w->Copy1Click();
  EXPECT_EQ(w->JobKind, jkCopy);
  EXPECT_TRUE(idle());
  EXPECT_FALSE(w->VintaSoftTwain->acquiring());
  EXPECT_EQ(w->StatusText(), QStringLiteral("No printer is installed"));
  EXPECT_TRUE(w->StatusIsError());
  EXPECT_TRUE(platform::MessageBoxSeam::shown().isEmpty());
  testing_support::waitUntil([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_TRUE(tempCopies().isEmpty());

  // The scanner is still there for a scan.
  w->cb_ADF->setChecked(false);
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_EQ(filesIn(destination).size(), 1);
}

}  // namespace
