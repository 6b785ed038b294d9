// A disk that fills up in the middle of a feeder batch. The page that doesn't
// fit ends the batch in red with its path and the system's reason, the pages
// before it and the files of earlier jobs stay as they were, nothing
// half-written is left behind (not even under a hidden name), and the next
// job works once there is room again.
//
// A small tmpfs is the real thing, but mounting needs root and a private
// mount namespace; a file-size limit (RLIMIT_FSIZE with SIGXFSZ ignored, so
// writes fail with EFBIG) gives the same failing write everywhere.

#include "FaultWindow.h"

#include "imagelist/TiffDecoder.h"
#include "main/Unitmain.h"
#include "platform/PictureLoader.h"
#include "scanner/ScriptedDriver.h"
#include "status/StatusBar.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/resource.h>

namespace {

enum class Room { FileSizeLimit, SmallFileSystem };

struct DiskCase {
  const char* name;
  int formatItem;  // of cmb_Format
  const char* extension;
  Room room;
};

void PrintTo(const DiskCase& c, std::ostream* os) { *os << c.name; }

// A small page takes 90 kB as a bitmap or TIFF and far less as JPEG; the
// third page of the batch, 900 x 700 of noise, needs over 300 kB in any
// format. The tmpfs holds five small pages, but not the noise page after three.
constexpr rlim_t kFileSizeLimit = 150 * 1024;
const char kTmpfsSize[] = "600k";

QImage decodeSaved(const QString& path) {
  return path.endsWith(QLatin1String(".tiff")) ? decodeTiff(path) : platform::loadPicture(path);
}

bool setFileSizeLimit(rlim_t limit) {
  rlimit current{};
  if (::getrlimit(RLIMIT_FSIZE, &current) != 0) return false;
  current.rlim_cur = limit;
  return ::setrlimit(RLIMIT_FSIZE, &current) == 0;
}

class FullDisk : public FaultWindowTest, public ::testing::WithParamInterface<DiskCase> {
 protected:
  void SetUp() override {
    FaultWindowTest::SetUp();
    // A child on a tmpfs writes into the folder its parent mounted there.
    if (qEnvironmentVariableIsSet("BREVALTO_FAULT_DESTINATION"))
      destination = qEnvironmentVariable("BREVALTO_FAULT_DESTINATION");
  }
};

TEST_P(FullDisk, ThePageThatDoesNotFitEndsTheBatchAndNothingEarlierIsHurt) {
  const DiskCase& c = GetParam();
  if (!child_process::isChild()) {
    child_process::Options options;
    if (c.room == Room::SmallFileSystem) {
      if (!child_process::canMountTmpfs())
        GTEST_SKIP() << "this machine lets no test mount a tmpfs; the file-size rows show the same fault";
      const QString folder = testing_support::makeTempDir(QStringLiteral("small-disk"));
      options.wrapper = child_process::tmpfsWrapper(folder, QString::fromLatin1(kTmpfsSize));
      options.environment[QStringLiteral("BREVALTO_FAULT_DESTINATION")] = folder;
    }
    child_process::inChild(options);
    return;
  }

  auto driver = std::make_unique<ScriptedDriver>();
  ScriptedDriver* script = driver.get();
  script->addSource({.hasFeeder = true, .pages = {barPage(Qt::cyan)}});
  start(std::move(driver));
  w->cmb_Format->setCurrentIndex(c.formatItem);

  // An earlier job's page, already in the folder.
  w->edt_FileName->setText(QStringLiteral("earlier"));
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  ASSERT_EQ(listed(), 1);
  const QMap<QString, QByteArray> before = contentsOf(destination);
  ASSERT_EQ(before.size(), 1);

  QList<QImage> pages{barPage(Qt::red), barPage(Qt::green), noisePage(900, 700, 3)};
  for (int i = 3; i < 10; ++i) pages << barPage(QColor::fromHsv(i * 30, 120, 230));
  script->setPages(0, pages);
  script->clearLog();
  const int startedBefore = script->pagesStarted();
  if (c.room == Room::FileSizeLimit) {
    ASSERT_NE(std::signal(SIGXFSZ, SIG_IGN), SIG_ERR);
    ASSERT_TRUE(setFileSizeLimit(kFileSizeLimit)) << std::strerror(errno);
  }
  w->edt_FileName->setText(QStringLiteral("Brevalto"));
  w->cb_ADF->setChecked(true);
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  ASSERT_TRUE(setFileSizeLimit(RLIM_INFINITY));

  // What the user sees: the third page's path and the reason, in red, last.
  const QString ext = QString::fromLatin1(c.extension);
  const QString reason = QString::fromLocal8Bit(std::strerror(c.room == Room::FileSizeLimit ? EFBIG : ENOSPC));
  const QString expected = "!Unable to write file '" + destination + "/" + pageName(2, ext) + "': " + reason;
  ASSERT_FALSE(statuses.isEmpty());
  EXPECT_EQ(statuses.last(), expected);
  EXPECT_TRUE(w->StatusIsError());
  EXPECT_EQ(script->log().count(QStringLiteral("StopDevice()")), 1);
  // The rest of the feeder is left alone. The control reads ahead: while the
  // window handles a page it holds the next one and reads the one after.
  EXPECT_LE(script->pagesStarted() - startedBefore, 6);

  // On disk: the earlier file byte for byte, the two pages that fitted, and
  // nothing else, no hidden leftover of the failed write either.
  const QMap<QString, QByteArray> after = contentsOf(destination);
  EXPECT_EQ(entriesIn(destination), (QStringList{pageName(0, ext), pageName(1, ext), before.firstKey()}));
  EXPECT_EQ(after.value(before.firstKey()), before.first());
  for (int k = 0; k < 2; ++k) {
    const QImage saved = decodeSaved(destination + "/" + pageName(k, ext));
    ASSERT_EQ(saved.size(), pages[k].size()) << k;
    if (ext != QLatin1String("jpg")) {
      EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB888), pages[k]) << k;
    }
  }
  for (const QString& name : entriesIn(qEnvironmentVariable("TEMP")))
    EXPECT_FALSE(name.endsWith(QLatin1String(".part"))) << name.toStdString();
  EXPECT_EQ(listCaptions(), (QStringList{before.firstKey(), pageName(0, ext), pageName(1, ext)}));
  EXPECT_EQ(w->sb_Main->panelText(3), QStringLiteral("3 files"));

  // With room again (the limit lifted; on the tmpfs two small pages still
  // fit) the next batch works.
  script->setPages(0, {barPage(Qt::yellow), barPage(Qt::magenta)});
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_FALSE(w->StatusIsError());
  EXPECT_EQ(listed(), 5);
  EXPECT_EQ(contentsOf(destination).value(before.firstKey()), before.first());
}

INSTANTIATE_TEST_SUITE_P(Faults, FullDisk,
                         ::testing::Values(DiskCase{"BmpFileSizeLimit", 0, "bmp", Room::FileSizeLimit},
                                           DiskCase{"JpegFileSizeLimit", 1, "jpg", Room::FileSizeLimit},
                                           DiskCase{"TiffFileSizeLimit", 2, "tiff", Room::FileSizeLimit},
                                           DiskCase{"BmpSmallFileSystem", 0, "bmp", Room::SmallFileSystem},
                                           DiskCase{"TiffSmallFileSystem", 2, "tiff", Room::SmallFileSystem}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
