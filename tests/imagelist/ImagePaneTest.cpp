// The image list on the right of the main window: what its entries and
// actions do to the files in the destination folder.

#include "Fixtures.h"
#include "support/TestSupport.h"

#include "imagelist/ImagePane.h"
#include "imagelist/PreviewImage.h"
#include "imagelist/Unitpreview.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

using namespace imagelist_fixtures;
using platform::MessageAnswer;
using platform::MessageBoxSeam;

namespace {

class ImagePaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing_support::makeTempDir("dest");
    MessageBoxSeam::clearShown();
    MessageBoxSeam::install([this](const platform::MessageRequest& r) {
      return r.buttons == platform::MessageButtons::YesNo ? answer : MessageAnswer::Ok;
    });
    pane.setDestination([this] { return folder; });
    pane.setViewer(&viewer);
    pane.setViewerShow([this](Tfrm_Preview& shown) {
      ++viewerShowings;
      shownPicture = shown.Image->picture();
    });
  }
  void TearDown() override { MessageBoxSeam::uninstall(); }

  // A listed file as the scan would leave it: the file in the folder and its entry.
  QListWidgetItem* addFile(const QString& caption, const std::function<void(const QString&)>& write) {
    if (write) write(folder + "/" + caption);
    QImage thumbnail(100, 75, QImage::Format_RGB32);
    thumbnail.fill(Qt::white);
    pane.addEntry(thumbnail, caption, "/tmp/copy-" + caption + ".bmp");
    return pane.lv_Images->item(pane.lv_Images->count() - 1);
  }
  QListWidgetItem* addBmp(const QString& caption) {
    return addFile(caption, [](const QString& p) { writeBmp(p, quadrants(8, 8)); });
  }
  void select(QListWidgetItem* item) { pane.lv_Images->setCurrentItem(item); }
  bool exists(const QString& name) const { return QFile::exists(folder + "/" + name); }
  QStringList messageTexts() const {
    QStringList texts;
    for (const auto& r : MessageBoxSeam::shown()) texts << r.text;
    return texts;
  }

  QString folder;
  MessageAnswer answer = MessageAnswer::Yes;
  Tfrm_Preview viewer;
  ImagePane pane;
  int viewerShowings = 0;
  QImage shownPicture;
};

TEST_F(ImagePaneTest, LayoutAndActionsAtStart) {
  EXPECT_EQ(pane.objectName(), "pnl_Right");
  EXPECT_EQ(pane.lv_Images->viewMode(), QListView::IconMode);
  EXPECT_EQ(pane.lv_Images->iconSize(), QSize(100, 75));
  const struct {
    QAction* action;
    const char* caption;
    const char* hint;
  } rows[] = {{pane.Action_Preview, "Preview", "Preview selected image"},
              {pane.Action_Rename, "Rename", "Rename selected file"},
              {pane.Action_Delete, "Delete", "Physically delete file "}};
  for (const auto& r : rows) {
    EXPECT_EQ(r.action->text(), r.caption);
    EXPECT_EQ(r.action->toolTip(), r.hint);
    EXPECT_FALSE(r.action->isEnabled()) << r.caption;
  }
  EXPECT_EQ(pane.Action_Delete->shortcut(), QKeySequence(Qt::Key_Delete));
}

TEST_F(ImagePaneTest, EntryKeepsCaptionThumbnailAndTempCopy) {
  addBmp("a.bmp");
  QListWidgetItem* second = addBmp("b.bmp");
  EXPECT_EQ(second->text(), "b.bmp");
  EXPECT_EQ(second->data(ImagePane::ImageIndexRole).toInt(), 1);
  EXPECT_EQ(second->data(ImagePane::TempCopyRole).toString(), "/tmp/copy-b.bmp.bmp");
  EXPECT_EQ(pane.il_Files.size(), 2);
  EXPECT_EQ(pane.il_Files.at(1).size(), QSize(100, 75));
}

TEST_F(ImagePaneTest, ActionsFollowTheSelection) {
  QListWidgetItem* item = addBmp("a.bmp");
  select(item);
  EXPECT_TRUE(pane.Action_Preview->isEnabled());
  EXPECT_TRUE(pane.Action_Rename->isEnabled());
  EXPECT_TRUE(pane.Action_Delete->isEnabled());
  pane.lv_Images->clearSelection();
  EXPECT_FALSE(pane.Action_Preview->isEnabled());
  EXPECT_FALSE(pane.Action_Rename->isEnabled());
  EXPECT_FALSE(pane.Action_Delete->isEnabled());
}

