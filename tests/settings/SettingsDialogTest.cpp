#include "SettingsStoreFixture.h"

#include "platform/RegistryKey.h"
#include "settings/Unitsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

class SettingsDialogTest : public SettingsStoreFixture {
 protected:
  // Opens the dialog as the main window does, without blocking the test.
  void open() {
    dialog.open();
    ASSERT_TRUE(dialog.isVisible());
  }

  void expectFirstOpening() {
    EXPECT_EQ(dialog.cmb_Lang->currentText(), QStringLiteral("English"));
    EXPECT_EQ(dialog.cmb_Units->currentText(), QStringLiteral("(in) inch"));
    EXPECT_FALSE(dialog.cb_Update->isChecked());
    EXPECT_FALSE(dialog.cb_Save->isChecked());
    EXPECT_FALSE(dialog.cb_SkipBlank->isChecked());
  }

  Tfrm_Settings dialog;
};

TEST_F(SettingsDialogTest, IsLaidOutAsDesigned) {
  EXPECT_EQ(dialog.objectName(), QStringLiteral("frm_Settings"));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Settings"));
  EXPECT_EQ(dialog.minimumSize(), QSize(359, 202));
  EXPECT_EQ(dialog.maximumSize(), QSize(359, 202));
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(dialog.GroupBox1->geometry(), QRect(8, 8, 249, 177));
  EXPECT_EQ(dialog.btn_OK->geometry(), QRect(273, 10, 75, 25));
  EXPECT_EQ(dialog.btn_Cancel->geometry(), QRect(273, 41, 75, 25));
  EXPECT_TRUE(dialog.btn_OK->isDefault());
  EXPECT_EQ(dialog.cmb_Units->count(), 2);
  EXPECT_EQ(dialog.cmb_Units->itemText(1), QStringLiteral("(mm) millimeter"));

  const QWidget* expected[] = {dialog.btn_OK, dialog.btn_Cancel, dialog.cb_Save, dialog.cb_SkipBlank,
                               dialog.cmb_Units, dialog.cmb_Lang, dialog.cb_Update};
  QWidget* current = dialog.btn_OK;
  for (const QWidget* next : expected) {
    EXPECT_EQ(current, next) << next->objectName().toStdString();
    current = current->nextInFocusChain();
    while (current->focusPolicy() == Qt::NoFocus) current = current->nextInFocusChain();
  }
}

TEST_F(SettingsDialogTest, FirstOpeningShowsTheInitialStateAndOkStoresAllFive) {
  open();
  expectFirstOpening();
  QSignalSpy applied(&dialog, &Tfrm_Settings::preferencesApplied);
  QTest::mouseClick(dialog.btn_OK, Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(storedOnDisk(QStringLiteral("Lang")), QStringLiteral("English"));
  EXPECT_EQ(storedOnDisk(QStringLiteral("Units")), QStringLiteral("0"));
  EXPECT_EQ(storedOnDisk(QStringLiteral("Save")), QStringLiteral("0"));
  EXPECT_EQ(storedOnDisk(QStringLiteral("SkipBlank")), QStringLiteral("0"));
  EXPECT_EQ(storedOnDisk(QStringLiteral("Update")), QStringLiteral("0"));
  ASSERT_EQ(applied.count(), 1);
  EXPECT_EQ(applied[0][0].toInt(), 1);
  EXPECT_EQ(applied[0][1].toBool(), false);
}

TEST_F(SettingsDialogTest, EnterConfirmsTheChangesAndPassesUnitsAndBlankPagesOn) {
  open();
  dialog.cmb_Units->setCurrentIndex(1);
  dialog.cb_SkipBlank->setChecked(true);
  dialog.cb_Save->setChecked(true);
  QSignalSpy applied(&dialog, &Tfrm_Settings::preferencesApplied);
  dialog.cb_Update->setFocus();
  QTest::keyClick(&dialog, Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  ASSERT_EQ(applied.count(), 1);
  EXPECT_EQ(applied[0][0].toInt(), 2);
  EXPECT_EQ(applied[0][1].toBool(), true);
  platform::RegistryKey key;
  EXPECT_EQ(key.readInteger(QStringLiteral("Units")), 1);
  EXPECT_EQ(key.readBool(QStringLiteral("SkipBlank")), true);
  EXPECT_EQ(key.readBool(QStringLiteral("Save")), true);
  EXPECT_EQ(key.readBool(QStringLiteral("Update")), false);
}

// Each way of leaving without OK.
enum class Leave { CancelButton, Escape, CloseBox };

class SettingsDialogLeaveTest : public SettingsDialogTest,
                                public ::testing::WithParamInterface<Leave> {
 protected:
  void leave() {
    switch (GetParam()) {
      case Leave::CancelButton: QTest::mouseClick(dialog.btn_Cancel, Qt::LeftButton); break;
      case Leave::Escape: QTest::keyClick(&dialog, Qt::Key_Escape); break;
      case Leave::CloseBox: dialog.close(); break;
    }
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
};

TEST_P(SettingsDialogLeaveTest, ChangesNothingAndTheNextOpeningShowsTheStoredValues) {
  open();
  dialog.cmb_Units->setCurrentIndex(1);
  QSignalSpy applied(&dialog, &Tfrm_Settings::preferencesApplied);
  leave();
  EXPECT_EQ(applied.count(), 0);
  EXPECT_TRUE(storeBytes().isEmpty()) << "nothing was ever stored";
  // Never stored: the reused dialog still shows the unconfirmed choice.
  open();
  EXPECT_EQ(dialog.cmb_Units->currentIndex(), 1);
  QTest::mouseClick(dialog.btn_OK, Qt::LeftButton);

  open();
  dialog.cmb_Units->setCurrentIndex(0);
  dialog.cb_Update->setChecked(true);
  leave();
  EXPECT_EQ(storedOnDisk(QStringLiteral("Units")), QStringLiteral("1"));
  EXPECT_EQ(storedOnDisk(QStringLiteral("Update")), QStringLiteral("0"));
  open();
  EXPECT_EQ(dialog.cmb_Units->currentIndex(), 1);
  EXPECT_FALSE(dialog.cb_Update->isChecked());
  EXPECT_EQ(applied.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Ways, SettingsDialogLeaveTest,
                         ::testing::Values(Leave::CancelButton, Leave::Escape, Leave::CloseBox));

TEST_F(SettingsDialogTest, OpeningShowsStoredValuesAndIgnoresUnusableOnes) {
  writeStoreBytes("[General]\nLang=English\nUnits=1\nSave=1\nSkipBlank=0\nUpdate=7\n");
  dialog.cb_SkipBlank->setChecked(true);
  open();
  EXPECT_EQ(dialog.cmb_Units->currentIndex(), 1);
  EXPECT_TRUE(dialog.cb_Save->isChecked());
  EXPECT_FALSE(dialog.cb_SkipBlank->isChecked());
  EXPECT_TRUE(dialog.cb_Update->isChecked());
  dialog.reject();

  writeStoreBytes("[General]\nLang=Klingon\nUnits=mm\nSave=yes\nUpdate=99999999999\n");
  open();
  EXPECT_EQ(dialog.cmb_Lang->currentText(), QStringLiteral("English"));
  EXPECT_EQ(dialog.cmb_Units->currentIndex(), 1);
  EXPECT_TRUE(dialog.cb_Save->isChecked());
  EXPECT_TRUE(dialog.cb_Update->isChecked());
  dialog.reject();

  writeStoreBytes("[General]\nUnits=5\n");
  open();
  EXPECT_EQ(dialog.cmb_Units->currentIndex(), -1) << "a position outside the list selects nothing";
}

}  // namespace
