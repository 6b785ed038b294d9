#pragma once

// The program's windows over a driver of the test's choosing, with what the
// user sees recorded: every status text (errors marked with a leading "!")
// and every message box.

#include "app/Application.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QMap>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <ostream>

// Readable failure output for the texts the tests compare.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

class ScanDriver;
class Tfrm_Main;

// A page with text-like bars, so the blank test never takes it for blank.
QImage barPage(QColor colour, int width = 200, int height = 150);
// A page of random colours, which no encoder can make small.
QImage noisePage(int width, int height, unsigned seed);

class FaultWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates and shows the windows over `driver`; returns once the main
  // window reads "Ready", with `destination` as its destination folder.
  void start(std::unique_ptr<ScanDriver> driver);

  bool idle() const;
  bool waitForJobEnd(std::chrono::milliseconds timeout = std::chrono::seconds(60));
  int listed() const;
  QStringList listCaptions() const;
  QStringList messageTexts() const;
  // Every entry of a folder, hidden ones included, by name.
  static QStringList entriesIn(const QString& folder);
  // The bytes of every file in a folder, by name.
  static QMap<QString, QByteArray> contentsOf(const QString& folder);
  // The name a page of the current batch gets: "Brevalto_<stamp>" with the
  // counter k (0: none) and the extension.
  QString pageName(int k, const QString& extension = QStringLiteral("bmp")) const;

  QString destination;  // an empty folder, the window's destination
  ProgramWindows windows;
  Tfrm_Main* w = nullptr;
  QStringList statuses;
};
