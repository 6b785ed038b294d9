// The road of a page through the main window with the scripted driver: the
// scanner list at start, the parameter steps of each job, the destination
// check, the post-scan handling (names, files, list entries, end of the job),
// failures and cancelling.

#include "app/Application.h"
#include "imagelist/ImagePane.h"
#include "main/Unitmain.h"
#include "output/FileNaming.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "preview/PreviewPane.h"
#include "scanner/ScanStatus.h"
#include "scanner/ScriptedDriver.h"
#include "scanner/VSTWAINLib_OCX.h"
#include "status/StatusBar.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QToolButton>

using testing_support::makeTempDir;
using testing_support::waitUntil;

namespace {

QImage page(QColor colour, int width = 240, int height = 320) {
  QImage image(width, height, QImage::Format_RGB888);
  image.fill(colour);
  // Something dark on it, so it is no blank page.
  if (colour != Qt::white)
    for (int y = 20; y < height - 20; y += 10)
      for (int x = 20; x < width - 20; ++x) image.setPixelColor(x, y, Qt::black);
  return image;
}

QImage whitePage() { return page(Qt::white); }

class ScanJob : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::MessageBoxSeam::answerAlways(platform::MessageAnswer::Yes);
    platform::MessageBoxSeam::clearShown();
    platform::ClockSeam::set([] { return QDateTime(QDate(2009, 12, 8), QTime(23, 45, 10)); });
    destination = makeTempDir(QStringLiteral("dest"));
  }
  void TearDown() override {
    windows = ProgramWindows();
    platform::MessageBoxSeam::uninstall();
    platform::ClockSeam::reset();
  }

  // Builds and shows the program's windows over a scripted driver with the
  // given sources.
  void start(const QList<ScriptedSource>& sources, int current = 0,
             std::unique_ptr<ScriptedDriver> driver = std::make_unique<ScriptedDriver>()) {
    script = driver.get();
    for (const auto& source : sources) script->addSource(source);
    script->setCurrentSource(current);
    windows = createProgramWindows(std::move(driver));
    w = windows.frm_Main.get();
    QObject::connect(w->sb_Main, &StatusBar::statusChanged, w->sb_Main,
                     [this](const QString& text, bool isError) { statuses << (isError ? "!" : "") + text; });
    w->show();
    ASSERT_TRUE(waitUntil([&] { return w->StatusText() == QStringLiteral("Ready"); }));
    w->edt_Destination->setText(destination);
    script->clearLog();
    statuses.clear();
  }

  bool idle() const { return w->ToolButtonPreview->isEnabled() && w->ToolButtonScan->isEnabled(); }
  bool waitForJobEnd() { return waitUntil([&] { return idle(); }); }

  // The log up to and including Acquire(), or all of it when there is none.
  QStringList stepsUntilAcquire() const {
    QStringList steps;
    for (const QString& entry : script->log()) {
      steps << entry;
      if (entry == QLatin1String("Acquire()")) break;
    }
    return steps;
  }

  QStringList filesIn(const QString& folder) const {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
  }

  int listed() const { return w->pnl_Right->lv_Images->count(); }

  QString destination;
  ProgramWindows windows;
  Tfrm_Main* w = nullptr;
  ScriptedDriver* script = nullptr;
  QStringList statuses;
};

const QStringList kOpening{"sourceIndex=0",       "StartDevice()",  "sourceIndex=0",
                           "OpenDataSource()",    "transferMode=1", "sourceIndex=0",
                           "showUI=0",            "showIndicators=0", "disableAfterAcquire=1",
                           "unitOfMeasure=0"};

TEST_F(ScanJob, ScannerListAtStart) {
  start({{.vendor = "Acme", .model = "One"}, {.vendor = "Acme", .model = "Two"}, {.vendor = "Zeta", .model = "Three"}},
        1);
  ASSERT_EQ(w->cmb_Sources->count(), 3);
  EXPECT_EQ(w->cmb_Sources->itemText(0), QStringLiteral("Acme One"));
  EXPECT_EQ(w->cmb_Sources->itemText(2), QStringLiteral("Zeta Three"));
  EXPECT_EQ(w->cmb_Sources->itemData(2).toString(), QStringLiteral("scripted:2"));
  EXPECT_EQ(w->cmb_Sources->currentIndex(), 1);
  EXPECT_FALSE(w->StatusIsError());
}

