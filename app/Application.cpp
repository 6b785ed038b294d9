#include "app/Application.h"

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

int runApplication(int argc, char** argv) {
  GuardedApplication app(argc, argv);
  try {
    QApplication::setOrganizationName(QStringLiteral("Quellmark"));
    QApplication::setApplicationName(QStringLiteral("Brevalto Pro"));
    QApplication::setApplicationDisplayName(QStringLiteral("Brevalto Pro"));
    QApplication::setQuitOnLastWindowClosed(true);

    // The four windows, in their order; each lives until the program ends.
    auto frm_Main = std::make_unique<Tfrm_Main>(makeSaneDriver());
    auto frm_About = std::make_unique<Tfrm_About>(frm_Main.get());
    auto frm_Settings = std::make_unique<Tfrm_Settings>(frm_Main.get());
    auto frm_Preview = std::make_unique<Tfrm_Preview>(frm_Main.get());
    frm_Main->setWindows(frm_About.get(), frm_Settings.get(), frm_Preview.get());

    frm_Main->show();
    app.exec();
    frm_Preview.reset();
    frm_Settings.reset();
    frm_About.reset();
  } catch (const std::exception& error) {
    showStartupError(QString::fromUtf8(error.what()));
  } catch (...) {
    showStartupError(QString());
  }
  return 0;
}
