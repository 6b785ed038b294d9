#include "bench/ScriptedProgram.h"

#include "bench/BenchSupport.h"

#include "main/Unitmain.h"
#include "platform/ErrorGuard.h"
#include "platform/MessageBox.h"
#include "scanner/ScriptedDriver.h"
#include "scanner/VSTWAINLib_OCX.h"

#include <QLineEdit>
#include <QToolButton>

namespace bench {

ScriptedProgram::ScriptedProgram(const QList<QImage>& pages, bool hasFeeder) {
  platform::MessageBoxSeam::answerAlways(platform::MessageAnswer::Yes);
  auto driver = std::make_unique<ScriptedDriver>();
  script_ = driver.get();
  script_->addSource({.hasFeeder = hasFeeder, .pages = pages});
  windows_ = createProgramWindows(std::move(driver));
  w_ = windows_.frm_Main.get();
  w_->show();
  if (!waitUntil([&] { return w_->StatusText() == QStringLiteral("Ready"); })) fail(QStringLiteral("never Ready"));
  destination_ = makeFolder(QStringLiteral("dest"));
  w_->edt_Destination->setText(destination_);
}

ScriptedProgram::~ScriptedProgram() { platform::MessageBoxSeam::uninstall(); }

void ScriptedProgram::timePostScan(std::function<void(double ms)> report) {
  QObject::disconnect(w_->VintaSoftTwain, &TVintaSoftTwain::OnPostScan, w_, nullptr);
  Tfrm_Main* w = w_;
  QObject::connect(w_->VintaSoftTwain, &TVintaSoftTwain::OnPostScan, w_, [w, report](int flag) {
    const auto start = Clock::now();
    platform::guarded(w, [&] { w->VintaSoftTwainPostScan(flag); });
    report(millisecondsSince(start));
  });
}

bool ScriptedProgram::idle() const { return w_->ToolButtonPreview->isEnabled() && w_->ToolButtonScan->isEnabled(); }

bool ScriptedProgram::scanAndWait(int timeoutMs) {
  w_->Scan1Click();
  return waitUntil([&] { return idle(); }, timeoutMs);
}

}  // namespace bench
