// The main window as laid out: every control with its name, caption, items and
// default, the menus in their order, and the four windows of the program.

#include "about/Unitabout.h"
#include "app/Application.h"
#include "imagelist/Unitpreview.h"
#include "main/Unitmain.h"
#include "scanner/SaneDriverFactory.h"
#include "scanner/ScanDriver.h"
#include "settings/Unitsettings.h"
#include "status/StatusBar.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

QStringList itemsOf(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

// What a menu shows, separators as "-".
QStringList entriesOf(const QMenu* menu) {
  QStringList entries;
  for (const QAction* action : menu->actions()) entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
  return entries;
}

class MainWindowLayout : public ::testing::Test {
 protected:
  MainWindowLayout() : windows(createProgramWindows(makeSaneDriver())), w(*windows.frm_Main) {}
  ProgramWindows windows;
  Tfrm_Main& w;
};

TEST_F(MainWindowLayout, FourWindowsWithTheirNamesAndCaptions) {
  struct Row {
    QWidget* window;
    const char* name;
    const char* caption;
  };
  const Row rows[] = {
      {windows.frm_Main.get(), "frm_Main", "Brevalto Pro"},
      {windows.frm_About.get(), "frm_About", "About Brevalto"},
      {windows.frm_Settings.get(), "frm_Settings", "Settings"},
      {windows.frm_Preview.get(), "frm_Preview", "Previewing"},
  };
  for (const Row& row : rows) {
    ASSERT_NE(row.window, nullptr) << row.name;
    EXPECT_EQ(row.window->objectName(), QLatin1String(row.name));
    EXPECT_TRUE(row.window->windowTitle().startsWith(QLatin1String(row.caption))) << row.name;
    EXPECT_FALSE(row.window->isVisible()) << row.name;
  }
  EXPECT_EQ(w.size(), QSize(790, 552));
  EXPECT_EQ(w.minimumSize(), QSize(790, 552));
}

TEST_F(MainWindowLayout, ListsHaveTheirItemsAndDefaults) {
  struct Row {
    QComboBox* combo;
    QStringList items;
    int selected;
  };
  const Row rows[] = {
      {w.cmb_Sources, {}, -1},
      {w.cmb_Mode, {"Black & White", "Gray", "Color"}, 2},
      {w.cmb_Resolution, {"75", "100", "150", "200", "300", "400", "600", "800", "1200", "2400"}, 4},
      {w.cmb_Size,
       {"Custom", "A4 Letter, A4 ", "B5 Letter, JIS B5 ", "US Letter ", "US Legal ", "A5 ", "B4, ISO B4 ",
        "B6, ISO B6 ", "US Ledger ", "US Executive ", "A3 ", "B3, ISO B3 ", "A6 ", "C4 ", "C5", "C6"},
       1},
      {w.cmb_Format, {"BMP (Windows Bitmap)", "JPG (JPEG)", "TIFF (Tag Image File Format)"}, 0},
  };
  for (const Row& row : rows) {
    ASSERT_NE(row.combo, nullptr);
    EXPECT_EQ(itemsOf(row.combo), row.items) << row.combo->objectName().toStdString();
    EXPECT_EQ(row.combo->currentIndex(), row.selected) << row.combo->objectName().toStdString();
    EXPECT_FALSE(row.combo->isEditable());
  }
}

TEST_F(MainWindowLayout, ControlsHaveTheirNamesCaptionsAndStates) {
  struct Row {
    const char* name;
    QString text;
    bool enabled;
  };
  const Row rows[] = {
      {"gb_Source", "Source", true},
      {"gb_Params", "Image settings", true},
      {"gb_FileSettings", "File settings", true},
      {"gb_Preview", "Preview", true},
      {"cb_ADF", "Autofeeder", true},
      {"cb_Duplex", "Duplex", false},
      {"ToolButtonPreview", "Preview   ", true},
      {"ToolButtonScan", "Scan", true},
      {"edt_FileName", "Brevalto", true},
      {"edt_Destination", QStandardPaths::writableLocation(QStandardPaths::PicturesLocation), true},
  };
  for (const Row& row : rows) {
    auto* widget = w.findChild<QWidget*>(QLatin1String(row.name));
    ASSERT_NE(widget, nullptr) << row.name;
    QString text;
    if (auto* box = qobject_cast<QGroupBox*>(widget)) text = box->title();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) text = button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) text = edit->text();
    EXPECT_EQ(text, row.text) << row.name;
    EXPECT_EQ(widget->isEnabled(), row.enabled) << row.name;
  }
  EXPECT_FALSE(w.cb_ADF->isChecked());
  EXPECT_FALSE(w.cb_Duplex->isChecked());
  EXPECT_EQ(w.pnl_Left->width(), 253);
  EXPECT_EQ(w.pnl_Preview->width(), 344);
  EXPECT_EQ(w.ToolButtonPreview->size(), QSize(80, 30));
  EXPECT_EQ(w.ToolButtonScan->popupMode(), QToolButton::MenuButtonPopup);
  EXPECT_EQ(entriesOf(w.PopupMenu_ScanCopy), (QStringList{"Scan", "Copy"}));
  EXPECT_EQ(w.scanButtonItem(), w.Scan1);
}