TEST_F(ScanJob, NoScannerGivesAnEmptyListAndReady) {
  auto driver = std::make_unique<ScriptedDriver>();
  driver->setStartResult(false);
  windows = createProgramWindows(std::move(driver));
  w = windows.frm_Main.get();
  w->show();
  ASSERT_TRUE(waitUntil([&] { return w->StatusText() == QStringLiteral("Ready"); }));
  EXPECT_EQ(w->cmb_Sources->count(), 0);
  EXPECT_EQ(w->cmb_Sources->currentIndex(), -1);
  EXPECT_FALSE(w->StatusIsError());
  EXPECT_EQ(w->sb_Main->statusText(), QStringLiteral("Ready"));
}

TEST_F(ScanJob, PreviewSendsColourAt100DpiAndNothingElse) {
  start({{.hasFeeder = true, .pages = {page(Qt::yellow, 850, 1100)}}});
  w->cmb_Mode->setCurrentIndex(0);
  w->cmb_Resolution->setCurrentIndex(9);
  w->cb_ADF->setChecked(true);
  w->ToolButtonPreviewClick();
  EXPECT_EQ(w->JobKind, jkPreview);
  EXPECT_FALSE(w->ToolButtonPreview->isEnabled());
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(stepsUntilAcquire(), (kOpening + QStringList{"pixelType=2", "resolution=100", "Acquire()"}));
  EXPECT_EQ(w->CurrentResolution, 100);
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_TRUE(QFileInfo::exists(qEnvironmentVariable("TEMP") + "/Brevalto.bmp"));
  EXPECT_NEAR(w->PreviewScale, 32.82353f, 1e-4);
  EXPECT_TRUE(filesIn(destination).isEmpty());
  EXPECT_EQ(statuses.first(), QStringLiteral("Image preview ... "));
}

TEST_F(ScanJob, ScanParametersFollowTheWindow) {
  start({{.resolutions = {75, 150, 300, 600, 1200}, .pages = {page(Qt::cyan)}}});
  struct Row {
    int mode;
    int resolutionItem;
    int size;
    QStringList expected;
    int inForce;
  };
  const Row rows[] = {
      {0, 4, 3, {"pixelType=0", "resolution=300", "pageSize=3", "Acquire()"}, 300},
      {1, 9, 1, {"pixelType=1", "resolution=2400", "pageSize=1", "Acquire()"}, 1200},
      {2, 0, 5, {"pixelType=2", "resolution=75", "pageSize=5", "Acquire()"}, 75},
  };
  for (const Row& row : rows) {
    script->clearLog();
    w->cmb_Mode->setCurrentIndex(row.mode);
    w->cmb_Resolution->setCurrentIndex(row.resolutionItem);
    w->cmb_Size->setCurrentIndex(row.size);
    w->Scan1Click();
    ASSERT_TRUE(waitForJobEnd());
    EXPECT_EQ(stepsUntilAcquire(), kOpening + row.expected) << row.mode;
    EXPECT_EQ(w->CurrentResolution, row.inForce);
    EXPECT_FALSE(w->UseFeeder);
  }
}

TEST_F(ScanJob, CustomSendsTheFrameInInches) {
  start({{.pages = {page(Qt::green)}}});
  w->gb_Preview->placeNamedSize(FloatRect{20.78f, 41.56f, 124.68f, 145.46f});
  w->cmb_Size->setCurrentIndex(0);
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  const QStringList steps = stepsUntilAcquire();
  const int at = steps.indexOf(QStringLiteral("pageSize=0"));
  ASSERT_GE(at, 0);
  const QString layout = steps.value(at + 1);
  ASSERT_TRUE(layout.startsWith(QStringLiteral("SetImageLayout("))) << layout.toStdString();
  const QStringList values = layout.mid(15, layout.size() - 16).split(',');
  ASSERT_EQ(values.size(), 4);
  const double expected[] = {1, 2, 6, 7};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(values[i].toDouble(), expected[i], 1e-5) << i;
}

