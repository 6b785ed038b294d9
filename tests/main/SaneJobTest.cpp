// Whole jobs through the program's own SANE driver and SANE's "test" backend:
// a scan in each file format, a feeder batch of the backend's ten sheets,
// blank feeder pages with and without "SkipBlank", and a preview.

#include "SaneWindow.h"

#include "imagelist/ImagePane.h"
#include "imagelist/TiffDecoder.h"
#include "main/Unitmain.h"
#include "output/FileNaming.h"
#include "platform/Clock.h"
#include "platform/CredentialsDialog.h"
#include "platform/PictureLoader.h"
#include "platform/RegistryKey.h"
#include "preview/PreviewFit.h"
#include "preview/PreviewLayer.h"
#include "preview/PreviewPane.h"
#include "preview/LayeredImage.h"
#include "scanner/SaneDriver.h"
#include "status/StatusBar.h"
#include "support/ChildProcess.h"
#include "support/FakeSane.h"
#include "support/Saned.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRegularExpression>

#include <algorithm>
#include <memory>

namespace {

using testing_support::waitUntil;

const QDateTime kNow(QDate(2009, 12, 8), QTime(23, 45, 10));

class SaneJob : public SaneWindowTest {
 protected:
  void SetUp() override {
    SaneWindowTest::SetUp();
    platform::ClockSeam::set([] { return kNow; });
  }
  void TearDown() override {
    SaneWindowTest::TearDown();
    platform::ClockSeam::reset();
  }
  static QString temp() { return qEnvironmentVariable("TEMP"); }
  static QString saneFile(const char* name) {
    return qEnvironmentVariable("SANE_CONFIG_DIR") + QLatin1Char('/') + QLatin1String(name);
  }

