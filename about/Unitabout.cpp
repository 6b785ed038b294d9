#include "about/Unitabout.h"

#include "about/HttpClient.h"
#include "about/ProgramFile.h"
#include "about/UpdateDescription.h"
#include "about/VersionNumber.h"
#include "platform/Error.h"
#include "platform/ErrorGuard.h"
#include "platform/MessageBox.h"
#include "platform/TempFolder.h"
#include "platform/UrlOpener.h"
#include "platform/VersionBlock.h"

#include <QCloseEvent>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTemporaryFile>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace {

const QString kUpdateCaption = QStringLiteral("Checking Brevalto Pro updates");

// The program's logo, drawn rather than shipped: a blue page with a folded
// corner, a "B" and the green line of a scanner lamp across it.
QPixmap drawLogo() {
  QPixmap logo(128, 128);
  logo.fill(Qt::transparent);
  QPainter painter(&logo);
  painter.setRenderHint(QPainter::Antialiasing);

  QPainterPath page;
  page.moveTo(18, 8);
  page.lineTo(86, 8);
  page.lineTo(110, 32);
  page.lineTo(110, 120);
  page.lineTo(18, 120);
  page.closeSubpath();
  QLinearGradient fill(0, 8, 0, 120);
  fill.setColorAt(0, QColor(0x3A, 0x7B, 0xD5));
  fill.setColorAt(1, QColor(0x1B, 0x3F, 0x8B));
  painter.setPen(QPen(QColor(0x10, 0x2A, 0x5C), 2));
  painter.setBrush(fill);
  painter.drawPath(page);

  painter.setBrush(QColor(0xC9, 0xDB, 0xF5));
  painter.drawPolygon(QPolygonF({QPointF(86, 8), QPointF(86, 32), QPointF(110, 32)}));

  QFont letter(QStringLiteral("Arial Black"));
  letter.setPixelSize(64);
  letter.setWeight(QFont::Black);
  painter.setFont(letter);
  painter.setPen(Qt::white);
  painter.drawText(QRect(18, 30, 92, 80), Qt::AlignCenter, QStringLiteral("B"));

  painter.setPen(QPen(QColor(0x5D, 0xE0, 0x6B, 220), 4, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(10, 78), QPointF(118, 78));
  return logo;
}

// Keeps the window from reacting while the download runs, and lets it react
// again however the download ends.
class BusyWindow {
 public:
  explicit BusyWindow(QWidget* window) : window_(window) { window_->setEnabled(false); }
  ~BusyWindow() { window_->setEnabled(true); }
  BusyWindow(const BusyWindow&) = delete;
  BusyWindow& operator=(const BusyWindow&) = delete;

 private:
  QWidget* window_;
};

class Flag {
 public:
  explicit Flag(bool& flag) : flag_(flag) { flag_ = true; }
  ~Flag() { flag_ = false; }
  Flag(const Flag&) = delete;
  Flag& operator=(const Flag&) = delete;

 private:
  bool& flag_;
};

}  // namespace

Tfrm_About::Tfrm_About(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                  Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                  Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("frm_About"));
  setWindowTitle(QStringLiteral("About Brevalto"));
  setFixedSize(kClientWidth, kClientHeight);
  QFont windowFont(QStringLiteral("MS Sans Serif"));
  windowFont.setPixelSize(11);
  setFont(windowFont);

  Image = new QLabel(this);
  Image->setObjectName(QStringLiteral("Image"));
  Image->setPixmap(drawLogo());
  Image->move(8, 8);
  Image->adjustSize();

  lbl_Name = new QLabel(QStringLiteral("Brevalto Pro"), this);
  lbl_Name->setObjectName(QStringLiteral("lbl_Name"));
  QFont nameFont(QStringLiteral("Arial Black"));
  nameFont.setPixelSize(24);
  nameFont.setWeight(QFont::Black);
  lbl_Name->setFont(nameFont);
  QPalette namePalette = lbl_Name->palette();
  namePalette.setColor(QPalette::WindowText, Qt::black);
  lbl_Name->setPalette(namePalette);
  lbl_Name->move(158, 8);
  lbl_Name->adjustSize();

  lbl_Version = new QLabel(this);
  lbl_Version->setObjectName(QStringLiteral("lbl_Version"));
  QFont boldFont = font();
  boldFont.setBold(true);
  lbl_Version->setFont(boldFont);
  lbl_Version->move(158, 60);

  lbl_Notice = new QLabel(QStringLiteral("Copyright (c) Quellmark. All rights reserved."), this);
  lbl_Notice->setObjectName(QStringLiteral("lbl_Notice"));
  lbl_Notice->setWordWrap(true);
  lbl_Notice->setGeometry(158, 87, 173, 26);

  Bevel = new QFrame(this);
  Bevel->setObjectName(QStringLiteral("Bevel"));
  Bevel->setFrameShape(QFrame::HLine);
  Bevel->setFrameShadow(QFrame::Plain);
  Bevel->setForegroundRole(QPalette::Mid);
  Bevel->setGeometry(8, 184, 356, 1);

  btn_Update = new QPushButton(QStringLiteral("Check for updates"), this);
  btn_Update->setObjectName(QStringLiteral("btn_Update"));
  btn_Update->setAutoDefault(false);
  btn_Update->setGeometry(8, 199, 105, 25);

  btn_OK = new QPushButton(QStringLiteral("OK"), this);
  btn_OK->setObjectName(QStringLiteral("btn_OK"));
  btn_OK->setDefault(true);
  btn_OK->setGeometry(264, 199, 100, 25);

  IdHTTP = new HttpClient(this);
  IdHTTP->setObjectName(QStringLiteral("IdHTTP"));

  connect(btn_OK, &QPushButton::clicked, this, &Tfrm_About::btn_OKClick);
  connect(btn_Update, &QPushButton::clicked, this, &Tfrm_About::btn_UpdateClick);
}

