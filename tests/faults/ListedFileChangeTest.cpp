// A listed file changed behind the program's back (deleted, replaced by a
// folder, made unreadable) before the user previews, renames or deletes it.
// The user is told in the program's words, nothing crashes, no other file
// or folder is touched, and the list still matches the disk.
//
// Unreadable files don't stop root, so those rows run in a child that gives
// up root first.

#include "FaultWindow.h"

#include "imagelist/ImagePane.h"
#include "imagelist/Unitpreview.h"
#include "main/Unitmain.h"
#include "platform/MessageBox.h"
#include "scanner/ScriptedDriver.h"
#include "status/StatusBar.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace {

enum class Change { Deleted, ReplacedByFolder, Unreadable };
enum class Action { Preview, Rename, Delete };

struct ChangeCase {
  const char* name;
  Change change;
  Action action;
  int formatItem;  // of cmb_Format: 0 BMP, 1 JPEG, 2 TIFF
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

const char* const kExtensions[] = {"bmp", "jpg", "tiff"};
const QString kNewName = QStringLiteral("renamed.bmp");
const QString kDeleteQuestion = QStringLiteral("Do you want to delete this image?");
const QString kRenameFailed = QStringLiteral("It is impossible to rename file. May be file was already deleted or moved");

class ListedFileChange : public FaultWindowTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ListedFileChange, TheUserIsToldAndNothingElseIsTouched) {
  const ChangeCase& c = GetParam();
  if (c.change == Change::Unreadable) {
    if (!child_process::inChild()) return;
    QString why;
    if (!child_process::becomeUnprivileged(&why)) GTEST_SKIP() << why.toStdString();
  }

  // Three pages scanned in this run; the middle one is changed.
  auto driver = std::make_unique<ScriptedDriver>();
  driver->addSource({.hasFeeder = true, .pages = {barPage(Qt::red), barPage(Qt::green), barPage(Qt::blue)}});
  start(std::move(driver));
  w->cmb_Format->setCurrentIndex(c.formatItem);
  w->cb_ADF->setChecked(true);
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  const QString ext = QString::fromLatin1(kExtensions[c.formatItem]);
  const QStringList captions{pageName(0, ext), pageName(1, ext), pageName(2, ext)};
  ASSERT_EQ(listCaptions(), captions);

  const QString changed = destination + "/" + captions[1];
  const QString marker = changed + "/inside.txt";  // what the user keeps in the folder
  switch (c.change) {
    case Change::Deleted:
      ASSERT_TRUE(QFile::remove(changed));
      break;
    case Change::ReplacedByFolder: {
      ASSERT_TRUE(QFile::remove(changed));
      ASSERT_TRUE(QDir().mkdir(changed));
      QFile file(marker);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write("keep me");
      break;
    }
    case Change::Unreadable:
      ASSERT_EQ(::chmod(QFile::encodeName(changed).constData(), 0), 0) << std::strerror(errno);
      break;
  }
  const QMap<QString, QByteArray> others = [&] {
    QMap<QString, QByteArray> contents = contentsOf(destination);
    contents.remove(captions[1]);
    return contents;
  }();
  const QStringList entriesBefore = entriesIn(destination);

  ImagePane* pane = w->pnl_Right;
  int viewerShown = 0;
  pane->setViewerShow([&](Tfrm_Preview&) { ++viewerShown; });
  pane->lv_Images->setCurrentRow(1);
  platform::MessageBoxSeam::clearShown();
  switch (c.action) {
    case Action::Preview: pane->Action_PreviewExecute(); break;
    case Action::Rename: {
      // As the user does it: the in-place editor, a new name, Enter.
      pane->Action_RenameExecute();
      const QModelIndex index = pane->lv_Images->model()->index(1, 0);
      auto* editor = qobject_cast<QLineEdit*>(pane->lv_Images->indexWidget(index));
      ASSERT_NE(editor, nullptr);
      editor->setText(kNewName);
      QTest::keyClick(editor, Qt::Key_Return);
      // The delegate commits from the event loop.
      ASSERT_TRUE(testing_support::waitUntil(
          [&] { return pane->lv_Images->indexWidget(index) == nullptr; }));
      break;
    }
    case Action::Delete: pane->Action_DeleteExecute(); break;
  }

