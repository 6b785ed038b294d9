#include "PrintQueue.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTextStream>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>

namespace printing_test {

namespace {

struct Account {
  QString name;
  QString home;
};

Account currentAccount() {
  if (const passwd* entry = getpwuid(getuid())) {
    return {QString::fromLocal8Bit(entry->pw_name), QString::fromLocal8Bit(entry->pw_dir)};
  }
  return {qEnvironmentVariable("USER"), QDir::homePath()};
}

int jobNumber(const QString& fileName) {
  static const QRegularExpression number(QStringLiteral("job_(\\d+)"));
  const auto match = number.match(fileName);
  return match.hasMatch() ? match.captured(1).toInt() : -1;
}

bool isFinishedPdf(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() < 8) return false;
  file.seek(std::max<qint64>(0, file.size() - 1024));
  return file.readAll().contains("%%EOF");
}

}  // namespace

std::optional<QString> missingQueue(const QString& queue) {
  if (!QPrinterInfo::printerInfo(queue).isNull()) return std::nullopt;
  return QStringLiteral("The print queue '%1' is not installed or CUPS is not running; "
                        "run tools/cups-setup.sh first")
      .arg(queue);
}

bool runningInCi() { return !qEnvironmentVariableIsEmpty("CI"); }

QString pdfOutputDir() {
  const Account account = currentAccount();
  QString out = QStringLiteral("${HOME}/PDF");  // cups-pdf's own default
  QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
  if (conf.open(QIODevice::ReadOnly | QIODevice::Text)) {
    QTextStream in(&conf);
    while (!in.atEnd()) {
      const QString line = in.readLine().trimmed();
      if (line.startsWith(QStringLiteral("Out ")) || line.startsWith(QStringLiteral("Out\t"))) {
        out = line.mid(4).trimmed();
      }
    }
  }
  out.replace(QStringLiteral("${USER}"), account.name);
  out.replace(QStringLiteral("${HOME}"), account.home);
  return out;
}

QStringList finishedPdfs(const QString& dir, const QString& prefix) {
  QStringList found;
  const QStringList names =
      QDir(dir).entryList({prefix + QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
  for (const QString& name : names) {
    const QString path = dir + QStringLiteral("/") + name;
    if (isFinishedPdf(path)) found << path;
  }
  std::sort(found.begin(), found.end(),
            [](const QString& a, const QString& b) { return jobNumber(a) < jobNumber(b); });
  return found;
}

QStringList waitForNewPdfs(const QString& dir, const QString& prefix, const QStringList& before,
                           int count, std::chrono::milliseconds timeout) {
  QStringList fresh;
  testing_support::waitUntil(
      [&] {
        fresh.clear();
        for (const QString& path : finishedPdfs(dir, prefix)) {
          if (!before.contains(path)) fresh << path;
        }
        return fresh.size() >= count;
      },
      timeout);
  return fresh;
}

QImage renderFirstPage(const QString& pdf, int dpi, QString* error) {
  const QString base = testing_support::makeTempDir(QStringLiteral("render")) + QStringLiteral("/page");
  QProcess pdftoppm;
  pdftoppm.start(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"),
                                              QString::number(dpi), QStringLiteral("-f"),
                                              QStringLiteral("1"), QStringLiteral("-l"),
                                              QStringLiteral("1"), QStringLiteral("-singlefile"),
                                              pdf, base});
  if (!pdftoppm.waitForFinished(30000) || pdftoppm.exitStatus() != QProcess::NormalExit ||
      pdftoppm.exitCode() != 0) {
    if (error) {
      *error = QStringLiteral("pdftoppm failed on %1: %2%3")
                   .arg(pdf, pdftoppm.errorString(),
                        QString::fromLocal8Bit(pdftoppm.readAllStandardError()));
    }
    return QImage();
  }
  return QImage(base + QStringLiteral(".png"));
}

QRect darkArea(const QImage& image) {
  int left = image.width(), top = image.height(), right = -1, bottom = -1;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x) {
      if (qGray(row[x]) >= 128) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return QRect();
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

QString writeBlackBitmap(const QString& dir, const QString& name, int width, int height) {
  QImage page(width, height, QImage::Format_RGB32);
  page.fill(Qt::black);
  for (int y = height / 2; y < height; ++y) {
    for (int x = width / 2; x < width; ++x) page.setPixel(x, y, qRgb(255, 255, 255));
  }
  const QString path = dir + QStringLiteral("/") + name;
  page.save(path, "BMP");
  return path;
}

}  // namespace printing_test