void Tfrm_About::ReadFileVersion(const QString& path, QString& buffer, int capacity) {
  if (capacity <= 0) return;
  const std::optional<platform::VersionBlock> block = platform::readVersionBlock(path.toStdString());
  if (!block || block->translations.empty()) return;
  // Only the first translation counts, as with any version resource.
  const std::string key = platform::versionTableKey(block->translations.front());
  const std::string* value = platform::findVersionString(*block, key, "FileVersion");
  if (value == nullptr) return;

  QString text = QString::fromStdString(*value);
  const qsizetype limit = capacity - 1;
  if (text.size() > limit) {
    // Never leave half of a surrogate pair at the end.
    qsizetype cut = limit;
    if (cut > 0 && text.at(cut - 1).isHighSurrogate()) --cut;
    text.truncate(cut);
  }
  buffer = text;
}

QString Tfrm_About::ownVersion() {
  // An unreadable version gives the empty text: the label reads "Version "
  // and the update check counts it as 0.
  QString version;
  ReadFileVersion(ProgramFile::path(), version, kVersionCapacity);
  return version;
}

void Tfrm_About::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  platform::guarded(this, [&] { FormShow(); });
}

void Tfrm_About::FormShow() {
  lbl_Version->setText(QStringLiteral("Version ") + ownVersion());
  lbl_Version->adjustSize();
}

void Tfrm_About::closeEvent(QCloseEvent* event) {
  if (checking_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void Tfrm_About::reject() {
  if (checking_) return;
  QDialog::reject();
}

void Tfrm_About::btn_OKClick() {
  platform::guarded(this, [&] { accept(); });
}

void Tfrm_About::btn_UpdateClick() {
  platform::guarded(this, [&] {
    if (checking_) return;
    const Flag running(checking_);

    const QString current = ownVersion();
    const QString localPath = platform::tempFolder() + QStringLiteral("/brevalto_pro.xml");
    // The name is fixed and $TEMP may be a folder others share: the copy is
    // made anew under a name nobody can guess (mode 0600) and renamed onto the
    // fixed one, which replaces whatever stands there, a planted link
    // included, instead of writing through it.
    QTemporaryFile file(localPath + QStringLiteral(".XXXXXX"));
    file.setAutoRemove(false);
    if (!file.open())
      throw platform::Error(
          QStringLiteral("Cannot create file \"%1\". %2").arg(localPath, file.errorString()));

    // Whatever goes wrong from here on ends the check without a word; what
    // the file received stays in place.
    bool fetched = false;
    try {
      const BusyWindow busy(this);
      IdHTTP->get(QUrl(platform::makerUrl(QStringLiteral("/download/brevalto/brevalto_pro.xml"))), file);
      fetched = true;
    } catch (const std::exception&) {
    }
    file.close();
    const QByteArray received = QFile::encodeName(file.fileName());
    if (::rename(received.constData(), QFile::encodeName(localPath).constData()) != 0) {
      const int code = errno;
      ::unlink(received.constData());
      throw platform::Error(QStringLiteral("Cannot create file \"%1\". %2")
                                .arg(localPath, QString::fromLocal8Bit(std::strerror(code))));
    }
    if (!fetched) return;

    try {
      const QString offered = readOfferedVersion(localPath);

      if (version_number::IsNewerVersion(current, offered)) {
        const auto answer = platform::showMessage(
            this,
            QStringLiteral("There is new version available on our site!\n"
                           "Do you want to visit site to download new version?"),
            kUpdateCaption, platform::MessageIcon::Information, platform::MessageButtons::YesNo);
        if (answer == platform::MessageAnswer::Yes)
          platform::openUrl(
              this, QUrl(platform::makerUrl(QStringLiteral("/en/brevalto/download.html"))));
      } else {
        platform::showMessage(this, QStringLiteral("You are using the newest version of Brevalto Pro"),
                              kUpdateCaption, platform::MessageIcon::Information,
                              platform::MessageButtons::Ok);
      }
    } catch (const std::exception&) {
    }
  });
}