  // The second of the test backend's two devices chosen and scanned from
  // once: the list that every later job must keep to.
  void scanOnceFromTheSecondDevice() {
    start();
    w->cmb_Sources->setCurrentIndex(1);
    w->Scan1Click();
    ASSERT_TRUE(waitForJobEnd());
    ASSERT_EQ(w->StatusText(), QStringLiteral("Ready"));
  }
};

struct FormatCase {
  const char* name;
  int item;              // of cmb_Format
  const char* extension;
  QList<QByteArray> signatures;  // how a file of the format begins
  bool lossless;
  QImage (*decode)(const QString& path);  // the program's own decoder, as its viewer uses it
};

QImage loadWithPlatform(const QString& path) { return platform::loadPicture(path); }

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class SaneFormat : public SaneJob, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(SaneFormat, FlatbedScanWritesAReadableFileAndOneEntry) {
  const FormatCase& c = GetParam();
  start();
  w->cmb_Format->setCurrentIndex(c.item);
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_FALSE(w->StatusIsError());

  const QString name = "Brevalto_" + output::timeStamp(kNow) + "." + c.extension;
  ASSERT_EQ(filesIn(destination), QStringList{name});
  ASSERT_EQ(listCaptions(), QStringList{name});

  // The file holds the page the scanner delivered: the same picture as its
  // bitmap copy, of the size the backend scans "A6 " at 75 dpi.
  const QString path = destination + "/" + name;
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray head = file.read(4);
  EXPECT_TRUE(std::any_of(c.signatures.begin(), c.signatures.end(),
                          [&](const QByteArray& signature) { return head.startsWith(signature); }))
      << head.toHex().toStdString();
  const QImage saved = c.decode(path);
  ASSERT_FALSE(saved.isNull());
  const QString copyPath = w->pnl_Right->lv_Images->item(0)->data(ImagePane::TempCopyRole).toString();
  EXPECT_EQ(QFileInfo(copyPath).absolutePath(), QFileInfo(temp() + "/x").absolutePath());
  const QImage copy(copyPath);
  ASSERT_FALSE(copy.isNull()) << copyPath.toStdString();
  EXPECT_NEAR(saved.width(), 4.1 * 75, 2);
  EXPECT_NEAR(saved.height(), 5.8 * 75, 2);
  ASSERT_EQ(saved.size(), copy.size());
  const QImage a = saved.convertToFormat(QImage::Format_Grayscale8);
  const QImage b = copy.convertToFormat(QImage::Format_Grayscale8);
  int worst = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      worst = std::max(worst, std::abs(int(a.constScanLine(y)[x]) - int(b.constScanLine(y)[x])));
  EXPECT_LE(worst, c.lossless ? 0 : 24);
}

INSTANTIATE_TEST_SUITE_P(Formats, SaneFormat,
                         ::testing::Values(FormatCase{"Bmp", 0, "bmp", {"BM"}, true, loadWithPlatform},
                                           FormatCase{"Jpeg", 1, "jpg", {"\xFF\xD8\xFF"}, false, loadWithPlatform},
                                           FormatCase{"Tiff", 2, "tiff", {{"II*\0", 4}, {"MM\0*", 4}}, true, decodeTiff}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaneJob, FeederBatchOfTenSheetsGivesTenFilesAndEntries) {
  start();
  w->cb_ADF->setChecked(true);
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_TRUE(w->UseFeeder);

  // All ten within the same (frozen) second: the counter keeps them apart.
  const QString stamp = output::timeStamp(kNow);
  QStringList expected{"Brevalto_" + stamp + ".bmp"};
  for (int k = 1; k < 10; ++k) expected << "Brevalto_" + stamp + "_" + QString::number(k) + ".bmp";
  EXPECT_EQ(listCaptions(), expected);
  QStringList sorted = expected;
  sorted.sort();
  EXPECT_EQ(filesIn(destination), sorted);
  for (const QString& file : expected)
    EXPECT_FALSE(QImage(destination + "/" + file).isNull()) << file.toStdString();

  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_FALSE(w->StatusIsError());
  EXPECT_TRUE(idle());
  EXPECT_EQ(w->sb_Main->panelText(3), QStringLiteral("10 files"));
  EXPECT_EQ(statuses.first(), QStringLiteral("Scanning ... "));
}

// SANE's two test devices are two scanners of one model: the list tells them
// apart by their device names.
TEST_F(SaneJob, TwoScannersOfOneModelAreToldApart) {
  start();
  ASSERT_EQ(w->cmb_Sources->count(), 2);
  EXPECT_EQ(w->cmb_Sources->itemText(0), QStringLiteral("Noname frontend-tester (test:0)"));
  EXPECT_EQ(w->cmb_Sources->itemText(1), QStringLiteral("Noname frontend-tester (test:1)"));
  EXPECT_EQ(w->cmb_Sources->itemData(1).toString(), QStringLiteral("test:1"));
}

// A backend added to the SANE configuration after the list was made (whose
// devices a listing would put first) must not take the chosen scanner's
// place: the job opens the test device the list shows, and no other.
TEST_F(SaneJob, ABackendAddedSinceTheListDoesNotTakeTheChosenScannersPlace) {
  if (!child_process::inChild({.testConf = {QStringLiteral("number_of_devices 2")}})) return;
  ASSERT_NO_FATAL_FAILURE(scanOnceFromTheSecondDevice());
  QFile dll(saneFile("dll.conf"));
  ASSERT_TRUE(dll.open(QIODevice::Append | QIODevice::Text));
  dll.write("pnm\n");
  dll.close();

  for (int job = 0; job < 2; ++job) {
    w->ToolButtonPreviewClick();
    ASSERT_TRUE(waitForJobEnd());
    EXPECT_EQ(w->StatusText(), QStringLiteral("Ready")) << job;
    EXPECT_FALSE(w->StatusIsError()) << statuses.join(" | ").toStdString();
    EXPECT_EQ(w->cmb_Sources->currentText(), QStringLiteral("Noname frontend-tester (test:1)"));
  }
  EXPECT_FALSE(QImage(temp() + "/Brevalto.bmp").isNull());
}

// The chosen test device is gone at the next start of SANE (its
// configuration now makes one device only): the job ends in red naming it,
// and opens no other device; the one still there works.
TEST_F(SaneJob, AScannerGoneSinceTheListEndsTheJobInRed) {
  if (!child_process::inChild({.testConf = {QStringLiteral("number_of_devices 2")}})) return;
  ASSERT_NO_FATAL_FAILURE(scanOnceFromTheSecondDevice());
  QFile conf(saneFile("test.conf"));
  ASSERT_TRUE(conf.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text));
  conf.write("number_of_devices 1\n");
  conf.close();

  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_TRUE(w->StatusIsError());
  EXPECT_EQ(w->StatusText(), QStringLiteral("The scanner \"Noname frontend-tester (test:1)\" is no longer available"));
  EXPECT_EQ(listed(), 1);

  w->cmb_Sources->setCurrentIndex(0);
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_EQ(listed(), 2);
}

// The backend's "Solid white" sheets are blank pages from the feeder.
TEST_F(SaneJob, BlankFeederSheetsAreWrittenAndListedOnlyWithoutSkipBlank) {
  if (!child_process::inChild({.testConf = {QStringLiteral("test-picture \"Solid white\"")}})) return;
  struct Row {
    bool skipBlank;
    int listed;
  };
  int minute = 0;
  for (const Row row : {Row{true, 0}, Row{false, 10}}) {
    SCOPED_TRACE(row.skipBlank ? "SkipBlank on" : "SkipBlank off");
    // A stamp of its own, so this batch's bitmap copies don't replace the last.
    const QDateTime now = kNow.addSecs(60 * minute++);
    platform::ClockSeam::set([now] { return now; });
    destination = testing_support::makeTempDir(QStringLiteral("dest"));
    const int copiesBefore = filesIn(temp(), {"*.bmp"}).size();
    start();
    w->SkipBlankPages = row.skipBlank;
    w->cb_ADF->setChecked(true);
    w->Scan1Click();
    ASSERT_TRUE(waitForJobEnd());
    EXPECT_EQ(filesIn(destination).size(), 10);
    // Each sheet's bitmap copy is written too, listed or not; the ten stamps
    // are the same, but the counter tells them apart in the temporary folder.
    EXPECT_EQ(filesIn(temp(), {"*.bmp"}).size() - copiesBefore, 10);
    EXPECT_EQ(listed(), row.listed);
    EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
    EXPECT_FALSE(w->StatusIsError());
    EXPECT_TRUE(idle());
    windows = ProgramWindows();
  }
}

TEST_F(SaneJob, PreviewFillsThePane) {
  start();
  const QString previewFile = temp() + "/Brevalto.bmp";
  w->ToolButtonPreviewClick();
  EXPECT_EQ(statuses.value(0), QStringLiteral("Image preview ... "));
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_FALSE(w->StatusIsError());
  EXPECT_EQ(w->CurrentResolution, 100);

  // The whole 200 x 200 mm bed, in colour at 100 dpi.
  const QImage scanned(previewFile);
  ASSERT_FALSE(scanned.isNull());
  EXPECT_NEAR(scanned.width(), 200 / 25.4 * 100, 2);
  EXPECT_NEAR(scanned.height(), 200 / 25.4 * 100, 2);

  const QSize pane = w->gb_Preview->image()->size();
  const float k = std::min(float(pane.width()) / scanned.width(), float(pane.height()) / scanned.height());
  const FloatRect shown = w->gb_Preview->imageArea();
  EXPECT_FLOAT_EQ(shown.left, 0);
  EXPECT_FLOAT_EQ(shown.top, 0);
  EXPECT_NEAR(shown.right, scanned.width() * k, 0.01);
  EXPECT_NEAR(shown.bottom, scanned.height() * k, 0.01);
  // A square bed in a tall pane takes the pane's whole width.
  EXPECT_NEAR(shown.right, pane.width(), 0.01);
  EXPECT_NEAR(w->PreviewScale, 100 * k, 1e-3);

  const QImage bitmap = w->gb_Preview->previewLayer()->bitmap();
  ASSERT_FALSE(bitmap.isNull());
  EXPECT_EQ(bitmap.width(), pane.width());
  // The backend's default sheet is solid black, and so is the preview.
  EXPECT_LT(qGray(bitmap.pixel(bitmap.width() / 2, bitmap.height() / 2)), 32);
  const FloatRect frame = w->gb_Preview->frameLocation();
  EXPECT_FLOAT_EQ(frame.right, shown.right);
  EXPECT_FLOAT_EQ(frame.bottom, shown.bottom);
  EXPECT_EQ(listed(), 0);
  EXPECT_TRUE(filesIn(destination).isEmpty());
}

// Slow pages from the test backend: it waits 0.2 s before each 64 kB it
// hands on, so that an A6 page in grey at 300 dpi takes some 7 s.
const QStringList kSlowPages{QStringLiteral("read-delay true"), QStringLiteral("read-delay-duration 200000")};

// Cancel during a single flatbed page stops that page, not after it; the
// status says so to the end, and the next job scans normally.
TEST_F(SaneJob, CancelStopsTheFlatbedPageInTransferAndTheNextJobWorks) {
  if (!child_process::inChild({.testConf = kSlowPages})) return;
  start();
  w->cmb_Resolution->setCurrentIndex(w->cmb_Resolution->findText(QStringLiteral("300")));
  w->Scan1Click();
  ASSERT_TRUE(waitUntil([&] { return w->sb_Main->progressBar()->value() > 0; }));
  ASSERT_FALSE(idle());
  w->ActionCancel->trigger();
  ASSERT_TRUE(waitForJobEnd(std::chrono::seconds(20)));
  EXPECT_LT(w->sb_Main->progressBar()->value(), 90);
  EXPECT_EQ(w->StatusText(), QStringLiteral("Operation aborted"));
  EXPECT_FALSE(w->StatusIsError());
  EXPECT_EQ(listed(), 0);
  EXPECT_TRUE(filesIn(destination).isEmpty());

  statuses.clear();
  w->cmb_Resolution->setCurrentIndex(w->cmb_Resolution->findText(QStringLiteral("75")));
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_FALSE(statuses.contains(QStringLiteral("Operation aborted")));
  EXPECT_EQ(listed(), 1);
  EXPECT_EQ(filesIn(destination).size(), 1);
}

// The user's choices are stored when a job starts, not only at close: a
// scanner that takes the program down must not cost them.
TEST_F(SaneJob, ChoicesAreStoredWhenAJobStarts) {
  start();
  w->cmb_Mode->setCurrentIndex(0);
  w->cmb_Format->setCurrentIndex(2);
  w->edt_FileName->setText(QStringLiteral("Invoice"));
  w->ToolButtonPreviewClick();
  {
    platform::RegistryKey key;
    EXPECT_EQ(key.readInteger(QStringLiteral("Mode")), 0);
    EXPECT_EQ(key.readInteger(QStringLiteral("Format")), 2);
    EXPECT_EQ(key.readText(QStringLiteral("FileName")), QStringLiteral("Invoice"));
    EXPECT_EQ(key.readText(QStringLiteral("Destination")), destination);
    key.close();
  }
  ASSERT_TRUE(waitForJobEnd());
}

}  // namespace

