#include "scanner/ScriptedDriver.h"

#include "scanner/ScanArea.h"

#include <QThread>

#include <algorithm>
#include <cmath>
#include <thread>

namespace {

ScanStatus unsupported(const QString& what) {
  return ScanStatus::error(scanerror::kSettingUnsupported,
                           QStringLiteral("The scanner does not support %1; the setting was left unchanged").arg(what));
}

bool matchesCall(const QString& entry, const QString& call) {
  if (entry == call) return true;
  if (!entry.startsWith(call)) return false;
  const QChar next = entry.at(call.size());
  return next == QLatin1Char('=') || next == QLatin1Char('(');
}

}  // namespace

ScriptedDriver::ScriptedDriver() = default;
ScriptedDriver::~ScriptedDriver() = default;

void ScriptedDriver::addSource(const ScriptedSource& source) {
  std::lock_guard lock(mutex_);
  sources_.append({nextId_++, source, true});
}

void ScriptedDriver::removeSource(int index) {
  std::lock_guard lock(mutex_);
  if (index >= 0 && index < sources_.size()) sources_[index].present = false;
}

void ScriptedDriver::setPages(int source, const QList<QImage>& pages) {
  std::lock_guard lock(mutex_);
  if (source >= 0 && source < sources_.size()) sources_[source].source.pages = pages;
}

void ScriptedDriver::setFeederLoaded(int source, bool loaded) {
  std::lock_guard lock(mutex_);
  if (source >= 0 && source < sources_.size()) sources_[source].source.feederLoaded = loaded;
}

void ScriptedDriver::setCurrentSource(int index) {
  std::lock_guard lock(mutex_);
  current_ = index;
}

void ScriptedDriver::setStartResult(bool ok) {
  std::lock_guard lock(mutex_);
  startResult_ = ok;
}

void ScriptedDriver::failAfter(const QString& call, int code, const QString& text) {
  std::lock_guard lock(mutex_);
  afterCall_.append({call, -1, ScanStatus::error(code, text)});
}

void ScriptedDriver::failOnPage(int page, int code, const QString& text) {
  std::lock_guard lock(mutex_);
  onRead_.append({QString(), page, ScanStatus::error(code, text)});
}

void ScriptedDriver::failOnStart(int page, int code, const QString& text) {
  std::lock_guard lock(mutex_);
  onStart_.append({QString(), page, ScanStatus::error(code, text)});
}

void ScriptedDriver::clearFailures() {
  std::lock_guard lock(mutex_);
  afterCall_.clear();
  onRead_.clear();
  onStart_.clear();
}

void ScriptedDriver::setListingDelay(std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  listingDelay_ = delay;
}

void ScriptedDriver::setPageDelay(std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  delay_ = delay;
}

QStringList ScriptedDriver::log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

void ScriptedDriver::clearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

ScanMode ScriptedDriver::mode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

ScanSource ScriptedDriver::source() const {
  std::lock_guard lock(mutex_);
  return sourceInUse_;
}

ScanAreaMm ScriptedDriver::area() const {
  std::lock_guard lock(mutex_);
  return area_;
}

int ScriptedDriver::pagesStarted() const {
  std::lock_guard lock(mutex_);
  return pagesStarted_;
}

int ScriptedDriver::cancelCount() const {
  std::lock_guard lock(mutex_);
  return cancelCount_;
}

bool ScriptedDriver::isOpen() const {
  std::lock_guard lock(mutex_);
  return openId_ >= 0;
}

const ScriptedDriver::Entry* ScriptedDriver::openEntry() const {
  for (const Entry& e : sources_)
    if (e.id == openId_) return &e;
  return nullptr;
}

bool ScriptedDriver::startup() {
  std::lock_guard lock(mutex_);
  started_ = startResult_;
  return started_;
}

void ScriptedDriver::shutdown() {
  close();
  std::lock_guard lock(mutex_);
  started_ = false;
}

QList<ScanDevice> ScriptedDriver::listDevices() {
  std::chrono::milliseconds delay{0};
  {
    std::lock_guard lock(mutex_);
    delay = listingDelay_;
    ++listings_;
  }
  // Like a backend probing the network, without holding the script.
  if (delay.count() > 0) std::this_thread::sleep_for(delay);
  std::lock_guard lock(mutex_);
  QList<ScanDevice> out;
  if (!started_) return out;
  for (const Entry& e : sources_) {
    if (!e.present) continue;
    out.append({QStringLiteral("scripted:%1").arg(e.id), e.source.vendor, e.source.model});
  }
  return out;
}

