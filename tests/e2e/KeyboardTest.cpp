// The keyboard in the assembled main window, as a user without a mouse meets
// it: every menu command through Alt and its mnemonic, Del on the selected
// page (and not while typing), Esc on a running job, and the preferences
// opened from the menu and left with Enter or Esc.

#include "app/Application.h"
#include "imagelist/ImagePane.h"
#include "main/Unitmain.h"
#include "platform/MessageBox.h"
#include "platform/RegistryKey.h"
#include "scanner/ScriptedDriver.h"
#include "settings/Unitsettings.h"
#include "status/StatusBar.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <map>

using testing_support::makeTempDir;
using testing_support::waitUntil;

namespace {

QImage page(int hue) {
  QImage image(120, 160, QImage::Format_RGB888);
  image.fill(QColor::fromHsv(hue, 200, 200));
  for (int y = 10; y < 150; y += 8)
    for (int x = 10; x < 110; ++x) image.setPixelColor(x, y, Qt::black);
  return image;
}

class Keyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::MessageBoxSeam::answerAlways(platform::MessageAnswer::Yes);
    platform::MessageBoxSeam::clearShown();
    destination = makeTempDir(QStringLiteral("dest"));
    // Every case starts as a first start: no stored preferences.
    const QString store = platform::RegistryKey().fileName();
    QFile::remove(store);
  }
  void TearDown() override {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    windows = ProgramWindows();
    platform::MessageBoxSeam::uninstall();
  }

  void start(const QList<QImage>& pages = {page(0)}, bool feeder = false) {
    auto driver = std::make_unique<ScriptedDriver>();
    script = driver.get();
    script->addSource({.hasFeeder = feeder, .pages = pages});
    windows = createProgramWindows(std::move(driver));
    w = windows.frm_Main.get();
    QObject::connect(w->sb_Main, &StatusBar::statusChanged, w->sb_Main,
                     [this](const QString& text, bool) { statuses << text; });
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    ASSERT_TRUE(waitUntil([&] { return w->StatusText() == QStringLiteral("Ready"); }));
    w->edt_Destination->setText(destination);
  }

  bool idle() const { return w->ToolButtonPreview->isEnabled() && w->ToolButtonScan->isEnabled(); }
  QListWidget* list() const { return w->pnl_Right->lv_Images; }
  QStringList files() const { return QDir(destination).entryList(QDir::Files, QDir::Name); }

  // Scans one page and selects it with a click, as a user would.
  void scanAndSelectOnePage() {
    w->Scan1Click();
    ASSERT_TRUE(waitUntil([&] { return idle() && list()->count() == 1; }));
    ASSERT_EQ(files().size(), 1);
    const QRect rect = list()->visualItemRect(list()->item(0));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, rect.center());
    ASSERT_TRUE(w->pnl_Right->Action_Delete->isEnabled());
  }

  // Alt + the menu's mnemonic, then the item's mnemonic in the open menu;
  // `whileOpen` is armed just before the item key.
  void pickFromMenu(char menuKey, char itemKey, const std::function<void()>& whileOpen = {}) {
    QTest::keyClick(w, Qt::Key(Qt::Key_A + (menuKey - 'A')), Qt::AltModifier);
    ASSERT_TRUE(waitUntil([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; },
                          std::chrono::seconds(5)))
        << "Alt+" << menuKey << " opened no menu";
    if (whileOpen) whileOpen();
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key(Qt::Key_A + (itemKey - 'A')));
  }

  QString destination;
  ProgramWindows windows;
  Tfrm_Main* w = nullptr;
  ScriptedDriver* script = nullptr;
  QStringList statuses;
};

// --- Alt + mnemonics ---------------------------------------------------------

struct MenuCommand {
  const char* name;
  char menuKey;
  char itemKey;
  const char* action;
};

class MenuAccelerator : public Keyboard, public ::testing::WithParamInterface<MenuCommand> {};