namespace {

// A scanner that wants a user name and password: the window asks in a
// dialog while the scanner waits, keeps nothing of the answer, and a
// declined dialog ends the job with the scanner's refusal.
TEST_F(SaneJob, ScannerPasswordIsAskedInADialogAndNotKept) {
  if (!child_process::inChild(fake_sane::childOptions(
          {QStringLiteral("device fake:a|Acme|Sheetmaster"), QStringLiteral("password alice s3cret")})))
    return;
  struct Row {
    bool answered;
    bool fails;
  };
  for (const Row row : {Row{false, true}, Row{true, false}}) {
    SCOPED_TRACE(row.answered);
    platform::CredentialsDialogSeam::install([&](const QString&) -> std::optional<platform::Credentials> {
      if (!row.answered) return std::nullopt;
      return platform::Credentials{QStringLiteral("alice"), QStringLiteral("s3cret")};
    });
    start();
    w->Scan1Click();
    ASSERT_TRUE(waitForJobEnd());
    EXPECT_EQ(platform::CredentialsDialogSeam::asked(), QStringList{QStringLiteral("fake:a")});
    EXPECT_EQ(w->StatusIsError(), row.fails) << w->StatusText().toStdString();
    EXPECT_EQ(filesIn(destination).size(), row.fails ? 0 : 1) << w->StatusText().toStdString();
    windows = ProgramWindows();
  }
  platform::CredentialsDialogSeam::uninstall();
  // Nothing of the password in the preferences.
  QFile preferences(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Quellmark/Brevalto Pro.conf"));
  ASSERT_TRUE(preferences.open(QIODevice::ReadOnly));
  EXPECT_FALSE(preferences.readAll().contains("s3cret"));
}

}  // namespace

namespace {

// A scanner shared by saned whose server dies in the middle of a page: the
// job ends in red instead of scanning for ever, the pages before stay, and
// the next job works on a fresh session once the server is back.
TEST_F(SaneJob, NetworkServerDyingMidPageEndsTheJobInRedAndTheNextJobWorks) {
  if (!saned::available()) GTEST_SKIP() << saned::whyUnavailable().toStdString();
  if (!child_process::inChild(saned::childOptions())) return;
  SaneDriver::setStallTimeout(std::chrono::seconds(3));
  auto server = std::make_unique<saned::Server>(kSlowPages);
  ASSERT_TRUE(server->start()) << server->log().toStdString();
  start();
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  ASSERT_EQ(w->StatusText(), QStringLiteral("Ready"));

  w->cmb_Resolution->setCurrentIndex(w->cmb_Resolution->findText(QStringLiteral("300")));
  w->Scan1Click();
  // In the page's transfer: the bar still holds the last job's end until the
  // new page moves it. (libsane-net itself crashes when its server dies
  // inside sane_start, before any data.)
  ASSERT_TRUE(waitUntil([&] {
    const int value = w->sb_Main->progressBar()->value();
    return value > 0 && value < 100;
  }));
  server->killAll();
  ASSERT_TRUE(waitForJobEnd(std::chrono::seconds(30)));
  EXPECT_TRUE(w->StatusIsError());
  // A sentence, not the number the net backend makes up once its server is gone.
  EXPECT_TRUE(w->StatusText().startsWith(QStringLiteral("The scanner"))) << w->StatusText().toStdString();
  EXPECT_FALSE(w->StatusText().contains(QRegularExpression(QStringLiteral("\\d{4,}")))) << w->StatusText().toStdString();
  EXPECT_EQ(listed(), 1);
  EXPECT_EQ(filesIn(destination).size(), 1);

  server = std::make_unique<saned::Server>();
  ASSERT_TRUE(server->start()) << server->log().toStdString();
  w->cmb_Resolution->setCurrentIndex(w->cmb_Resolution->findText(QStringLiteral("75")));
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_EQ(listed(), 2);
  EXPECT_EQ(filesIn(destination).size(), 2);
}

}  // namespace
