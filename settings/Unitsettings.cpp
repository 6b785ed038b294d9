#include "settings/Unitsettings.h"

#include "platform/ErrorGuard.h"
#include "platform/RegistryKey.h"
#include "settings/MainSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace {

template <typename Widget>
Widget* placed(Widget* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top) {
  auto* result = new QLabel(text, parent);
  result->setObjectName(QString::fromLatin1(name));
  result->move(left, top);
  result->adjustSize();
  return result;
}

}  // namespace

Tfrm_Settings::Tfrm_Settings(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("frm_Settings"));
  setWindowTitle(QStringLiteral("Settings"));
  QFont tahoma(QStringLiteral("Tahoma"));
  tahoma.setPixelSize(11);
  setFont(tahoma);
  setFixedSize(359, 202);
  move(0, 0);

  GroupBox1 = placed(new QGroupBox(QStringLiteral("Main settings"), this), "GroupBox1", 8, 8, 249, 177);
  Label2 = label(GroupBox1, "Label2", QStringLiteral("Language:"), 16, 33);
  cmb_Lang = placed(new QComboBox(GroupBox1), "cmb_Lang", 88, 30, 145, 21);
  cmb_Lang->addItem(QStringLiteral("English"));
  Label1 = label(GroupBox1, "Label1", QStringLiteral("Units:"), 16, 60);
  cmb_Units = placed(new QComboBox(GroupBox1), "cmb_Units", 88, 57, 145, 21);
  cmb_Units->addItems({QStringLiteral("(in) inch"), QStringLiteral("(mm) millimeter")});
  cb_Update = placed(new QCheckBox(QStringLiteral("Check for updates at startup"), GroupBox1),
                     "cb_Update", 16, 90, 217, 17);
  cb_Save = placed(new QCheckBox(QStringLiteral("Save scanner and image preferences"), GroupBox1),
                   "cb_Save", 16, 113, 217, 17);
  cb_SkipBlank = placed(new QCheckBox(QStringLiteral("Skip blank pages (ADF)"), GroupBox1),
                        "cb_SkipBlank", 16, 136, 217, 17);
  btn_OK = placed(new QPushButton(QStringLiteral("OK"), this), "btn_OK", 273, 10, 75, 25);
  btn_Cancel = placed(new QPushButton(QStringLiteral("Cancel"), this), "btn_Cancel", 273, 41, 75, 25);
  btn_OK->setDefault(true);

  setTabOrder(btn_OK, btn_Cancel);
  setTabOrder(btn_Cancel, cb_Save);
  setTabOrder(cb_Save, cb_SkipBlank);
  setTabOrder(cb_SkipBlank, cmb_Units);
  setTabOrder(cmb_Units, cmb_Lang);
  setTabOrder(cmb_Lang, cb_Update);

  connect(btn_OK, &QPushButton::clicked, this, [this] {
    platform::guarded(this, [this] { btn_OKClick(); });
    accept();
  });
  // Cancel, Esc and the close box all end in reject(), which touches nothing.
  connect(btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void Tfrm_Settings::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) platform::guarded(this, [this] { FormShow(); });
  QDialog::showEvent(event);
}

void Tfrm_Settings::FormShow() {
  platform::RegistryKey key;
  // A language the list doesn't offer leaves the list as it is.
  if (const auto lang = key.readText(QStringLiteral("Lang"))) cmb_Lang->setCurrentText(*lang);
  if (const auto units = key.readInteger(QStringLiteral("Units")))
    cmb_Units->setCurrentIndex(settings::restoredListIndex(*units, cmb_Units->count()));
  if (const auto save = key.readBool(QStringLiteral("Save"))) cb_Save->setChecked(*save);
  if (const auto skip = key.readBool(QStringLiteral("SkipBlank"))) cb_SkipBlank->setChecked(*skip);
  if (const auto update = key.readBool(QStringLiteral("Update"))) cb_Update->setChecked(*update);
  key.close();
}

void Tfrm_Settings::btn_OKClick() {
  platform::RegistryKey key;
  key.writeText(QStringLiteral("Lang"), cmb_Lang->currentText());
  key.writeInteger(QStringLiteral("Units"), cmb_Units->currentIndex());
  key.writeBool(QStringLiteral("Save"), cb_Save->isChecked());
  key.writeBool(QStringLiteral("SkipBlank"), cb_SkipBlank->isChecked());
  key.writeBool(QStringLiteral("Update"), cb_Update->isChecked());
  if (!key.close()) platform::reportUnsavedPreferences(this, key.fileName());
  emit preferencesApplied(settings::displayUnitsFromStored(cmb_Units->currentIndex()),
                          cb_SkipBlank->isChecked());
}
