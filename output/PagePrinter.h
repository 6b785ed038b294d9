#pragma once

// The application's current printer and the two things a copy job does with
// it: measure its printable area when the job starts, and print each page as
// a print job of its own.

#include <QPrinter>
#include <QString>

class QPrinterInfo;
class QWidget;

namespace output {

class PagePrinter {
 public:
  // Title of every print job.
  static QString documentName();

  // Starts with the system's default printer (when there is one), set up as
  // that printer's own defaults say.
  PagePrinter();
  PagePrinter(const PagePrinter&) = delete;
  PagePrinter& operator=(const PagePrinter&) = delete;

  // The current printer. Everything the user chose in the set-up dialog
  // (printer, paper, orientation, copies) lives here and is left alone by the
  // copy job, except the job title.
  QPrinter& printer();

  // Makes the installed printer `name` the current one, with its own default
  // paper and no margins beyond the edges it can't print on. Throws
  // platform::Error when no such printer is installed.
  void selectPrinter(const QString& name);

  // File > "Print Set&up...": the print dialog for the current printer,
  // modal to `owner`. Accepting keeps the choice; cancelling changes nothing.
  void showPrintSetup(QWidget* owner);

  // The current printer's printable area in its device pixels. Throws
  // platform::Error when there is no usable printer.
  void preparePrinter(int& PrintableWidth, int& PrintableHeight);

  // Prints the bitmap at `bmpPath` (width x height pixels as the scanner
  // reported them) as one print job, as large as the printable area measured
  // by preparePrinter allows, from its top-left corner. Throws platform::Error
  // when the bitmap can't be read, there is no usable printer, the job can't
  // start, or the printer reports an error.
  void printPage(const QString& bmpPath, int width, int height, int PrintableWidth,
                 int PrintableHeight);

 private:
  // Throws unless the current printer is a real, installed printer.
  void requirePrinter();
  void adopt(const QPrinterInfo& info);
  QString shownName() const;

  QPrinter printer_{QPrinter::HighResolution};
};

}  // namespace output