TEST_F(ImagePaneTest, CountFollowsTheList) {
  QSignalSpy counts(&pane, &ImagePane::fileCountChanged);
  QListWidgetItem* first = addBmp("a.bmp");
  ASSERT_FALSE(counts.isEmpty());
  EXPECT_EQ(counts.last().at(0).toString(), "1 file");
  addBmp("b.bmp");
  EXPECT_EQ(counts.last().at(0).toString(), "2 files");

  select(first);
  pane.Action_DeleteExecute();
  EXPECT_EQ(counts.last().at(0).toString(), "1 file");
  select(pane.lv_Images->item(0));
  pane.Action_DeleteExecute();
  EXPECT_EQ(counts.last().at(0).toString(), "0 files");
  EXPECT_EQ(pane.lv_Images->count(), 0);
}

struct PreviewCase {
  const char* name;
  const char* caption;
  // what the file holds: "tiff", "bmp", "jpeg", "truncated-jpeg", "truncated-tiff",
  // "huge-tiff" or "none" (missing)
  const char* content;
  // empty: the viewer opens; else the error shown instead ("%1" is the path)
  const char* error;
};

class PreviewAction : public ImagePaneTest, public ::testing::WithParamInterface<PreviewCase> {};

TEST_P(PreviewAction, DecodesByCaptionOrReportsWithoutShowing) {
  const PreviewCase& c = GetParam();
  const QString content = c.content;
  const QImage picture = quadrants(40, 20);
  QListWidgetItem* item = addFile(c.caption, [&](const QString& path) {
    if (content == "tiff") writeTiff(path, picture, TiffKind::Colour);
    if (content == "bmp") writeBmp(path, picture);
    if (content == "jpeg") writeJpeg(path, picture);
    if (content == "truncated-jpeg") {
      writeJpeg(path, quadrants(300, 300));
      truncateFile(path, 0.4);
    }
    if (content == "truncated-tiff") {
      writeTiff(path, quadrants(300, 300), TiffKind::Colour);
      truncateFile(path, 0.4);
    }
    if (content == "huge-tiff") writeTiffHeaderOnly(path, 100000, 100000);
  });
  select(item);
  pane.Action_PreviewExecute();

  EXPECT_EQ(viewer.ImageName, c.caption);
  const QString path = folder + "/" + c.caption;
  if (QString(c.error).isEmpty()) {
    EXPECT_TRUE(MessageBoxSeam::shown().isEmpty()) << messageTexts().join("; ").toStdString();
    ASSERT_EQ(viewerShowings, 1);
    ASSERT_EQ(shownPicture.size(), QSize(40, 20));
    EXPECT_EQ(qRed(shownPicture.pixel(2, 2)) > 200 && qGreen(shownPicture.pixel(2, 2)) < 60, true);
  } else {
    EXPECT_EQ(viewerShowings, 0);
    ASSERT_EQ(MessageBoxSeam::shown().size(), 1);
    const auto& shown = MessageBoxSeam::shown().first();
    EXPECT_EQ(shown.text, QString(c.error).arg(path));
    EXPECT_EQ(shown.icon, platform::MessageIcon::Error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PreviewAction,
    ::testing::Values(
        PreviewCase{"tif", "scan_1.tif", "tiff", ""},
        PreviewCase{"tiff", "scan_1.tiff", "tiff", ""},
        PreviewCase{"bmp", "scan_1.bmp", "bmp", ""},
        PreviewCase{"jpg", "scan_1.jpg", "jpeg", ""},
        PreviewCase{"upper_case_bmp", "scan_1.BMP", "bmp", ""},
        // upper-case TIF is not a TIFF name: the loader refuses the extension
        PreviewCase{"upper_case_tif", "scan.TIF", "tiff", "Unknown picture file extension (.TIF)"},
        // any name with ".tif" in it is decoded as TIFF
        PreviewCase{"tif_inside_name", "scan.tif.bmp", "bmp", "Unable to open file '%1'"},
        PreviewCase{"missing_bmp", "gone.bmp", "none", "Unable to open file '%1'"},
        PreviewCase{"missing_tiff", "gone.tiff", "none", "Unable to open file '%1'"},
        PreviewCase{"truncated_jpeg", "cut.jpg", "truncated-jpeg",
                    "Unable to load picture '%1': Premature end of JPEG file"},
        PreviewCase{"truncated_tiff", "cut.tiff", "truncated-tiff", "Unable to open file '%1'"},
        PreviewCase{"huge_tiff", "huge.tif", "huge-tiff", "Unable to create TBitmap buffer"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImagePaneTest, WithNothingSelectedTheActionsDoNothing) {
  addBmp("a.bmp");
  pane.Action_PreviewExecute();
  pane.Action_DeleteExecute();
  pane.Action_RenameExecute();
  QTest::mouseDClick(pane.lv_Images->viewport(), Qt::LeftButton, {}, QPoint(300, 300));
  EXPECT_EQ(viewerShowings, 0);
  EXPECT_TRUE(MessageBoxSeam::shown().isEmpty());
  EXPECT_TRUE(exists("a.bmp"));
  EXPECT_EQ(pane.lv_Images->count(), 1);
}

TEST_F(ImagePaneTest, DoubleClickOnAnItemPreviewsIt) {
  pane.resize(400, 400);
  pane.show();
  QListWidgetItem* item = addBmp("a.bmp");
  const QPoint centre = pane.lv_Images->visualItemRect(item).center();
  QTest::mouseClick(pane.lv_Images->viewport(), Qt::LeftButton, {}, centre);
  QTest::mouseDClick(pane.lv_Images->viewport(), Qt::LeftButton, {}, centre);
  EXPECT_EQ(viewerShowings, 1);
  EXPECT_EQ(viewer.ImageName, "a.bmp");
}

TEST_F(ImagePaneTest, RenameMovesTheFileOrKeepsTheCaption) {
  QListWidgetItem* a = addBmp("a.bmp");
  addBmp("b.bmp");
  const QByteArray aBytes = readBytes(folder + "/a.bmp");
  const QByteArray bBytes = readBytes(folder + "/b.bmp");
  select(a);

  // the same text, exactly: nothing happens
  QString same = "a.bmp";
  pane.lv_ImagesEdited(a, same);
  EXPECT_EQ(same, "a.bmp");
  EXPECT_TRUE(MessageBoxSeam::shown().isEmpty());
  EXPECT_TRUE(exists("a.bmp"));

  // onto another listed file: refused, nothing replaced
  for (const QString& refused : {QString("b.bmp"), QString("sub/x.bmp"), QString("..")}) {
    MessageBoxSeam::clearShown();
    QString typed = refused;
    pane.lv_ImagesEdited(a, typed);
    EXPECT_EQ(typed, "a.bmp") << refused.toStdString();
    ASSERT_EQ(MessageBoxSeam::shown().size(), 1) << refused.toStdString();
    const auto& shown = MessageBoxSeam::shown().first();
    EXPECT_EQ(shown.text, "It is impossible to rename file. May be file was already deleted or moved");
    EXPECT_EQ(shown.caption, "File rename");
    EXPECT_EQ(shown.icon, platform::MessageIcon::Warning);
    EXPECT_EQ(shown.buttons, platform::MessageButtons::Ok);
  }
  EXPECT_EQ(readBytes(folder + "/a.bmp"), aBytes);
  EXPECT_EQ(readBytes(folder + "/b.bmp"), bBytes);

  // a case change is a new name; used as typed, no extension added
  MessageBoxSeam::clearShown();
  QString renamed = "A.BMP.old";
  pane.lv_ImagesEdited(a, renamed);
  EXPECT_EQ(renamed, "A.BMP.old");
  EXPECT_TRUE(MessageBoxSeam::shown().isEmpty());
  EXPECT_FALSE(exists("a.bmp"));
  EXPECT_EQ(readBytes(folder + "/A.BMP.old"), aBytes);
}

TEST_F(ImagePaneTest, RenameOfAFileGoneFromTheFolderFails) {
  QListWidgetItem* a = addBmp("a.bmp");
  QFile::remove(folder + "/a.bmp");
  select(a);
  QString typed = "b.bmp";
  pane.lv_ImagesEdited(a, typed);
  EXPECT_EQ(typed, "a.bmp");
  EXPECT_EQ(MessageBoxSeam::shown().size(), 1);
}

// Through the list's own in-place editor: the caption the item ends with is
// what the rename allowed.
TEST_F(ImagePaneTest, InPlaceEditCommitsThroughTheRename) {
  pane.resize(400, 400);
  pane.show();
  QListWidgetItem* a = addBmp("a.bmp");
  addBmp("b.bmp");
  select(a);

  const auto editTo = [&](const QString& text) {
    pane.Action_RenameExecute();
    auto* editor = pane.lv_Images->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    // The closed editor goes by deleteLater; let it go so the next edit finds its own.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  };

  editTo("b.bmp");
  EXPECT_EQ(a->text(), "a.bmp");
  EXPECT_EQ(MessageBoxSeam::shown().size(), 1);
  EXPECT_TRUE(exists("a.bmp"));

  MessageBoxSeam::clearShown();
  editTo("c.bmp");
  EXPECT_EQ(a->text(), "c.bmp");
  EXPECT_TRUE(MessageBoxSeam::shown().isEmpty());
  EXPECT_TRUE(exists("c.bmp"));
  EXPECT_FALSE(exists("a.bmp"));
}

struct DeleteCase {
  const char* name;
  MessageAnswer answer;
  bool fileThere;
  bool removed;
};

class DeleteAction : public ImagePaneTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteAction, AsksThenDeletesOrKeepsSilently) {
  const DeleteCase& c = GetParam();
  answer = c.answer;
  QListWidgetItem* item = addBmp("a.bmp");
  addBmp("b.bmp");
  if (!c.fileThere) QFile::remove(folder + "/a.bmp");
  select(item);
  pane.Action_DeleteExecute();

  ASSERT_EQ(MessageBoxSeam::shown().size(), 1) << "the question, and nothing after it";
  const auto& asked = MessageBoxSeam::shown().first();
  EXPECT_EQ(asked.text, "Do you want to delete this image?");
  EXPECT_EQ(asked.caption, "Image deleting");
  EXPECT_EQ(asked.icon, platform::MessageIcon::Warning);
  EXPECT_EQ(asked.buttons, platform::MessageButtons::YesNo);

  EXPECT_EQ(pane.lv_Images->count(), c.removed ? 1 : 2);
  EXPECT_EQ(pane.lv_Images->item(0)->text(), c.removed ? "b.bmp" : "a.bmp");
  if (c.fileThere) {
    EXPECT_EQ(exists("a.bmp"), !c.removed);
  }
  EXPECT_TRUE(exists("b.bmp"));
  // After a delete nothing is selected, so the next Del cannot ask about the
  // neighbour; an entry that stays keeps its selection.
  EXPECT_EQ(pane.lv_Images->selectedItems().isEmpty(), c.removed);
  EXPECT_EQ(pane.lv_Images->currentItem() == nullptr, c.removed);
  for (QAction* action : {pane.Action_Preview, pane.Action_Rename, pane.Action_Delete})
    EXPECT_EQ(action->isEnabled(), !c.removed) << action->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DeleteAction,
    ::testing::Values(DeleteCase{"yes", MessageAnswer::Yes, true, true},
                      DeleteCase{"no", MessageAnswer::No, true, false},
                      DeleteCase{"closed", MessageAnswer::Cancel, true, false},
                      DeleteCase{"yes_but_file_gone", MessageAnswer::Yes, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImagePaneTest, DeleteKeyInTheListRunsTheDeleteAction) {
  pane.resize(400, 400);
  pane.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&pane));
  select(addBmp("a.bmp"));
  pane.lv_Images->setFocus();
  QTest::keyClick(pane.lv_Images, Qt::Key_Delete);
  EXPECT_EQ(pane.lv_Images->count(), 0);
  EXPECT_FALSE(exists("a.bmp"));
}

TEST_F(ImagePaneTest, ASecondDelKeyAfterADeleteAsksNothing) {
  pane.resize(400, 400);
  pane.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&pane));
  addBmp("a.bmp");
  select(addBmp("b.bmp"));
  addBmp("c.bmp");
  pane.lv_Images->setFocus();
  QTest::keyClick(pane.lv_Images, Qt::Key_Delete);
  QTest::keyClick(pane.lv_Images, Qt::Key_Delete);
  EXPECT_EQ(MessageBoxSeam::shown().size(), 1);
  EXPECT_FALSE(exists("b.bmp"));
  EXPECT_TRUE(exists("a.bmp"));
  EXPECT_TRUE(exists("c.bmp"));
  EXPECT_EQ(pane.lv_Images->count(), 2);
}

TEST_F(ImagePaneTest, ActionsUseTheFolderTheFieldNamesNow) {
  QListWidgetItem* item = addBmp("scan.bmp");
  const QString scanFolder = folder;
  const QString other = testing_support::makeTempDir("other");
  writeBmp(other + "/scan.bmp", quadrants(30, 10));
  folder = other;
  select(item);

  pane.Action_PreviewExecute();
  ASSERT_EQ(viewerShowings, 1);
  EXPECT_EQ(shownPicture.size(), QSize(30, 10));

  QString typed = "renamed.bmp";
  pane.lv_ImagesEdited(item, typed);
  EXPECT_EQ(typed, "renamed.bmp");
  EXPECT_TRUE(QFile::exists(other + "/renamed.bmp"));
  EXPECT_TRUE(QFile::exists(scanFolder + "/scan.bmp"));
  item->setText(typed);

  pane.Action_DeleteExecute();
  EXPECT_FALSE(QFile::exists(other + "/renamed.bmp"));
  EXPECT_TRUE(QFile::exists(scanFolder + "/scan.bmp"));
}

}  // namespace