TEST_F(MainWindowLayout, MenusInTheirOrderWithSeparatorsAndHints) {
  EXPECT_EQ(w.menuFile->title(), QStringLiteral("&File"));
  EXPECT_EQ(entriesOf(w.menuFile),
            (QStringList{"P&review", "-", "&Select destination folder...", "Sca&n", "-", "Cop&y to printer",
                         "Print Set&up...", "&Cancel scan", "-", "E&xit"}));
  EXPECT_EQ(w.menuSettings->title(), QStringLiteral("&Settings"));
  EXPECT_EQ(entriesOf(w.menuSettings), QStringList{"&Preferences..."});
  EXPECT_EQ(w.menuHelp->title(), QStringLiteral("&Help"));
  EXPECT_EQ(entriesOf(w.menuHelp), (QStringList{"&Brevalto homepage", "-", "Ab&out..."}));
  EXPECT_EQ(w.FilePrintSetup1->toolTip(), QStringLiteral("Print Setup"));
  EXPECT_EQ(w.FileExit1->toolTip(), QStringLiteral("Exit"));
  EXPECT_EQ(w.FileExit1->statusTip(), QStringLiteral("Quits the application"));
}

TEST_F(MainWindowLayout, StatusBarHasFourPanelsAndStartsEmpty) {
  ASSERT_NE(w.sb_Main, nullptr);
  EXPECT_EQ(w.sb_Main->height(), StatusBar::kHeight);
  EXPECT_EQ(w.StatusText(), QString());
  EXPECT_FALSE(w.StatusIsError());
  EXPECT_EQ(w.JobKind, jkNone);
  EXPECT_EQ(w.CurrentResolution, 0);
  EXPECT_FALSE(w.UseFeeder);
}

// The two command buttons keep their designed 80 x 30 and show the whole
// caption beside the icon with the fonts this system has, not "Pre...".
TEST_F(MainWindowLayout, CommandButtonsShowTheirWholeCaption) {
  EXPECT_EQ(w.ToolButtonPreview->text(), QStringLiteral("Preview   "));
  for (QToolButton* button : {w.ToolButtonPreview, w.ToolButtonScan}) {
    EXPECT_EQ(button->size(), QSize(80, 30)) << button->objectName().toStdString();
    EXPECT_LE(button->sizeHint().width(), button->width())
        << button->objectName().toStdString() << " needs " << button->sizeHint().width()
        << " pixels for its caption in " << QFontInfo(button->font()).family().toStdString();
    EXPECT_GE(QFontInfo(button->font()).pixelSize(), 8) << button->objectName().toStdString();
  }
}

// A right click on the status bar, its dock or the menu bar opens no menu
// through which the status bar could be hidden; it stays shown.
TEST_F(MainWindowLayout, NoContextMenuHidesTheStatusBar) {
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QWidget* const targets[] = {w.sb_Main, w.sb_Main->parentWidget(), w.menuBar(), w.centralWidget()};
  for (QWidget* target : targets) {
    QStringList offered;
    QTimer::singleShot(300, [&] {
      if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        offered << entriesOf(menu);
        for (QAction* action : menu->actions())
          if (action->isCheckable() && action->isChecked() && action->isVisible()) action->trigger();
        menu->close();
      }
    });
    const QPoint at(5, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &event);
    QTest::qWait(400);
    EXPECT_TRUE(offered.isEmpty()) << target->objectName().toStdString() << " offers "
                                   << offered.join(',').toStdString();
    EXPECT_TRUE(w.sb_Main->isVisible()) << "after a right click on " << target->objectName().toStdString();
  }
}

}  // namespace