int ScriptedDriver::defaultDevice(const QList<ScanDevice>& listed) {
  std::lock_guard lock(mutex_);
  return current_ >= 0 && current_ < listed.size() ? current_ : -1;
}

ScanStatus ScriptedDriver::open(const ScanDevice& device) {
  close();
  std::lock_guard lock(mutex_);
  if (!started_) return ScanStatus::error(scanerror::kDeviceManagerFailed, QStringLiteral("The scanner software is not started"));
  const QString prefix = QStringLiteral("scripted:");
  bool numeric = false;
  const int id = device.name.startsWith(prefix) ? device.name.mid(prefix.size()).toInt(&numeric) : -1;
  for (const Entry& e : sources_) {
    if (!numeric || e.id != id) continue;
    if (!e.present) break;
    openId_ = e.id;
    ++opens_;
    area_ = {0, 0, e.source.bedWidthMm, e.source.bedHeightMm};
    sourceInUse_ = ScanSource::Flatbed;
    return {};
  }
  return ScanStatus::error(scanerror::kSourceNotAvailable,
                           QStringLiteral("The scanner \"%1\" is no longer available").arg(device.productName()));
}

int ScriptedDriver::listingCount() const {
  std::lock_guard lock(mutex_);
  return listings_;
}

int ScriptedDriver::openCount() const {
  std::lock_guard lock(mutex_);
  return opens_;
}

QString ScriptedDriver::openSource() const {
  std::lock_guard lock(mutex_);
  const Entry* e = openEntry();
  return e ? e->source.vendor + QLatin1Char(' ') + e->source.model : QString();
}

void ScriptedDriver::close() {
  endScan();
  std::lock_guard lock(mutex_);
  openId_ = -1;
}

ScanStatus ScriptedDriver::setMode(ScanMode mode) {
  std::lock_guard lock(mutex_);
  mode_ = mode;
  return {};
}

ScanStatus ScriptedDriver::setResolution(int dotsPerInch) {
  std::lock_guard lock(mutex_);
  const Entry* e = openEntry();
  if (!e) return ScanStatus::error(scanerror::kSourceNotOpen, QStringLiteral("No scanner is open"));
  resolution_ = dotsPerInch;
  int best = -1;
  for (int r : e->source.resolutions)
    if (best < 0 || std::abs(r - dotsPerInch) < std::abs(best - dotsPerInch)) best = r;
  if (best > 0) resolution_ = best;
  return {};
}

int ScriptedDriver::resolution() {
  std::lock_guard lock(mutex_);
  return resolution_;
}

ScanStatus ScriptedDriver::setArea(const ScanAreaMm& area) {
  std::lock_guard lock(mutex_);
  const Entry* e = openEntry();
  if (!e) return ScanStatus::error(scanerror::kSourceNotOpen, QStringLiteral("No scanner is open"));
  const auto clamped = scanarea::clampToBed(area, {0, e->source.bedWidthMm, 0, e->source.bedHeightMm});
  if (clamped.empty)
    return ScanStatus::error(scanerror::kAreaOutsideBed, QStringLiteral("The requested scan area lies outside the scanner's bed"));
  area_ = clamped.area;
  if (clamped.reduced)
    return ScanStatus::error(scanerror::kAreaReducedToBed, QStringLiteral("The scan area was reduced to the scanner's bed"));
  return {};
}

ScanStatus ScriptedDriver::setWholeBed() {
  std::lock_guard lock(mutex_);
  const Entry* e = openEntry();
  if (!e) return ScanStatus::error(scanerror::kSourceNotOpen, QStringLiteral("No scanner is open"));
  area_ = {0, 0, e->source.bedWidthMm, e->source.bedHeightMm};
  return {};
}

ScanStatus ScriptedDriver::setSource(ScanSource source) {
  std::lock_guard lock(mutex_);
  const Entry* e = openEntry();
  if (!e) return ScanStatus::error(scanerror::kSourceNotOpen, QStringLiteral("No scanner is open"));
  if (source != ScanSource::Flatbed && !e->source.hasFeeder) return unsupported(QStringLiteral("a document feeder"));
  if (source == ScanSource::Duplex && !e->source.hasDuplex) {
    sourceInUse_ = ScanSource::Feeder;
    return unsupported(QStringLiteral("duplex scanning"));
  }
  sourceInUse_ = source;
  return {};
}