// Only which action the keys reach is looked at here; what each command then
// does is tested with its job or window, so the handlers are taken off first
// (several of them open modal windows).
TEST_P(MenuAccelerator, ReachesItsCommandAndNoOther) {
  start();
  const QList<QAction*> commands{w->Action2, w->BrowseForFolder1, w->Action1,    w->Action3, w->FilePrintSetup1,
                                 w->ActionCancel, w->FileExit1,   w->Action4,    w->Action5, w->Action8};
  std::map<QString, std::unique_ptr<QSignalSpy>> spies;
  for (QAction* action : commands) {
    QObject::disconnect(action, &QAction::triggered, w, nullptr);
    spies[action->objectName()] = std::make_unique<QSignalSpy>(action, &QAction::triggered);
  }

  pickFromMenu(GetParam().menuKey, GetParam().itemKey);

  for (const auto& [name, spy] : spies)
    EXPECT_EQ(spy->count(), name == QLatin1String(GetParam().action) ? 1 : 0) << name.toStdString();
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "the menu stayed open";
}

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, MenuAccelerator,
    ::testing::Values(MenuCommand{"FilePreview", 'F', 'R', "Action2"},
                      MenuCommand{"FileSelectDestination", 'F', 'S', "BrowseForFolder1"},
                      MenuCommand{"FileScan", 'F', 'N', "Action1"},
                      MenuCommand{"FileCopy", 'F', 'Y', "Action3"},
                      MenuCommand{"FilePrintSetup", 'F', 'U', "FilePrintSetup1"},
                      MenuCommand{"FileCancelScan", 'F', 'C', "ActionCancel"},
                      MenuCommand{"FileExit", 'F', 'X', "FileExit1"},
                      MenuCommand{"SettingsPreferences", 'S', 'P', "Action4"},
                      MenuCommand{"HelpHomepage", 'H', 'B', "Action5"},
                      MenuCommand{"HelpAbout", 'H', 'O', "Action8"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Keyboard, AltFThenNScansAPage) {
  start();
  pickFromMenu('F', 'N');
  ASSERT_TRUE(waitUntil([&] { return idle() && list()->count() == 1; }));
  EXPECT_EQ(files().size(), 1);
}

// --- Del -------------------------------------------------------------------------

enum class DelFocus { List, FileNameField, RenameEditor };

struct DelCase {
  const char* name;
  DelFocus focus;
  bool deletes;
};

class DeleteKey : public Keyboard, public ::testing::WithParamInterface<DelCase> {};

// Del is the page's shortcut in the whole window, yet while the user types, in
// a field or in the caption being renamed, it must take out a letter and
// leave the file alone.
TEST_P(DeleteKey, DeletesTheSelectedPageOnlyOutsideTextFields) {
  start();
  scanAndSelectOnePage();
  const QString scanned = files().value(0);
  QWidget* target = list();
  QLineEdit* field = nullptr;
  switch (GetParam().focus) {
    case DelFocus::List: break;
    case DelFocus::FileNameField:
      field = w->edt_FileName;
      break;
    case DelFocus::RenameEditor:
      w->pnl_Right->Action_Rename->trigger();
      ASSERT_TRUE(waitUntil([&] { return qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr; },
                            std::chrono::seconds(5)));
      field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
      break;
  }
  QString before;
  if (field) {
    field->setFocus();
    field->deselect();
    field->setCursorPosition(0);
    before = field->text();
    target = field;
  } else {
    target->setFocus();
  }

  QTest::keyClick(target, Qt::Key_Delete);

  if (GetParam().deletes) {
    ASSERT_EQ(platform::MessageBoxSeam::shown().size(), 1);
    EXPECT_EQ(platform::MessageBoxSeam::shown()[0].text, QStringLiteral("Do you want to delete this image?"));
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(list()->count(), 0);
  } else {
    EXPECT_TRUE(platform::MessageBoxSeam::shown().isEmpty()) << "asked to delete the page";
    EXPECT_EQ(files(), QStringList{scanned});
    EXPECT_EQ(list()->count(), 1);
    EXPECT_EQ(field->text(), before.mid(1)) << "Del did not take out the letter after the cursor";
  }
}

INSTANTIATE_TEST_SUITE_P(Focus, DeleteKey,
                         ::testing::Values(DelCase{"InTheList", DelFocus::List, true},
                                           DelCase{"InTheFileNameField", DelFocus::FileNameField, false},
                                           DelCase{"WhileRenaming", DelFocus::RenameEditor, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Esc -------------------------------------------------------------------------

QList<QImage> tenPages() {
  QList<QImage> pages;
  for (int i = 0; i < 10; ++i) pages << page(i * 30);
  return pages;
}

enum class EscFocus { List, FileNameField, SizeCombo };

class EscapeKey : public Keyboard, public ::testing::WithParamInterface<EscFocus> {};

// The job's buttons are disabled while it runs, so the focus stays wherever the
// user left it; Esc has to reach the cancel command from there.
TEST_P(EscapeKey, CancelsTheRunningFeederScanAtThePageInTransfer) {
  start(tenPages(), true);
  script->setPageDelay(std::chrono::milliseconds(80));
  w->cb_ADF->setChecked(true);
  QWidget* focus = GetParam() == EscFocus::List            ? static_cast<QWidget*>(list())
                   : GetParam() == EscFocus::FileNameField ? static_cast<QWidget*>(w->edt_FileName)
                                                           : static_cast<QWidget*>(w->cmb_Size);
  focus->setFocus();
  const QString fileName = w->edt_FileName->text();
  w->Scan1Click();
  ASSERT_TRUE(waitUntil([&] { return list()->count() >= 2; }));

  QTest::keyClick(focus, Qt::Key_Escape);

  ASSERT_TRUE(waitUntil([&] { return idle(); }));
  EXPECT_LT(list()->count(), 10);
  EXPECT_EQ(files().size(), list()->count());
  EXPECT_TRUE(statuses.contains(QStringLiteral("Operation aborted")));
  EXPECT_EQ(w->StatusText(), QStringLiteral("Operation aborted"));
  EXPECT_EQ(w->edt_FileName->text(), fileName);
  EXPECT_EQ(w->cmb_Size->currentIndex(), 1);
}

INSTANTIATE_TEST_SUITE_P(Focus, EscapeKey,
                         ::testing::Values(EscFocus::List, EscFocus::FileNameField, EscFocus::SizeCombo),
                         [](const auto& info) {
                           switch (info.param) {
                             case EscFocus::List: return std::string("InTheList");
                             case EscFocus::FileNameField: return std::string("InTheFileNameField");
                             case EscFocus::SizeCombo: return std::string("OnTheSizeList");
                           }
                           return std::string();
                         });

// An Esc with nothing running must not be kept for the next job.
TEST_F(Keyboard, EscapeWhileIdleLeavesTheNextScanWhole) {
  start(tenPages(), true);
  w->cb_ADF->setChecked(true);
  list()->setFocus();
  QTest::keyClick(list(), Qt::Key_Escape);
  w->Scan1Click();
  ASSERT_TRUE(waitUntil([&] { return idle() && list()->count() == 10; }));
  EXPECT_FALSE(statuses.contains(QStringLiteral("Operation aborted")));
}

// --- Preferences from the menu -------------------------------------------------

struct LeaveCase {
  const char* name;
  Qt::Key key;
  bool confirms;
};

class PreferencesByKeyboard : public Keyboard, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(PreferencesByKeyboard, EnterConfirmsTheUnitAndEscForgetsIt) {
  start();
  bool seen = false;
  bool closedByKey = false;
  QString picked;
  Tfrm_Settings* dialog = windows.frm_Settings.get();
  // The dialog runs its own loop inside the menu command; answer it from there.
  const auto answer = [&] {
    QTimer::singleShot(0, w, [&] {
      if (!waitUntil([&] { return dialog->isVisible(); }, std::chrono::seconds(5))) return;
      seen = true;
      (void)QTest::qWaitForWindowActive(dialog);
      dialog->cmb_Units->setFocus();
      QTest::keyClick(dialog->cmb_Units, Qt::Key_Down);
      picked = dialog->cmb_Units->currentText();
      QTest::keyClick(dialog->cmb_Units, GetParam().key);
      closedByKey = !dialog->isVisible();
      // Whatever the key did, the test goes on.
      if (dialog->isVisible()) dialog->done(QDialog::Rejected);
    });
  };
  pickFromMenu('S', 'P', answer);
  ASSERT_TRUE(seen) << "Alt+S, P did not open the preferences";
  EXPECT_EQ(picked, QStringLiteral("(mm) millimeter"));
  EXPECT_TRUE(closedByKey) << "the key left the dialog open";
  EXPECT_EQ(dialog->result(), GetParam().confirms ? QDialog::Accepted : QDialog::Rejected);

  platform::RegistryKey key;
  if (GetParam().confirms) {
    EXPECT_EQ(w->DisplayUnits, 2);
    EXPECT_EQ(key.readInteger(QStringLiteral("Units")), 1);
    // The readout follows at the next size picked.
    w->cmb_Size->setCurrentIndex(1);
    w->cmb_SizeSelect();
    EXPECT_EQ(w->sb_Main->panelText(2), QStringLiteral("211 x 297 mm"));
  } else {
    EXPECT_EQ(w->DisplayUnits, 1);
    EXPECT_FALSE(key.valueExists(QStringLiteral("Units")));
  }
}

INSTANTIATE_TEST_SUITE_P(Leave, PreferencesByKeyboard,
                         ::testing::Values(LeaveCase{"Enter", Qt::Key_Return, true},
                                           LeaveCase{"Escape", Qt::Key_Escape, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