  // What the row expects.
  QStringList messages;
  QStringList listAfter = captions;
  QStringList entriesAfter = entriesBefore;
  switch (c.action) {
    case Action::Preview:
      messages << "Unable to open file '" + changed + "'";
      break;
    case Action::Rename:
      if (c.change == Change::Unreadable) {
        // Renaming needs no right to read; the file moves, unreadable still.
        listAfter[1] = kNewName;
        entriesAfter.removeOne(captions[1]);
        entriesAfter << kNewName;
        entriesAfter.sort();
      } else {
        messages << kRenameFailed;
      }
      break;
    case Action::Delete:
      messages << kDeleteQuestion;
      // Nor does deleting; a missing file or a folder stays as it is, and so
      // does its entry, silently.
      if (c.change == Change::Unreadable) {
        listAfter.removeAt(1);
        entriesAfter.removeOne(captions[1]);
      }
      break;
  }
  EXPECT_EQ(messageTexts(), messages);
  EXPECT_EQ(viewerShown, 0);
  if (c.action == Action::Preview) {
    ASSERT_EQ(platform::MessageBoxSeam::shown().size(), 1);
    EXPECT_EQ(platform::MessageBoxSeam::shown()[0].icon, platform::MessageIcon::Error);
  }
  EXPECT_EQ(listCaptions(), listAfter);
  EXPECT_EQ(entriesIn(destination), entriesAfter);
  QMap<QString, QByteArray> othersAfter = contentsOf(destination);
  othersAfter.remove(captions[1]);
  othersAfter.remove(kNewName);
  EXPECT_EQ(othersAfter, others);
  if (c.change == Change::ReplacedByFolder) {
    EXPECT_TRUE(QFileInfo(changed).isDir());
    QFile file(marker);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("keep me"));
  }
  const QString countText = QStringLiteral("%1 files").arg(listAfter.size());
  EXPECT_EQ(w->sb_Main->panelText(3), countText);

  // The program goes on: the other pages still preview, and a scan adds to the list.
  pane->lv_Images->setCurrentRow(0);
  platform::MessageBoxSeam::clearShown();
  pane->Action_PreviewExecute();
  EXPECT_EQ(viewerShown, 1);
  EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join('|').toStdString();
  w->Scan1Click();
  ASSERT_TRUE(waitForJobEnd());
  EXPECT_EQ(listed(), listAfter.size() + 3);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ListedFileChange,
    ::testing::Values(ChangeCase{"DeletedThenPreview", Change::Deleted, Action::Preview, 0},
                      ChangeCase{"DeletedThenPreviewTiff", Change::Deleted, Action::Preview, 2},
                      ChangeCase{"DeletedThenRename", Change::Deleted, Action::Rename, 0},
                      ChangeCase{"DeletedThenDelete", Change::Deleted, Action::Delete, 0},
                      ChangeCase{"FolderThenPreview", Change::ReplacedByFolder, Action::Preview, 0},
                      ChangeCase{"FolderThenPreviewJpeg", Change::ReplacedByFolder, Action::Preview, 1},
                      ChangeCase{"FolderThenPreviewTiff", Change::ReplacedByFolder, Action::Preview, 2},
                      ChangeCase{"FolderThenRename", Change::ReplacedByFolder, Action::Rename, 0},
                      ChangeCase{"FolderThenDelete", Change::ReplacedByFolder, Action::Delete, 0},
                      // Qt's image reader calls a file it may not read "File
                      // not found"; the bitmap loader opens it itself.
                      ChangeCase{"UnreadableThenPreview", Change::Unreadable, Action::Preview, 0},
                      ChangeCase{"UnreadableThenPreviewJpeg", Change::Unreadable, Action::Preview, 1},
                      ChangeCase{"UnreadableThenPreviewTiff", Change::Unreadable, Action::Preview, 2},
                      ChangeCase{"UnreadableThenRename", Change::Unreadable, Action::Rename, 0},
                      ChangeCase{"UnreadableThenDelete", Change::Unreadable, Action::Delete, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
