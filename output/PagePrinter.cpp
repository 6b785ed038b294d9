#include "output/PagePrinter.h"

#include "output/PrintGeometry.h"
#include "platform/Error.h"
#include "platform/PictureLoader.h"

#include <QDialogButtonBox>
#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPushButton>

namespace output {

using platform::Error;

QString PagePrinter::documentName() { return QStringLiteral("Brevalto Pro document"); }

PagePrinter::PagePrinter() {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (!info.isNull()) adopt(info);
}

QPrinter& PagePrinter::printer() { return printer_; }

void PagePrinter::selectPrinter(const QString& name) {
  const QPrinterInfo info = QPrinterInfo::printerInfo(name);
  if (info.isNull() || name.isEmpty()) {
    throw Error(QStringLiteral("The printer '%1' is not available").arg(name));
  }
  adopt(info);
}

void PagePrinter::adopt(const QPrinterInfo& info) {
  printer_.setOutputFormat(QPrinter::NativeFormat);
  printer_.setPrinterName(info.printerName());
  // Qt would keep its own A4 with 10-point margins; a printer chosen by the
  // program starts as the printer itself is set up, so that the printable
  // area is everything the device can print on.
  printer_.setPageSize(info.defaultPageSize());
  const QPageLayout layout = printer_.pageLayout();
  printer_.setPageMargins(layout.minimumMargins(), layout.units());
}

void PagePrinter::showPrintSetup(QWidget* owner) {
  // Qt's dialog switches the printer as soon as another one is picked in its
  // list, even when the dialog is then cancelled; what it may touch is put
  // back on cancel.
  const QString name = printer_.printerName();
  const QPageLayout layout = printer_.pageLayout();
  const int copies = printer_.copyCount();
  const bool collate = printer_.collateCopies();
  const QPrinter::DuplexMode duplex = printer_.duplex();
  const QPrinter::ColorMode colour = printer_.colorMode();

  QPrintDialog dialog(&printer_, owner);
  dialog.setWindowTitle(QStringLiteral("Print Setup"));
  // Copies go to a real printer, and every page is a job of its own: a PDF
  // file would be overwritten by each page, and page ranges mean nothing.
  dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize | QAbstractPrintDialog::PrintCollateCopies);
  // This dialog only sets the printer up; nothing is printed when it closes.
  if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) ok->setText(QStringLiteral("OK"));
  }
  if (dialog.exec() == QDialog::Accepted) return;
  if (printer_.printerName() != name && !name.isEmpty()) printer_.setPrinterName(name);
  printer_.setPageLayout(layout);
  printer_.setCopyCount(copies);
  printer_.setCollateCopies(collate);
  printer_.setDuplex(duplex);
  printer_.setColorMode(colour);
}

void PagePrinter::preparePrinter(int& PrintableWidth, int& PrintableHeight) {
  requirePrinter();
  const QRect area = printer_.pageLayout().paintRectPixels(printer_.resolution());
  if (area.width() < 1 || area.height() < 1) {
    throw Error(QStringLiteral("The printer '%1' reports no printable area").arg(shownName()));
  }
  PrintableWidth = area.width();
  PrintableHeight = area.height();
}

void PagePrinter::printPage(const QString& bmpPath, int width, int height, int PrintableWidth,
                            int PrintableHeight) {
  const QImage page = platform::loadPicture(bmpPath);
  requirePrinter();
  const QSize target = printTargetSize(width, height, PrintableWidth, PrintableHeight);
  if (target.isEmpty()) {
    throw Error(QStringLiteral("The page can't be printed: the printable area of the printer is unknown"));
  }

  printer_.setDocName(documentName());
  QPainter painter;
  if (!painter.begin(&printer_)) {
    throw Error(QStringLiteral("The printer '%1' could not start a print job").arg(shownName()));
  }
  // The painter's origin is the top-left corner of the printable area.
  painter.drawImage(QRect(QPoint(0, 0), target), page, QRect(0, 0, width, height));
  // Ending the job hands it to the spooler.
  const bool ended = painter.end();
  if (!ended || printer_.printerState() == QPrinter::Error) {
    throw Error(QStringLiteral("The printer '%1' reported an error while printing").arg(shownName()));
  }
}

void PagePrinter::requirePrinter() {
  // Without a printer Qt falls back to writing a PDF file, and without a file
  // name that output would vanish: a copy would look printed and be lost.
  if (printer_.outputFormat() == QPrinter::NativeFormat && !printer_.printerName().isEmpty() &&
      !QPrinterInfo::printerInfo(printer_.printerName()).isNull()) {
    return;
  }
  // A printer installed after the program started becomes the current one,
  // just as one there at start would have.
  if (printer_.outputFormat() != QPrinter::NativeFormat || printer_.printerName().isEmpty()) {
    const QPrinterInfo fallback = QPrinterInfo::defaultPrinter();
    if (!fallback.isNull() && !fallback.printerName().isEmpty()) {
      adopt(fallback);
      if (printer_.outputFormat() == QPrinter::NativeFormat &&
          printer_.printerName() == fallback.printerName()) {
        return;
      }
    }
  }
  if (QPrinterInfo::availablePrinterNames().isEmpty()) {
    throw Error(QStringLiteral("No printer is installed"));
  }
  if (printer_.outputFormat() == QPrinter::NativeFormat && !printer_.printerName().isEmpty()) {
    throw Error(QStringLiteral("The printer '%1' is not available").arg(printer_.printerName()));
  }
  throw Error(QStringLiteral("No printer is chosen: choose one with File, Print Setup..."));
}

QString PagePrinter::shownName() const { return printer_.printerName(); }

}  // namespace output