TEST_F(ScanJob, FeederPropertiesOnlyWithAFeederAndAutofeeder) {
  struct Row {
    bool hasFeeder;
    bool adf;
    bool duplex;
    QStringList feederSteps;
    bool useFeeder;
  };
  const Row rows[] = {
      {true, true, true, {"feederEnabled=1", "duplexEnabled=1", "xferCount=-1", "autoFeed=1"}, true},
      {true, true, false, {"feederEnabled=1", "duplexEnabled=0", "xferCount=-1", "autoFeed=1"}, true},
      {true, false, false, {}, false},
      {false, true, false, {}, false},
  };
  for (const Row& row : rows) {
    start({{.hasFeeder = row.hasFeeder, .hasDuplex = true, .pages = {page(Qt::red)}}});
    w->cb_ADF->setChecked(row.adf);
    w->cb_Duplex->setChecked(row.duplex);
    w->Scan1Click();
    ASSERT_TRUE(waitForJobEnd());
    const QStringList expected = kOpening + QStringList{"pixelType=2", "resolution=300", "pageSize=1"} +
                                 row.feederSteps + QStringList{"Acquire()"};
    EXPECT_EQ(stepsUntilAcquire(), expected);
    EXPECT_EQ(w->UseFeeder, row.useFeeder);
  }
}

TEST_F(ScanJob, AutofeederControlsDuplex) {
  start({{}});
  EXPECT_FALSE(w->cb_Duplex->isEnabled());
  w->cb_ADF->setChecked(true);
  EXPECT_TRUE(w->cb_Duplex->isEnabled());
  EXPECT_FALSE(w->cb_Duplex->isChecked());
  w->cb_Duplex->setChecked(true);
  w->cb_ADF->setChecked(false);
  EXPECT_FALSE(w->cb_Duplex->isEnabled());
  EXPECT_FALSE(w->cb_Duplex->isChecked());
}

TEST_F(ScanJob, EmptyFeederStopsBeforeAcquire) {
  start({{.hasFeeder = true, .feederLoaded = false, .pages = {page(Qt::red)}}});
  w->cb_ADF->setChecked(true);
  w->Scan1Click();
  EXPECT_TRUE(idle());
  EXPECT_EQ(w->StatusText(), QStringLiteral("There are no documents loaded in the feeder"));
  EXPECT_TRUE(w->StatusIsError());
  EXPECT_FALSE(script->log().contains(QStringLiteral("Acquire()")));
  EXPECT_EQ(w->JobKind, jkScan);
}

TEST_F(ScanJob, WarningsLetAScanGoOnButStopAPreview) {
  for (int code : {scanerror::kSettingUnsupported, scanerror::kAreaReducedToBed}) {
    start({{.pages = {page(Qt::blue)}}});
    script->failAfter(QStringLiteral("OpenDataSource"), code, QStringLiteral("A warning"));
    w->ToolButtonPreviewClick();
    EXPECT_TRUE(idle());
    EXPECT_EQ(w->StatusText(), QStringLiteral("A warning"));
    EXPECT_TRUE(w->StatusIsError());
    EXPECT_FALSE(script->log().contains(QStringLiteral("Acquire()")));

    script->clearLog();
    w->Scan1Click();
    ASSERT_TRUE(waitForJobEnd());
    EXPECT_TRUE(script->log().contains(QStringLiteral("Acquire()"))) << code;
    EXPECT_EQ(filesIn(destination).size(), 1);
    QDir(destination).removeRecursively();
    QDir().mkpath(destination);
  }
}

TEST_F(ScanJob, AnErrorAfterTheStepsStopsTheScan) {
  start({{.pages = {page(Qt::blue)}}});
  script->failAfter(QStringLiteral("OpenDataSource"), scanerror::kOpenFailed, QStringLiteral("Cannot open"));
  w->Scan1Click();
  EXPECT_TRUE(idle());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Cannot open"));
  EXPECT_TRUE(w->StatusIsError());
  EXPECT_FALSE(script->log().contains(QStringLiteral("Acquire()")));
}

