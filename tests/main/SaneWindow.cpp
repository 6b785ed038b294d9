#include "SaneWindow.h"

#include "imagelist/ImagePane.h"
#include "main/Unitmain.h"
#include "platform/MessageBox.h"
#include "scanner/SaneDriverFactory.h"
#include "scanner/ScanDriver.h"
#include "status/StatusBar.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>

void SaneWindowTest::SetUp() {
  platform::MessageBoxSeam::answerAlways(platform::MessageAnswer::Yes);
  platform::MessageBoxSeam::clearShown();
  destination = testing_support::makeTempDir(QStringLiteral("dest"));
}

void SaneWindowTest::TearDown() {
  windows = ProgramWindows();
  platform::MessageBoxSeam::uninstall();
}

void SaneWindowTest::start() {
  windows = createProgramWindows(makeSaneDriver());
  w = windows.frm_Main.get();
  QObject::connect(w->sb_Main, &StatusBar::statusChanged, w->sb_Main,
                   [this](const QString& text, bool isError) { statuses << (isError ? "!" : "") + text; });
  w->show();
  ASSERT_TRUE(testing_support::waitUntil([&] { return w->StatusText() == QStringLiteral("Ready"); }));
  ASSERT_GE(w->cmb_Sources->count(), 1) << "SANE's test backend lists no device";
  w->cmb_Sources->setCurrentIndex(0);
  w->cmb_Mode->setCurrentIndex(1);
  w->cmb_Resolution->setCurrentIndex(w->cmb_Resolution->findText(QStringLiteral("75")));
  w->cmb_Size->setCurrentIndex(12);
  ASSERT_EQ(w->cmb_Size->currentText(), QStringLiteral("A6 "));
  w->edt_Destination->setText(destination);
  statuses.clear();
}

bool SaneWindowTest::idle() const { return w->ToolButtonPreview->isEnabled() && w->ToolButtonScan->isEnabled(); }

bool SaneWindowTest::waitForJobEnd(std::chrono::milliseconds timeout) {
  return testing_support::waitUntil([&] { return idle(); }, timeout);
}

int SaneWindowTest::listed() const { return w->pnl_Right->lv_Images->count(); }

QStringList SaneWindowTest::listCaptions() const {
  QStringList captions;
  for (int i = 0; i < listed(); ++i) captions << w->pnl_Right->lv_Images->item(i)->text();
  return captions;
}

QStringList SaneWindowTest::filesIn(const QString& folder, const QStringList& filters) {
  return QDir(folder).entryList(filters, QDir::Files, QDir::Name);
}
