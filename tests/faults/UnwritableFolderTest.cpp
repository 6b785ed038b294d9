// A destination or temporary folder that can't be written. A destination that
// is no folder at all is caught before the job starts, with the program's own
// message boxes; a folder that refuses the write ends the batch at its first
// page in red, with the path and the system's reason. Either way nothing
// is listed that isn't on disk, the buttons come back, and a job after the
// folder has been put right works.
//
// Permission bits don't stop root, so rows about them run in a child that
// gives up root first.

#include "FaultWindow.h"

#include "main/Unitmain.h"
#include "scanner/ScriptedDriver.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace {

enum class Folder { Destination, Temp };
enum class Fault {
  ReadOnly,      // a folder without write permission
  RegularFile,   // a plain file where the folder should be
  UnderAFile,    // a path that leads through a plain file
};

struct FolderCase {
  const char* name;
  Folder folder;
  Fault fault;
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }

void writeFile(const QString& path) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not a folder");
}

class UnwritableFolder : public FaultWindowTest, public ::testing::WithParamInterface<FolderCase> {
 protected:
  void SetUp() override {
    FaultWindowTest::SetUp();
    temp = qEnvironmentVariable("TEMP");
  }
  void TearDown() override {
    qputenv("TEMP", temp.toLocal8Bit());
    FaultWindowTest::TearDown();
  }
  QString temp;
};

TEST_P(UnwritableFolder, TheUserIsToldAndTheNextJobWorksOnceItIsPutRight) {
  const FolderCase& c = GetParam();
  if (c.fault == Fault::ReadOnly) {
    if (!child_process::inChild()) return;
    QString why;
    if (!child_process::becomeUnprivileged(&why)) GTEST_SKIP() << why.toStdString();
  }

  // The folder at fault, made bad in the row's way.
  const QString bad = testing_support::makeTempDir(QStringLiteral("bad"));
  QString faulty;
  switch (c.fault) {
    case Fault::ReadOnly:
      faulty = bad;
      ASSERT_EQ(::chmod(QFile::encodeName(bad).constData(), 0555), 0) << std::strerror(errno);
      break;
    case Fault::RegularFile:
      faulty = bad + "/file";
      writeFile(faulty);
      break;
    case Fault::UnderAFile:
      writeFile(bad + "/file");
      faulty = bad + "/file/folder";
      break;
  }
  const QString good = c.folder == Folder::Destination ? destination : temp;
  if (c.folder == Folder::Destination)
    destination = faulty;
  else
    qputenv("TEMP", faulty.toLocal8Bit());

  auto driver = std::make_unique<ScriptedDriver>();
  ScriptedDriver* script = driver.get();
  script->addSource({.hasFeeder = true, .pages = {barPage(Qt::red), barPage(Qt::green), barPage(Qt::blue)}});
  start(std::move(driver));
  w->cb_ADF->setChecked(true);
  const int kindBefore = w->JobKind;
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());

  const bool checkedAtStart = c.folder == Folder::Destination && c.fault != Fault::ReadOnly;
  if (checkedAtStart) {
    // The folder check offers to create it, and then can't.
    EXPECT_EQ(messageTexts(), (QStringList{"Selected directory doesn't exists. \nWhould you like to create it?",
                                           "It is impossible to create directory"}));
    EXPECT_TRUE(statuses.isEmpty()) << statuses.join('|').toStdString();
    EXPECT_EQ(w->JobKind, kindBefore);
    EXPECT_FALSE(script->log().contains(QStringLiteral("Acquire()")));
  } else {
    // The first page can't be written: that ends the batch in red.
    const int reason = c.fault == Fault::ReadOnly ? EACCES : ENOTDIR;
    EXPECT_TRUE(messageTexts().isEmpty());
    ASSERT_FALSE(statuses.isEmpty());
    EXPECT_EQ(statuses.last(), "!Unable to write file '" + faulty + "/" + pageName(0) + "': " +
                                   QString::fromLocal8Bit(std::strerror(reason)));
    EXPECT_EQ(script->log().count(QStringLiteral("StopDevice()")), 1);
    // No more than the control had read ahead (two sheets) went through.
    EXPECT_LE(script->pagesStarted(), 3);
  }
  EXPECT_EQ(listed(), 0);
  if (c.folder == Folder::Temp) {
    // The page itself was written before its bitmap copy failed, and stays.
    EXPECT_EQ(entriesIn(destination), QStringList{pageName(0)});
  }
  if (c.fault == Fault::ReadOnly) {
    EXPECT_TRUE(entriesIn(faulty).isEmpty()) << entriesIn(faulty).join(' ').toStdString();
  }

  // Put right, the same window scans the whole batch.
  if (c.folder == Folder::Destination) {
    destination = good;
    w->edt_Destination->setText(good);
  } else {
    qputenv("TEMP", good.toLocal8Bit());
  }
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_FALSE(w->StatusIsError());
  EXPECT_EQ(listed(), 3);
}

// A preview keeps its picture in the temporary folder too.
TEST_F(UnwritableFolder, APreviewThatCannotBeSavedEndsInRed) {
  const QString bad = testing_support::makeTempDir(QStringLiteral("bad"));
  writeFile(bad + "/file");
  qputenv("TEMP", QString(bad + "/file").toLocal8Bit());
  auto driver = std::make_unique<ScriptedDriver>();
  driver->addSource({.pages = {barPage(Qt::yellow, 400, 400)}});
  start(std::move(driver));
  w->ToolButtonPreviewClick();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(statuses.last(), "!Unable to write file '" + bad + "/file/Brevalto.bmp': " +
                                 QString::fromLocal8Bit(std::strerror(ENOTDIR)));
  EXPECT_TRUE(messageTexts().isEmpty());

  qputenv("TEMP", temp.toLocal8Bit());
  w->ToolButtonPreviewClick();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(w->StatusText(), QStringLiteral("Ready"));
  EXPECT_FALSE(w->StatusIsError());
  EXPECT_TRUE(QFile::exists(temp + "/Brevalto.bmp"));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UnwritableFolder,
    ::testing::Values(FolderCase{"ReadOnlyDestination", Folder::Destination, Fault::ReadOnly},
                      FolderCase{"DestinationIsAFile", Folder::Destination, Fault::RegularFile},
                      FolderCase{"DestinationUnderAFile", Folder::Destination, Fault::UnderAFile},
                      FolderCase{"ReadOnlyTemp", Folder::Temp, Fault::ReadOnly},
                      FolderCase{"TempIsAFile", Folder::Temp, Fault::RegularFile}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