TEST_F(ScanJob, FeederBatchGetsUniqueNamesFilesAndEntries) {
  start({{.hasFeeder = true, .pages = {page(Qt::red), page(Qt::green), page(Qt::blue)}}});
  w->cb_ADF->setChecked(true);
  w->edt_FileName->setText(QStringLiteral("  scan "));
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  const QString stamp = output::timeStamp(platform::localNow());
  const QStringList expected{"scan_" + stamp + ".bmp", "scan_" + stamp + "_1.bmp", "scan_" + stamp + "_2.bmp"};
  QStringList sorted = expected;
  sorted.sort();
  EXPECT_EQ(filesIn(destination), sorted);
  ASSERT_EQ(listed(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(w->pnl_Right->lv_Images->item(i)->text(), expected[i]);
    const QString temp = w->pnl_Right->lv_Images->item(i)->data(ImagePane::TempCopyRole).toString();
    EXPECT_TRUE(QFileInfo::exists(temp)) << temp.toStdString();
    EXPECT_EQ(QImageReader(temp).size(), QSize(240, 320));
  }
  EXPECT_EQ(script->log().count(QStringLiteral("StopDevice()")), 1);
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_FALSE(w->StatusIsError());
  EXPECT_EQ(w->sb_Main->panelText(3), QStringLiteral("3 files"));
}

// Another copy of the program scanning to the same folder in the same second:
// it takes the name a page found free just before the page is written there.
class NameTakingDriver : public ScriptedDriver {
 public:
  explicit NameTakingDriver(QString folder, int times) : folder_(std::move(folder)), times_(times) {}
  ScanStatus note(const QString& entry) override {
    if (entry.startsWith(QLatin1String("SaveImage(")) && taken.size() < times_) {
      const QString path = entry.mid(entry.indexOf(QLatin1Char(',')) + 1).chopped(1);
      if (path.startsWith(folder_ + QLatin1Char('/'))) {
        QFile other(path);
        if (other.open(QIODevice::NewOnly)) other.write("the other program's page");
        taken << QFileInfo(path).fileName();
      }
    }
    return ScriptedDriver::note(entry);
  }
  QStringList taken;

 private:
  QString folder_;
  int times_;
};

TEST_F(ScanJob, ANameTakenMeanwhileIsNotReplacedThePageTakesTheNextFreeOne) {
  auto driver = std::make_unique<NameTakingDriver>(destination, 2);
  NameTakingDriver* racing = driver.get();
  start({{.pages = {page(Qt::red)}}}, 0, std::move(driver));
  w->edt_FileName->setText(QStringLiteral("scan"));
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());

  const QString stamp = output::timeStamp(platform::localNow());
  const QString ours = "scan_" + stamp + "_2.bmp";
  EXPECT_EQ(racing->taken, QStringList({"scan_" + stamp + ".bmp", "scan_" + stamp + "_1.bmp"}));
  EXPECT_EQ(filesIn(destination), QStringList({"scan_" + stamp + ".bmp", "scan_" + stamp + "_1.bmp", ours}));
  for (const QString& theirs : racing->taken) {
    QFile file(destination + "/" + theirs);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("the other program's page")) << theirs.toStdString();
  }
  EXPECT_EQ(QImageReader(destination + "/" + ours).size(), QSize(240, 320));
  // The list entry and the bitmap copy carry the name the page really got.
  ASSERT_EQ(listed(), 1);
  EXPECT_EQ(w->pnl_Right->lv_Images->item(0)->text(), ours);
  const QString temp = w->pnl_Right->lv_Images->item(0)->data(ImagePane::TempCopyRole).toString();
  EXPECT_EQ(QFileInfo(temp).fileName(), "scan_" + stamp + "_2.bmp");
  EXPECT_EQ(QImageReader(temp).size(), QSize(240, 320));
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_FALSE(w->StatusIsError());
}

TEST_F(ScanJob, EachFormatWritesItsExtension) {
  start({{.pages = {page(Qt::magenta)}}});
  const QStringList extensions{"bmp", "jpg", "tiff"};
  for (int format = 0; format < 3; ++format) {
    w->cmb_Format->setCurrentIndex(format);
    w->Scan1Click();
    ASSERT_TRUE(waitForJobEnd());
  }
  const QStringList files = filesIn(destination);
  ASSERT_EQ(files.size(), 3);
  for (const QString& ext : extensions) {
    const auto found = std::find_if(files.begin(), files.end(), [&](const QString& f) { return f.endsWith("." + ext); });
    ASSERT_NE(found, files.end()) << ext.toStdString();
  }
  EXPECT_EQ(listed(), 3);
}

TEST_F(ScanJob, BlankFeederPagesAreWrittenButNotListed) {
  start({{.hasFeeder = true, .pages = {page(Qt::red), whitePage(), page(Qt::blue)}}});
  w->SkipBlankPages = true;
  w->cb_ADF->setChecked(true);
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(filesIn(destination).size(), 3);
  ASSERT_EQ(listed(), 2);
  const QString stamp = output::timeStamp(platform::localNow());
  EXPECT_EQ(w->pnl_Right->lv_Images->item(1)->text(), "Brevalto_" + stamp + "_2.bmp");
  EXPECT_EQ(script->log().count(QStringLiteral("StopDevice()")), 1);
}

