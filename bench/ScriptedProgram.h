#pragma once

// The program's windows over the scripted driver, shown and "Ready", as the
// scan job tests build them. Message boxes are answered Yes.

#include "app/Application.h"

#include <QImage>
#include <QList>
#include <QString>

#include <chrono>
#include <functional>

class ScriptedDriver;
class Tfrm_Main;

namespace bench {

class ScriptedProgram {
 public:
  // One scripted source with these pages (the flatbed gives the first).
  ScriptedProgram(const QList<QImage>& pages, bool hasFeeder);
  ~ScriptedProgram();

  Tfrm_Main* window() const { return w_; }
  ScriptedDriver* script() const { return script_; }
  const QString& destination() const { return destination_; }

  // Replaces the window's post-scan connection by one that calls the same
  // handler, guarded as before, and reports how long each call took.
  void timePostScan(std::function<void(double ms)> report);

  // Starts a scan as the Scan command does and runs the event loop until the
  // job has ended; false on a timeout.
  bool scanAndWait(int timeoutMs = 600000);
  bool idle() const;

 private:
  ProgramWindows windows_;
  Tfrm_Main* w_ = nullptr;
  ScriptedDriver* script_ = nullptr;
  QString destination_;
};

}  // namespace bench
