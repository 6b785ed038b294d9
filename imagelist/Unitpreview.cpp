#include "imagelist/Unitpreview.h"

#include "imagelist/PreviewImage.h"
#include "platform/RegistryKey.h"
#include "platform/WindowSize.h"

#include <QShowEvent>
#include <QVBoxLayout>

Tfrm_Preview::Tfrm_Preview(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frm_Preview"));
  setWindowTitle(QStringLiteral("Previewing"));
  setSizeGripEnabled(true);
  QFont tahoma(QStringLiteral("Tahoma"));
  tahoma.setPixelSize(11);
  setFont(tahoma);

  Image = new PreviewImage(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(3, 3, 3, 3);
  layout->addWidget(Image);

  resize(435, 551);
  move(0, 0);
  // Lay out now, so the image control has its size before the first showing
  // and a picture can be decoded for it.
  layout->activate();
  Image->resize(size() - QSize(6, 6));
}

void Tfrm_Preview::setOuterSize(int width, int height) { platform::restoreOuterSize(this, width, height); }

void Tfrm_Preview::FormShow() {
  setWindowTitle(QStringLiteral("Previewing... ") + ImageName);
  platform::RegistryKey key;
  platform::restoreOuterSize(this, key.readInteger(QStringLiteral("PWidth")),
                             key.readInteger(QStringLiteral("PHeight")));
}

void Tfrm_Preview::FormClose() {
  platform::RegistryKey key;
  const QSize outer = frameGeometry().size();
  key.writeInteger(QStringLiteral("PWidth"), outer.width());
  key.writeInteger(QStringLiteral("PHeight"), outer.height());
  if (!key.close()) platform::reportUnsavedPreferences(this, key.fileName());
}

void Tfrm_Preview::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) FormShow();
  QDialog::showEvent(event);
}

// Every way of closing (title bar, Escape, accept/reject) passes here.
void Tfrm_Preview::done(int result) {
  if (isVisible()) FormClose();
  QDialog::done(result);
}
