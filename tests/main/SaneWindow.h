#pragma once

// The program's windows over the real SANE driver, the way the program runs
// them, for whole jobs through SANE's "test" backend: two virtual devices
// with a 200 x 200 mm bed and a feeder that holds 10 sheets.

#include "app/Application.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <chrono>

class StatusBar;
class Tfrm_Main;

class SaneWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates and shows the windows over the SANE driver; returns once the
  // main window reads "Ready". Small, quick pages: grey, 75 dpi, "A6 ".
  void start();

  bool idle() const;
  bool waitForJobEnd(std::chrono::milliseconds timeout = std::chrono::seconds(60));
  int listed() const;
  QStringList listCaptions() const;
  static QStringList filesIn(const QString& folder, const QStringList& filters = {});

  QString destination;  // an empty folder, the window's destination
  ProgramWindows windows;
  Tfrm_Main* w = nullptr;
  QStringList statuses;  // every status shown, errors marked with a leading "!"
};
