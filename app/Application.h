#pragma once

#include <memory>

class ScanDriver;
class Tfrm_About;
class Tfrm_Main;
class Tfrm_Preview;
class Tfrm_Settings;

// The program's four windows, created in their order: the main window first,
// then the About window, the settings dialog and the viewer. Each lives until
// the program ends.
struct ProgramWindows {
  ProgramWindows();
  ProgramWindows(ProgramWindows&&) noexcept;
  ProgramWindows& operator=(ProgramWindows&& other) noexcept;
  ~ProgramWindows();

  std::unique_ptr<Tfrm_Main> frm_Main;
  std::unique_ptr<Tfrm_About> frm_About;
  std::unique_ptr<Tfrm_Settings> frm_Settings;
  std::unique_ptr<Tfrm_Preview> frm_Preview;
};

ProgramWindows createProgramWindows(std::unique_ptr<ScanDriver> driver);

// Program entry: sets up the application, creates the windows and runs the
// message loop until the main window closes. Always returns 0.
int runApplication(int argc, char** argv);