TEST_F(ScanJob, DuplexBatchLeavesOutAnEmptyBackAndKeepsTheOrderOfTheOthers) {
  // The feeder delivers front, back, front, back...; the second sheet's back is
  // empty but for a feeder shadow and faint show-through of its front.
  QImage emptyBack = whitePage();
  QPainter painter(&emptyBack);
  painter.fillRect(QRect(0, 0, 6, emptyBack.height()), QColor(80, 80, 80));
  painter.fillRect(QRect(40, 60, 150, 8), QColor(238, 238, 238));
  painter.end();
  start({{.hasFeeder = true,
          .hasDuplex = true,
          .pages = {page(Qt::red), page(Qt::green), page(Qt::blue), emptyBack, page(Qt::cyan), page(Qt::magenta)}}});
  w->SkipBlankPages = true;
  w->cb_ADF->setChecked(true);
  w->cb_Duplex->setChecked(true);
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_TRUE(script->log().contains(QStringLiteral("duplexEnabled=1")));
  EXPECT_EQ(filesIn(destination).size(), 6);
  const QString stamp = "Brevalto_" + output::timeStamp(platform::localNow());
  QStringList captions;
  for (int i = 0; i < listed(); ++i) captions << w->pnl_Right->lv_Images->item(i)->text();
  EXPECT_EQ(captions, (QStringList{stamp + ".bmp", stamp + "_1.bmp", stamp + "_2.bmp", stamp + "_4.bmp",
                                   stamp + "_5.bmp"}));
}

TEST_F(ScanJob, BlankFlatbedPageIsListed) {
  start({{.hasFeeder = true, .pages = {whitePage()}}});
  w->SkipBlankPages = true;
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(listed(), 1);
  EXPECT_FALSE(script->log().join(' ').contains(QStringLiteral("IsBlankImage")));
}

TEST_F(ScanJob, AnErrorWithTheLastPageEndsInRed) {
  start({{.hasFeeder = true, .pages = {page(Qt::red), page(Qt::green), page(Qt::blue)}}});
  script->failOnPage(2, scanerror::kFeederJammed, QStringLiteral("Document feeder jammed"));
  w->cb_ADF->setChecked(true);
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Document feeder jammed"));
  EXPECT_TRUE(w->StatusIsError());
  EXPECT_EQ(filesIn(destination).size(), 2);
  EXPECT_EQ(listed(), 2);
}

// A batch that ends before its first page sends no page event at all; the
// job must still end, or the window would keep its buttons disabled.
TEST_F(ScanJob, AJamOnTheFirstSheetEndsTheJobInRed) {
  start({{.hasFeeder = true, .pages = {page(Qt::red), page(Qt::green)}}});
  script->failOnPage(0, scanerror::kFeederJammed, QStringLiteral("Document feeder jammed"));
  w->cb_ADF->setChecked(true);
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Document feeder jammed"));
  EXPECT_TRUE(w->StatusIsError());
  EXPECT_TRUE(filesIn(destination).isEmpty());
  EXPECT_EQ(script->log().count(QStringLiteral("StopDevice()")), 1);

  script->clearFailures();
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(filesIn(destination).size(), 2) << "the next scan works";
}

TEST_F(ScanJob, AReportWithoutAPageAndNoErrorChangesNothing) {
  start({{}});
  w->SetStatus(QStringLiteral("Something"), false);
  emit w->VintaSoftTwain->OnPostScan(1);
  EXPECT_EQ(w->StatusText(), QStringLiteral("Something"));
  EXPECT_FALSE(w->StatusIsError());
  EXPECT_TRUE(idle());
}

