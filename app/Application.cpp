#include "app/Application.h"

#include "app/TerminationWatcher.h"

#include "about/Unitabout.h"
#include "imagelist/Unitpreview.h"
#include "main/Unitmain.h"
#include "platform/ErrorGuard.h"
#include "scanner/SaneDriverFactory.h"
#include "scanner/ScanDriver.h"
#include "settings/Unitsettings.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>
#include <memory>

namespace {

// Last line of defence: an exception that a handler let through is shown and
// the event loop goes on. Every handler is guarded on its own as well, since
// unwinding through Qt's frames is best avoided altogether.
class GuardedApplication : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
      platform::showError(activeWindow(), QString::fromUtf8(error.what()));
    } catch (...) {
      platform::showError(activeWindow(), QString());
    }
    return false;
  }
};

void showStartupError(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Brevalto Pro"), text, QMessageBox::Ok);
  box.exec();
}

}  // namespace

ProgramWindows::ProgramWindows() = default;
ProgramWindows::ProgramWindows(ProgramWindows&&) noexcept = default;
ProgramWindows::~ProgramWindows() {
  // The dialogs first: the main window is their parent.
  frm_Preview.reset();
  frm_Settings.reset();
  frm_About.reset();
}

ProgramWindows& ProgramWindows::operator=(ProgramWindows&& other) noexcept {
  if (this == &other) return *this;
  frm_Preview.reset();
  frm_Settings.reset();
  frm_About.reset();
  frm_Main = std::move(other.frm_Main);
  frm_About = std::move(other.frm_About);
  frm_Settings = std::move(other.frm_Settings);
  frm_Preview = std::move(other.frm_Preview);
  return *this;
}

ProgramWindows createProgramWindows(std::unique_ptr<ScanDriver> driver) {
  ProgramWindows windows;
  windows.frm_Main = std::make_unique<Tfrm_Main>(std::move(driver));
  windows.frm_About = std::make_unique<Tfrm_About>(windows.frm_Main.get());
  windows.frm_Settings = std::make_unique<Tfrm_Settings>(windows.frm_Main.get());
  windows.frm_Preview = std::make_unique<Tfrm_Preview>(windows.frm_Main.get());
  windows.frm_Main->setWindows(windows.frm_About.get(), windows.frm_Settings.get(),
                               windows.frm_Preview.get());
  return windows;
}

int runApplication(int argc, char** argv) {
  GuardedApplication app(argc, argv);
  try {
    QApplication::setOrganizationName(QStringLiteral("Quellmark"));
    QApplication::setApplicationName(QStringLiteral("Brevalto Pro"));
    // No display name: on X11 Qt adds it to every window's and message box's
    // title, which must read exactly its caption.
    QApplication::setQuitOnLastWindowClosed(true);

    ProgramWindows windows = createProgramWindows(makeSaneDriver());
    TerminationWatcher watcher;
    QObject::connect(&watcher, &TerminationWatcher::terminationRequested, windows.frm_Main.get(),
                     [&windows] { windows.frm_Main->close(); });
    windows.frm_Main->show();
    app.exec();
  } catch (const std::exception& error) {
    showStartupError(QString::fromUtf8(error.what()));
  } catch (...) {
    showStartupError(QString());
  }
  return 0;
}