bool ScriptedDriver::hasFeeder() {
  std::lock_guard lock(mutex_);
  const Entry* e = openEntry();
  return e && e->source.hasFeeder;
}

bool ScriptedDriver::hasDuplex() {
  std::lock_guard lock(mutex_);
  const Entry* e = openEntry();
  return e && e->source.hasFeeder && e->source.hasDuplex;
}

bool ScriptedDriver::feederLoaded() {
  std::lock_guard lock(mutex_);
  const Entry* e = openEntry();
  return e && e->source.hasFeeder && e->source.feederLoaded && !e->source.pages.isEmpty();
}

PageOutcome ScriptedDriver::startPage(int pagesDone) {
  std::lock_guard lock(mutex_);
  const Entry* e = openEntry();
  if (!e) return {PageOutcome::Failed, ScanStatus::error(scanerror::kSourceNotOpen, QStringLiteral("No scanner is open"))};
  if (pagesDone == 0) cancelled_ = false;
  if (cancelled_) return {PageOutcome::Cancelled, {}};
  page_ = pagesDone;
  scanning_ = true;
  if (sourceInUse_ != ScanSource::Flatbed) {
    const bool loaded = e->source.feederLoaded && pagesDone < e->source.pages.size();
    if (!loaded && pagesDone > 0) return {PageOutcome::NoMorePages, {}};
    if (!loaded)
      return {PageOutcome::Failed, ScanStatus::error(scanerror::kFeederEmpty, QStringLiteral("The document feeder is empty: there are no pages to scan"))};
  }
  for (const Failure& f : onStart_)
    if (f.page == pagesDone) return {PageOutcome::Failed, f.status};
  ++pagesStarted_;
  return {};
}

QImage ScriptedDriver::blankPage() const {
  const double inches = 1 / 25.4;
  const int width = std::clamp(static_cast<int>(std::lround((area_.right - area_.left) * inches * resolution_)), 1, 20000);
  const int height = std::clamp(static_cast<int>(std::lround((area_.bottom - area_.top) * inches * resolution_)), 1, 20000);
  QImage page(width, height, mode_ == ScanMode::Color ? QImage::Format_RGB888
                             : mode_ == ScanMode::Gray ? QImage::Format_Grayscale8
                                                       : QImage::Format_Mono);
  if (page.format() == QImage::Format_Mono) {
    page.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    page.fill(0);
  } else {
    page.fill(Qt::white);
  }
  return page;
}

PageOutcome ScriptedDriver::readPage(QImage* image, const Progress& progress) {
  std::chrono::milliseconds delay;
  {
    std::lock_guard lock(mutex_);
    delay = delay_;
  }
  constexpr int kSteps = 4;
  for (int step = 0; step <= kSteps; ++step) {
    if (cancelled_) return {PageOutcome::Cancelled, {}};
    if (progress) progress(step * 100 / kSteps);
    if (step < kSteps && delay.count() > 0) QThread::msleep(static_cast<unsigned long>(delay.count() / kSteps));
  }
  std::lock_guard lock(mutex_);
  for (const Failure& f : onRead_)
    if (f.page == page_) return {PageOutcome::Failed, f.status};
  const Entry* e = openEntry();
  if (!e) return {PageOutcome::Failed, ScanStatus::error(scanerror::kSourceNotOpen, QStringLiteral("No scanner is open"))};
  if (page_ < e->source.pages.size()) *image = e->source.pages[page_];
  else *image = blankPage();
  const int dotsPerMeter = static_cast<int>(std::lround(resolution_ / 0.0254));
  image->setDotsPerMeterX(dotsPerMeter);
  image->setDotsPerMeterY(dotsPerMeter);
  return {};
}

void ScriptedDriver::endScan() {
  bool wasScanning = false;
  {
    std::lock_guard lock(mutex_);
    wasScanning = scanning_;
    scanning_ = false;
  }
  if (wasScanning) cancel();
}

void ScriptedDriver::cancel() {
  if (cancelled_.exchange(true)) return;
  std::lock_guard lock(mutex_);
  ++cancelCount_;
}

ScanStatus ScriptedDriver::note(const QString& entry) {
  std::lock_guard lock(mutex_);
  log_.append(entry);
  for (const Failure& f : afterCall_)
    if (matchesCall(entry, f.call)) return f.status;
  return {};
}