TEST_F(ScanJob, DestinationCheck) {
  start({{.pages = {page(Qt::red)}}});
  // An existing folder: nothing is asked.
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_TRUE(platform::MessageBoxSeam::shown().isEmpty());

  // A missing folder whose parent exists: No changes nothing.
  const QString missing = destination + "/new";
  w->edt_Destination->setText(missing);
  w->JobKind = jkPreview;
  platform::MessageBoxSeam::answerAlways(platform::MessageAnswer::No);
  w->Scan1Click();
  ASSERT_EQ(platform::MessageBoxSeam::shown().size(), 1);
  EXPECT_EQ(platform::MessageBoxSeam::shown()[0].text,
            QStringLiteral("Selected directory doesn't exists. \nWhould you like to create it?"));
  EXPECT_EQ(platform::MessageBoxSeam::shown()[0].caption, QStringLiteral("Destination directory"));
  EXPECT_EQ(platform::MessageBoxSeam::shown()[0].icon, platform::MessageIcon::Question);
  EXPECT_FALSE(QFileInfo::exists(missing));
  EXPECT_EQ(w->JobKind, jkPreview);

  // Yes creates it and scans.
  platform::MessageBoxSeam::answerAlways(platform::MessageAnswer::Yes);
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_TRUE(QFileInfo(missing).isDir());
  EXPECT_EQ(filesIn(missing).size(), 1);

  // A missing parent: the warning, and no job starts.
  platform::MessageBoxSeam::clearShown();
  w->edt_Destination->setText(destination + "/no/such");
  w->JobKind = jkPreview;
  w->Scan1Click();
  ASSERT_EQ(platform::MessageBoxSeam::shown().size(), 2);
  EXPECT_EQ(platform::MessageBoxSeam::shown()[1].text, QStringLiteral("It is impossible to create directory"));
  EXPECT_EQ(platform::MessageBoxSeam::shown()[1].icon, platform::MessageIcon::Warning);
  EXPECT_EQ(w->JobKind, jkPreview);
  EXPECT_TRUE(idle());
}

TEST_F(ScanJob, DropDownButtonRepeatsTheLastChoice) {
  start({{.pages = {page(Qt::red)}}});
  w->edt_Destination->setText(destination + "/never/made");
  w->Copy1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->ToolButtonScan->text(), QStringLiteral("Copy"));
  EXPECT_EQ(w->scanButtonItem(), w->Copy1);
  EXPECT_EQ(w->JobKind, jkCopy);
  // The copy job asks nothing about the folder and writes nothing there.
  EXPECT_TRUE(platform::MessageBoxSeam::shown().isEmpty());
  EXPECT_FALSE(QFileInfo::exists(destination + "/never"));

  w->JobKind = jkNone;
  w->ToolButtonScanClick();
  EXPECT_EQ(w->JobKind, jkCopy);
  ASSERT_TRUE(waitForJobEnd());

  w->edt_Destination->setText(destination);
  w->Action1->trigger();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->ToolButtonScan->text(), QStringLiteral("Scan"));
  EXPECT_EQ(w->JobKind, jkScan);
}

TEST_F(ScanJob, AFileNameTheFileSystemRefusesEndsTheJobInRed) {
  start({{.hasFeeder = true, .pages = {page(Qt::red), page(Qt::green), page(Qt::blue)}}});
  w->cb_ADF->setChecked(true);
  w->edt_FileName->setText(QStringLiteral("no/such/folder/page"));
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_TRUE(w->StatusIsError());
  EXPECT_FALSE(w->StatusText().isEmpty());
  EXPECT_EQ(listed(), 0);
  EXPECT_EQ(script->log().count(QStringLiteral("StopDevice()")), 1);
  // The program goes on: the next scan works.
  w->edt_FileName->setText(QStringLiteral("ok"));
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(listed(), 3);
}

// The page in transfer is dropped; the pages before it are kept, and the
// status says the job was aborted.
TEST_F(ScanJob, CancelStopsThePageInTransfer) {
  QList<QImage> pages;
  for (int i = 0; i < 10; ++i) pages << page(QColor::fromHsv(i * 30, 200, 200));
  start({{.hasFeeder = true, .pages = pages}});
  script->setPageDelay(std::chrono::milliseconds(60));
  w->cb_ADF->setChecked(true);
  w->Scan1Click();
  ASSERT_TRUE(waitUntil([&] { return listed() >= 2; }));
  w->ActionCancel->trigger();
  ASSERT_TRUE(waitForJobEnd());
  const int kept = listed();
  EXPECT_GE(kept, 2);
  EXPECT_LT(kept, 10);
  EXPECT_EQ(filesIn(destination).size(), kept);
  EXPECT_TRUE(statuses.contains(QStringLiteral("Operation aborted")));
  EXPECT_EQ(w->StatusText(), QStringLiteral("Operation aborted"));
  EXPECT_FALSE(w->StatusIsError());
  EXPECT_FALSE(w->AbortPending);
}

}  // namespace
