#include "scanner/SaneDriver.h"

#include "scanner/ScanArea.h"
#include "scanner/FrameAssembler.h"

#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

// Who answers a backend's request for a user name and password.
std::mutex authorizerMutex;
QPointer<QObject> authorizerContext;
SaneDriver::Authorizer authorizer;

void copyInto(SANE_Char* target, const QByteArray& text, int capacity) {
  const int length = std::min<int>(static_cast<int>(text.size()), capacity - 1);
  std::memcpy(target, text.constData(), static_cast<size_t>(length));
  target[length] = 0;
}

// Called by libsane on the thread that made the SANE call (the worker).
void authorize(SANE_String_Const resource, SANE_Char* username, SANE_Char* password) {
  username[0] = 0;
  password[0] = 0;
  QPointer<QObject> context;
  SaneDriver::Authorizer ask;
  {
    std::lock_guard lock(authorizerMutex);
    context = authorizerContext;
    ask = authorizer;
  }
  if (!context || !ask) return;
  // The net backend adds "$MD5$" and a salt to the device's name.
  QString name = QString::fromUtf8(resource);
  const int salt = name.indexOf(QLatin1String("$MD5$"));
  if (salt >= 0) name.truncate(salt);
  QString user, secret;
  bool given = false;
  auto run = [&] { given = ask(name, &user, &secret); };
  if (QThread::currentThread() == context->thread()) run();
  else QMetaObject::invokeMethod(context, run, Qt::BlockingQueuedConnection);
  if (given) {
    QByteArray bytes = secret.toUtf8();
    copyInto(username, user.toUtf8(), SANE_MAX_USERNAME_LEN);
    copyInto(password, bytes, SANE_MAX_PASSWORD_LEN);
    // Nothing of the password stays behind in this program's memory.
    bytes.fill(0);
    secret.fill(QChar(0));
  }
}

// sane_init and sane_exit are process-wide; every driver shares one session.
std::mutex sessionMutex;
int sessionUsers = 0;
// A page failed in a way that may have broken the session (a connection
// that died, a device that stopped answering): the next start ends SANE and
// starts it again before asking it anything, even for the list of devices.
std::atomic<bool> sessionBroken{false};

bool acquireSession() {
  std::lock_guard lock(sessionMutex);
  if (sessionUsers == 0 || sessionBroken) {
    // A network scanner's server that goes away must end a page with an
    // error, not end the program with SIGPIPE on the next write to it.
    std::signal(SIGPIPE, SIG_IGN);
    if (sessionUsers > 0) sane_exit();
    sessionBroken = false;
    SANE_Int version = 0;
    if (sane_init(&version, authorize) != SANE_STATUS_GOOD) return false;
  }
  ++sessionUsers;
  return true;
}

void releaseSession() {
  std::lock_guard lock(sessionMutex);
  if (sessionUsers > 0 && --sessionUsers == 0) sane_exit();
}

bool containsAny(const QString& text, std::initializer_list<const char*> words) {
  for (const char* word : words)
    if (text.contains(QLatin1String(word), Qt::CaseInsensitive)) return true;
  return false;
}

bool isDuplexEntry(const QString& entry) { return containsAny(entry, {"duplex"}); }
bool isFeederEntry(const QString& entry) {
  return !isDuplexEntry(entry) && containsAny(entry, {"adf", "feeder", "automatic document"});
}

double toDouble(const SANE_Option_Descriptor* d, SANE_Word w) {
  return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : static_cast<double>(w);
}
SANE_Word toWord(const SANE_Option_Descriptor* d, double v) {
  return d->type == SANE_TYPE_FIXED ? SANE_FIX(v) : static_cast<SANE_Word>(std::lround(v));
}

ScanStatus unsupported(const QString& what) {
  return ScanStatus::error(scanerror::kSettingUnsupported,
                           QStringLiteral("The scanner does not support %1; the setting was left unchanged").arg(what));
}

FrameParameters frameParameters(const SANE_Parameters& p) {
  FrameParameters f;
  switch (p.format) {
    case SANE_FRAME_RGB: f.format = FrameParameters::Rgb; break;
    case SANE_FRAME_RED: f.format = FrameParameters::Red; break;
    case SANE_FRAME_GREEN: f.format = FrameParameters::Green; break;
    case SANE_FRAME_BLUE: f.format = FrameParameters::Blue; break;
    default: f.format = FrameParameters::Gray; break;
  }
  f.lastFrame = p.last_frame;
  f.bytesPerLine = p.bytes_per_line;
  f.pixelsPerLine = p.pixels_per_line;
  f.lines = p.lines;
  f.depth = p.depth;
  return f;
}

using SteadyClock = std::chrono::steady_clock;

std::atomic<long long> stallTimeoutMs{60000};

// A read that blocks longer than this is taken to be waiting on the device:
// only then does a cancel or a stall reach it through sane_cancel from
// another thread, which SANE allows but not every backend survives while a
// quick read is in progress.
constexpr auto kBlockedRead = std::chrono::milliseconds(1000);
// While no data comes, the UI still hears from the page this often, so that
// its progress handler can ask to stop.
constexpr auto kHeartbeat = std::chrono::milliseconds(500);

// A failed read that is no paper condition may have left the session broken.
PageOutcome failedRead(PageOutcome outcome) {
  if (outcome.kind != PageOutcome::Failed) return outcome;
  switch (outcome.status.code) {
    case scanerror::kFeederJammed:
    case scanerror::kFeederEmpty:
    case scanerror::kCoverOpen:
    case scanerror::kBadFrame: break;
    default: sessionBroken = true;
  }
  return outcome;
}

void markSessionBroken() { sessionBroken = true; }

long long nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now().time_since_epoch()).count();
}

ScanStatus stalledStatus() {
  return ScanStatus::error(scanerror::kIoError,
                           QStringLiteral("The scanner sent no data for %1 seconds; the page was abandoned. "
                                          "Check the scanner and its connection, then scan again")
                               .arg(stallTimeoutMs.load() / 1000.0));
}

}  // namespace

class SaneDriver::Impl {
 public:
  bool started = false;
  SANE_Handle handle = nullptr;
  bool scanning = false;  // a sane_start has not yet had its sane_cancel
  // Set by cancel() from any thread; the worker answers it with its one
  // sane_cancel between two reads. Calling sane_cancel from the other thread
  // while sane_read runs is allowed by SANE but not survived by every backend,
  // so only a read blocked for long gets it (ReadWatchdog).
  std::atomic<bool> cancelRequested{false};
  int resolutionInForce = 0;
  int pagesDoneAtStart = 0;  // what startPage was told, for readPage's statuses

  // The page being read, shared with its watchdog.
  std::atomic<bool> inRead{false};
  std::atomic<long long> readSinceMs{0};
  std::atomic<long long> lastDataMs{0};
  std::atomic<bool> stalled{false};
  std::atomic<bool> cancelSent{false};

  // How many options the device has, option 0 included: read when it opens
  // and again whenever a value set rebuilds the options.
  SANE_Int optionCount = 0;

  // Looked up by name at every use: a value set may rebuild the options
  // (SANE_INFO_RELOAD_OPTIONS), and no index or descriptor outlives that.
  // Descriptors are the backend's own memory: looking through them asks
  // the device nothing, also over the network.
  int optionIndex(const char* name) const {
    if (!handle) return -1;
    for (SANE_Int i = 1; i < optionCount; ++i) {
      const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
      if (d && d->name && std::strcmp(d->name, name) == 0) return SANE_OPTION_IS_ACTIVE(d->cap) ? i : -1;
    }
    return -1;
  }
  // Reads the option list again. Descriptor 0 comes first: a backend that
  // rebuilt its options (the net backend) refuses every option call until
  // it has been asked for it.
  void reloadOptions() {
    optionCount = 0;
    if (!sane_get_option_descriptor(handle, 0)) return;
    SANE_Int count = 0;
    if (sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD) return;
    for (SANE_Int i = 1; i < count; ++i) sane_get_option_descriptor(handle, i);
    optionCount = count;
  }
  const SANE_Option_Descriptor* descriptor(int index) const {
    return index < 0 ? nullptr : sane_get_option_descriptor(handle, index);
  }

  ScanStatus set(int index, void* value) {
    SANE_Int info = 0;
    const SANE_Status status = sane_control_option(handle, index, SANE_ACTION_SET_VALUE, value, &info);
    // The option list changed: read it again now, as the backend expects
    // before the next option call. New parameters (SANE_INFO_RELOAD_PARAMS)
    // need nothing here: they are read after sane_start, never kept.
    if (status == SANE_STATUS_GOOD && (info & SANE_INFO_RELOAD_OPTIONS)) reloadOptions();
    // An adjusted value (SANE_INFO_INEXACT) is not an error: callers read back.
    return status == SANE_STATUS_GOOD ? ScanStatus::success() : outcomeForSaneStatus(status, 0).status;
  }

  QStringList stringList(int index) const {
    QStringList out;
    const auto* d = descriptor(index);
    if (!d || d->constraint_type != SANE_CONSTRAINT_STRING_LIST) return out;
    for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s) out << QString::fromUtf8(*s);
    return out;
  }

  ScanStatus setString(int index, const QString& value) {
    const auto* d = descriptor(index);
    std::vector<char> buffer(static_cast<size_t>(std::max<SANE_Int>(d->size, 1)) + 1, 0);
    const QByteArray bytes = value.toUtf8();
    std::memcpy(buffer.data(), bytes.constData(), std::min<size_t>(bytes.size(), buffer.size() - 1));
    return set(index, buffer.data());
  }

  bool readNumber(int index, double* value) const {
    const auto* d = descriptor(index);
    if (!d || (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) || d->size != sizeof(SANE_Word)) return false;
    SANE_Word w = 0;
    if (sane_control_option(handle, index, SANE_ACTION_GET_VALUE, &w, nullptr) != SANE_STATUS_GOOD) return false;
    *value = toDouble(d, w);
    return true;
  }

  // The nearest value the option's constraint allows.
  double constrained(int index, double wanted) const {
    const auto* d = descriptor(index);
    if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
      const double lo = toDouble(d, d->constraint.range->min), hi = toDouble(d, d->constraint.range->max);
      const double quant = toDouble(d, d->constraint.range->quant);
      double v = std::clamp(wanted, lo, hi);
      if (quant > 0) v = std::min(hi, lo + std::round((v - lo) / quant) * quant);
      return v;
    }
    if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
      const SANE_Word* list = d->constraint.word_list;
      double best = wanted, bestDistance = -1;
      for (SANE_Word i = 1; i <= list[0]; ++i) {
        const double v = toDouble(d, list[i]);
        if (bestDistance < 0 || std::abs(v - wanted) < bestDistance) best = v, bestDistance = std::abs(v - wanted);
      }
      return best;
    }
    return wanted;
  }

  ScanStatus setNumber(int index, double value) {
    SANE_Word w = toWord(descriptor(index), value);
    return set(index, &w);
  }

  // Lengths count in mm, or in pixels at the resolution in force (backends
  // whose geometry is SANE_UNIT_PIXEL); 0 for a unit that is neither.
  double unitsPerMm(int index) const {
    const auto* d = descriptor(index);
    if (!d) return 0;
    if (d->unit == SANE_UNIT_MM) return 1;
    if (d->unit == SANE_UNIT_PIXEL && resolutionInForce > 0) return resolutionInForce / 25.4;
    return 0;
  }

  // The option's range in mm.
  bool range(int index, double* lo, double* hi) const {
    const auto* d = descriptor(index);
    const double k = unitsPerMm(index);
    if (!d || d->constraint_type != SANE_CONSTRAINT_RANGE || k <= 0) return false;
    *lo = toDouble(d, d->constraint.range->min) / k;
    *hi = toDouble(d, d->constraint.range->max) / k;
    return true;
  }

  // Sets a length option by name, given in mm; missing or in another unit: false.
  bool setLength(const char* name, double mm, ScanStatus* status) {
    const int index = optionIndex(name);
    const double k = unitsPerMm(index);
    if (index < 0 || k <= 0) return false;
    *status = setNumber(index, constrained(index, mm * k));
    return true;
  }

  // Sheet-fed scanners cut each sheet to their page size: make it reach the
  // area's far edges, before the area itself (its range follows the page).
  ScanStatus setPageSize(const ScanAreaMm& area) {
    ScanStatus status, s;
    if (setLength("page-width", area.right, &s) && !s.ok()) status = s;
    if (setLength("page-height", area.bottom, &s) && !s.ok() && status.ok()) status = s;
    return status;
  }

  // The four geometry options and the bed they span, when the device has them in mm.
  bool geometry(int idx[4], scanarea::Bed* bed) const {
    const char* names[4] = {SANE_NAME_SCAN_TL_X, SANE_NAME_SCAN_TL_Y, SANE_NAME_SCAN_BR_X, SANE_NAME_SCAN_BR_Y};
    for (int i = 0; i < 4; ++i)
      if ((idx[i] = optionIndex(names[i])) < 0) return false;
    double lo = 0, hi = 0;
    if (!range(idx[0], &bed->minX, &hi) || !range(idx[2], &lo, &bed->maxX)) return false;
    if (!range(idx[1], &bed->minY, &hi) || !range(idx[3], &lo, &bed->maxY)) return false;
    // The edges come through SANE's fixed point (or whole pixels): an area
    // that ends at an edge, as a page size set just before does, must not
    // count as reaching beyond it.
    const double k = unitsPerMm(idx[0]);
    const double slack = k == 1 ? 0.01 : 1.0 / k;  // mm, or one pixel
    bed->minX -= slack;
    bed->minY -= slack;
    bed->maxX += slack;
    bed->maxY += slack;
    return true;
  }

  ScanStatus applyArea(const scanarea::Bed& bed, const ScanAreaMm& a) {
    // Move the top-left corner out of the way first, so that no backend sees
    // a bottom-right edge left of or above the old top-left one.
    ScanStatus status;
    for (const auto& [name, value] : {std::pair{SANE_NAME_SCAN_TL_X, bed.minX}, {SANE_NAME_SCAN_TL_Y, bed.minY},
                                       {SANE_NAME_SCAN_BR_X, a.right}, {SANE_NAME_SCAN_BR_Y, a.bottom},
                                       {SANE_NAME_SCAN_TL_X, a.left}, {SANE_NAME_SCAN_TL_Y, a.top}}) {
      ScanStatus s;
      if (!setLength(name, value, &s)) s = unsupported(QStringLiteral("choosing the scan area"));
      if (!s.ok() && status.ok()) status = s;
    }
    return status;
  }

  QString sourceEntry(ScanSource source) const {
    const QStringList entries = stringList(optionIndex(SANE_NAME_SCAN_SOURCE));
    for (const QString& e : entries) {
      if (source == ScanSource::Duplex && isDuplexEntry(e)) return e;
      if (source == ScanSource::Feeder && isFeederEntry(e)) return e;
    }
    if (source != ScanSource::Flatbed) return {};
    for (const QString& e : entries)
      if (e.contains(QLatin1String("flatbed"), Qt::CaseInsensitive)) return e;
    for (const QString& e : entries)
      if (!isFeederEntry(e) && !isDuplexEntry(e)) return e;
    return {};
  }

  // The entry of the "adf-mode" option (epson2, kodakaio, magicolor) that
  // switches the feeder to both sides or back; empty when there is none.
  QString adfModeEntry(bool duplex) const {
    for (const QString& e : stringList(optionIndex("adf-mode")))
      if (containsAny(e, {duplex ? "duplex" : "simplex"})) return e;
    return {};
  }
  bool duplexThroughAdfMode() const {
    return !sourceEntry(ScanSource::Feeder).isEmpty() && !adfModeEntry(true).isEmpty();
  }

  void readBackResolution() {
    double value = 0;
    if (readNumber(optionIndex(SANE_NAME_SCAN_RESOLUTION), &value)) resolutionInForce = static_cast<int>(std::lround(value));
  }
};

SaneDriver::SaneDriver() : impl_(std::make_unique<Impl>()) {}

SaneDriver::~SaneDriver() { shutdown(); }

bool SaneDriver::startup() {
  if (impl_->started && sessionBroken) {
    // Ends this driver's part of the failed session; acquireSession below
    // starts SANE again.
    close();
    impl_->started = false;
    releaseSession();
  }
  if (!impl_->started) {
    if (!acquireSession()) return false;
    impl_->started = true;
  }
  return true;
}

void SaneDriver::shutdown() {
  close();
  if (impl_->started) {
    impl_->started = false;
    releaseSession();
  }
}

QList<ScanDevice> SaneDriver::listDevices() {
  QList<ScanDevice> devices;
  const SANE_Device** list = nullptr;
  if (!impl_->started || sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list) return devices;
  for (int i = 0; list[i]; ++i) {
    devices.append({QString::fromUtf8(list[i]->name), QString::fromUtf8(list[i]->vendor),
                    QString::fromUtf8(list[i]->model)});
  }
  return devices;
}

ScanStatus SaneDriver::open(const ScanDevice& device) {
  close();
  if (!impl_->started) return ScanStatus::error(scanerror::kDeviceManagerFailed, QStringLiteral("The scanner software is not started"));
  // Straight by name: the dll backend loads only the device's own backend,
  // so no network probe of any other backend stands in the way.
  const QString shown = QStringLiteral("%1 (%2)").arg(device.productName(), device.name);
  SANE_Handle handle = nullptr;
  const SANE_Status status = sane_open(device.name.toUtf8().constData(), &handle);
  if (status != SANE_STATUS_GOOD) {
    if (status == SANE_STATUS_INVAL)
      return ScanStatus::error(scanerror::kSourceNotAvailable,
                               QStringLiteral("The scanner \"%1\" is no longer available").arg(shown));
    return ScanStatus::error(scanerror::kOpenFailed, QStringLiteral("The scanner \"%1\" could not be opened: %2")
                                                         .arg(shown, outcomeForSaneStatus(status, 0).status.text));
  }
  impl_->handle = handle;
  impl_->reloadOptions();
  impl_->readBackResolution();
  return {};
}

void SaneDriver::close() {
  if (!impl_->handle) return;
  endScan();
  sane_close(impl_->handle);
  impl_->handle = nullptr;
  impl_->optionCount = 0;
}

ScanStatus SaneDriver::setMode(ScanMode mode) {
  if (!impl_->handle) return ScanStatus::error(scanerror::kSourceNotOpen, QStringLiteral("No scanner is open"));
  const int modeOption = impl_->optionIndex(SANE_NAME_SCAN_MODE);
  const int depthOption = impl_->optionIndex(SANE_NAME_BIT_DEPTH);
  const QStringList modes = impl_->stringList(modeOption);
  auto find = [&](std::initializer_list<const char*> names) -> QString {
    for (const char* name : names)
      for (const QString& m : modes)
        if (m.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return m;
    return {};
  };
  auto depthAllows = [&](int depth) {
    const auto* d = impl_->descriptor(depthOption);
    return d && impl_->constrained(depthOption, depth) == depth;
  };
  QString entry;
  int depth = 8;
  switch (mode) {
    case ScanMode::Lineart:
      entry = find({SANE_VALUE_SCAN_MODE_LINEART, "Binary", "Black & White", "Bw"});
      depth = 1;
      if (entry.isEmpty() && depthAllows(1)) entry = find({SANE_VALUE_SCAN_MODE_GRAY, "Grayscale", "Gray"});
      else if (!entry.isEmpty()) depth = 0;  // the mode decides the depth itself
      break;
    case ScanMode::Gray: entry = find({SANE_VALUE_SCAN_MODE_GRAY, "Grayscale", "Grey"}); break;
    case ScanMode::Color: entry = find({SANE_VALUE_SCAN_MODE_COLOR, "Colour", "24bit Color"}); break;
  }
  static const char* const names[] = {"black and white", "grey", "colour"};
  if (entry.isEmpty()) return unsupported(QString::fromLatin1(names[static_cast<int>(mode)]));
  ScanStatus status = impl_->setString(modeOption, entry);
  if (!status.ok()) return status;
  const int newDepthOption = impl_->optionIndex(SANE_NAME_BIT_DEPTH);  // the mode may (de)activate it
  if (depth > 0 && newDepthOption >= 0 && impl_->constrained(newDepthOption, depth) == depth)
    status = impl_->setNumber(newDepthOption, depth);
  impl_->readBackResolution();
  return status;
}

ScanStatus SaneDriver::setResolution(int dotsPerInch) {
  if (!impl_->handle) return ScanStatus::error(scanerror::kSourceNotOpen, QStringLiteral("No scanner is open"));
  const int option = impl_->optionIndex(SANE_NAME_SCAN_RESOLUTION);
  if (option < 0) return unsupported(QStringLiteral("setting the resolution"));
  const ScanStatus status = impl_->setNumber(option, impl_->constrained(option, dotsPerInch));
  impl_->readBackResolution();
  return status;
}

int SaneDriver::resolution() { return impl_->resolutionInForce; }

ScanStatus SaneDriver::setArea(const ScanAreaMm& area) {
  if (!impl_->handle) return ScanStatus::error(scanerror::kSourceNotOpen, QStringLiteral("No scanner is open"));
  const ScanStatus page = impl_->setPageSize(area);
  if (page.isFailure()) return page;
  int idx[4];
  scanarea::Bed bed;
  if (!impl_->geometry(idx, &bed)) return unsupported(QStringLiteral("choosing the scan area"));
  const scanarea::Clamped clamped = scanarea::clampToBed(area, bed);
  if (clamped.empty)
    return ScanStatus::error(scanerror::kAreaOutsideBed, QStringLiteral("The requested scan area lies outside the scanner's bed"));
  const ScanStatus status = impl_->applyArea(bed, clamped.area);
  if (!status.ok()) return status;
  if (clamped.reduced)
    return ScanStatus::error(scanerror::kAreaReducedToBed, QStringLiteral("The scan area was reduced to the scanner's bed"));
  return {};
}

ScanStatus SaneDriver::setWholeBed() {
  if (!impl_->handle) return ScanStatus::error(scanerror::kSourceNotOpen, QStringLiteral("No scanner is open"));
  int idx[4];
  scanarea::Bed bed;
  if (!impl_->geometry(idx, &bed)) return {};  // no geometry options: the device scans what it has
  return impl_->applyArea(bed, {bed.minX, bed.minY, bed.maxX, bed.maxY});
}

ScanStatus SaneDriver::setSource(ScanSource source) {
  if (!impl_->handle) return ScanStatus::error(scanerror::kSourceNotOpen, QStringLiteral("No scanner is open"));
  const int option = impl_->optionIndex(SANE_NAME_SCAN_SOURCE);
  if (option < 0) return source == ScanSource::Flatbed ? ScanStatus{} : unsupported(QStringLiteral("a document feeder"));
  QString entry = impl_->sourceEntry(source);
  ScanStatus warning;
  // Both sides either through a source entry of their own or through the
  // feeder with "adf-mode" set to duplex.
  bool adfDuplex = false;
  if (entry.isEmpty() && source == ScanSource::Duplex) {
    entry = impl_->sourceEntry(ScanSource::Feeder);
    adfDuplex = impl_->duplexThroughAdfMode();
    if (!adfDuplex)
      warning = ScanStatus::error(scanerror::kSettingUnsupported,
                                  QStringLiteral("The scanner cannot scan both sides of a page: only the front sides "
                                                 "were scanned"));
  }
  if (entry.isEmpty()) return unsupported(source == ScanSource::Flatbed ? QStringLiteral("a flatbed") : QStringLiteral("a document feeder"));
  ScanStatus status = impl_->setString(option, entry);
  if (!status.ok()) return status;
  // The source may have switched "adf-mode" on; set it after the source.
  const QString adfMode = impl_->adfModeEntry(adfDuplex);
  const int adfOption = impl_->optionIndex("adf-mode");
  if (source != ScanSource::Flatbed && adfOption >= 0 && !adfMode.isEmpty()) {
    status = impl_->setString(adfOption, adfMode);
    if (!status.ok() && adfDuplex) return status;
  }
  return warning;
}

bool SaneDriver::hasFeeder() {
  return impl_->handle && (!impl_->sourceEntry(ScanSource::Feeder).isEmpty() || hasDuplex());
}

bool SaneDriver::hasDuplex() {
  return impl_->handle && (!impl_->sourceEntry(ScanSource::Duplex).isEmpty() || impl_->duplexThroughAdfMode());
}

bool SaneDriver::feederLoaded() {
  if (!impl_->handle) return false;
  const int option = impl_->optionIndex("page-loaded");
  const auto* d = impl_->descriptor(option);
  if (!d || d->type != SANE_TYPE_BOOL) return true;  // no sensor: the first start will tell
  SANE_Bool loaded = SANE_TRUE;
  if (sane_control_option(impl_->handle, option, SANE_ACTION_GET_VALUE, &loaded, nullptr) != SANE_STATUS_GOOD) return true;
  return loaded == SANE_TRUE;
}

PageOutcome SaneDriver::startPage(int pagesDone) {
  if (!impl_->handle) return {PageOutcome::Failed, ScanStatus::error(scanerror::kSourceNotOpen, QStringLiteral("No scanner is open"))};
  if (pagesDone == 0) impl_->cancelRequested = false;
  impl_->pagesDoneAtStart = pagesDone;
  if (impl_->cancelRequested) return {PageOutcome::Cancelled, {}};
  impl_->scanning = true;
  const SANE_Status status = sane_start(impl_->handle);
  if (impl_->cancelRequested) return {PageOutcome::Cancelled, {}};
  return failedRead(outcomeForSaneStatus(status, pagesDone));
}

namespace {


// Watches a page while it is read: a sane_read that blocks is reached by
// sane_cancel when the user cancels or the device stays silent too long;
// meanwhile the UI hears from the page (kHeartbeat).
class ReadWatchdog {
 public:
  ReadWatchdog(SANE_Handle handle, std::atomic<bool>& inRead, std::atomic<long long>& readSinceMs,
               std::atomic<long long>& lastDataMs, std::atomic<bool>& cancelRequested, std::atomic<bool>& stalled,
               std::atomic<bool>& cancelSent, std::function<void()> heartbeat)
      : thread_([=, &inRead, &readSinceMs, &lastDataMs, &cancelRequested, &stalled, &cancelSent, this] {
          std::unique_lock lock(mutex_);
          long long lastBeat = nowMs();
          while (!wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_; })) {
            const long long now = nowMs();
            if (!inRead || now - readSinceMs < kBlockedRead.count()) continue;
            if (now - lastBeat >= kHeartbeat.count()) {
              lastBeat = now;
              heartbeat();
            }
            const bool stop = cancelRequested || now - lastDataMs >= stallTimeoutMs;
            if (stop && !cancelSent.exchange(true)) {
              if (!cancelRequested) stalled = true;
              sane_cancel(handle);
            }
          }
        }) {}
  ~ReadWatchdog() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace

PageOutcome SaneDriver::readPage(QImage* image, const Progress& progress) {
  FrameAssembler assembler;
  std::vector<SANE_Byte> buffer(64 * 1024);
  int frame = 0;
  size_t pageBytes = 0;
  std::atomic<int> lastPercent{-1};
  impl_->stalled = false;
  impl_->cancelSent = false;
  impl_->lastDataMs = nowMs();
  // What ends a page early, once the reads have stopped.
  auto interrupted = [this]() -> std::optional<PageOutcome> {
    if (impl_->cancelRequested) return PageOutcome{PageOutcome::Cancelled, {}};
    if (impl_->stalled || nowMs() - impl_->lastDataMs >= stallTimeoutMs) {
      markSessionBroken();
      return PageOutcome{PageOutcome::Failed, stalledStatus()};
    }
    return std::nullopt;
  };
  const auto heartbeat = [&progress, &lastPercent] {
    if (progress && lastPercent >= 0) progress(lastPercent);
  };
  ReadWatchdog watchdog(impl_->handle, impl_->inRead, impl_->readSinceMs, impl_->lastDataMs, impl_->cancelRequested,
                        impl_->stalled, impl_->cancelSent, heartbeat);
  for (;;) {
    SANE_Parameters parameters;
    SANE_Status status = sane_get_parameters(impl_->handle, &parameters);
    if (status != SANE_STATUS_GOOD) return failedRead(outcomeForSaneStatus(status, 1));
    const FrameParameters frameParams = frameParameters(parameters);
    if (!assembler.beginFrame(frameParams))
      return {PageOutcome::Failed, ScanStatus::error(scanerror::kBadFrame, assembler.error())};
    const bool singleChannel = frameParams.format != FrameParameters::Gray && frameParams.format != FrameParameters::Rgb;
    const int frames = singleChannel ? 3 : 1;
    if (lastPercent < 0 && progress) progress(lastPercent = 0);
    auto pause = std::chrono::milliseconds(0);
    long long lastBeat = nowMs();
    for (;;) {
      if (auto early = interrupted()) return *early;
      SANE_Int length = 0;
      impl_->readSinceMs = nowMs();
      impl_->inRead = true;
      status = sane_read(impl_->handle, buffer.data(), static_cast<SANE_Int>(buffer.size()), &length);
      impl_->inRead = false;
      if (status == SANE_STATUS_EOF) break;
      if (auto early = interrupted()) return *early;
      if (status != SANE_STATUS_GOOD) {
        // No documents before the page's first byte: the feeder is empty
        // (or, after pages, the batch is over), as if sane_start had said so.
        if (status == SANE_STATUS_NO_DOCS && pageBytes == 0 && frame == 0)
          return outcomeForSaneStatus(status, impl_->pagesDoneAtStart);
        PageOutcome outcome = outcomeForSaneStatus(status, 1);
        if (outcome.kind == PageOutcome::Done || outcome.kind == PageOutcome::NoMorePages)
          outcome = {PageOutcome::Failed, ScanStatus::error(scanerror::kDeviceError, QStringLiteral("The scanner stopped in the middle of a page"))};
        return failedRead(outcome);
      }
      if (length <= 0) {
        // Nothing yet (or a connection that went silent): wait a little
        // longer each time instead of asking again at once.
        pause = std::clamp(pause * 2, std::chrono::milliseconds(1), std::chrono::milliseconds(100));
        std::this_thread::sleep_for(pause);
        if (nowMs() - lastBeat >= kHeartbeat.count()) {
          lastBeat = nowMs();
          heartbeat();
        }
        continue;
      }
      pause = std::chrono::milliseconds(0);
      impl_->lastDataMs = lastBeat = nowMs();
      pageBytes += static_cast<size_t>(length);
      assembler.addData(buffer.data(), static_cast<size_t>(length));
      const int percent = std::min(frame, frames - 1) * 100 / frames + assembler.percentOfFrame() / frames;
      if (progress && percent != lastPercent) progress(lastPercent = percent);
    }
    ++frame;
    if (parameters.last_frame) break;
    status = sane_start(impl_->handle);
    if (status != SANE_STATUS_GOOD) {
      PageOutcome outcome = outcomeForSaneStatus(status, 1);
      if (outcome.kind == PageOutcome::NoMorePages) outcome.kind = PageOutcome::Failed;
      return failedRead(outcome);
    }
  }
  *image = assembler.takeImage();
  if (image->isNull())
    return {PageOutcome::Failed, ScanStatus::error(scanerror::kBadFrame, QStringLiteral("The scanner sent no image data"))};
  if (impl_->resolutionInForce > 0) {
    const int dotsPerMeter = static_cast<int>(std::lround(impl_->resolutionInForce / 0.0254));
    image->setDotsPerMeterX(dotsPerMeter);
    image->setDotsPerMeterY(dotsPerMeter);
  }
  if (progress) progress(100);
  return {};
}

void SaneDriver::endScan() {
  if (!impl_->scanning || !impl_->handle) return;
  impl_->scanning = false;
  sane_cancel(impl_->handle);
}

void SaneDriver::cancel() { impl_->cancelRequested = true; }

bool SaneDriver::setExtraOption(const QString& name, const QString& value) {
  if (!impl_->handle) return false;
  const int option = impl_->optionIndex(name.toUtf8().constData());
  const auto* d = impl_->descriptor(option);
  if (!d || !SANE_OPTION_IS_SETTABLE(d->cap)) return false;
  switch (d->type) {
    case SANE_TYPE_STRING: return impl_->setString(option, value).ok();
    case SANE_TYPE_BOOL: {
      SANE_Bool b = (value == QLatin1String("yes") || value == QLatin1String("true") || value == QLatin1String("1")) ? SANE_TRUE : SANE_FALSE;
      return impl_->set(option, &b).ok();
    }
    case SANE_TYPE_INT:
    case SANE_TYPE_FIXED: {
      bool ok = false;
      const double number = value.toDouble(&ok);
      return ok && d->size == sizeof(SANE_Word) && impl_->setNumber(option, number).ok();
    }
    default: return false;
  }
}

PageOutcome SaneDriver::outcomeForSaneStatus(int saneStatus, int pagesDone) {
  auto failed = [](int code, const char* text) {
    return PageOutcome{PageOutcome::Failed, ScanStatus::error(code, QString::fromLatin1(text))};
  };
  switch (saneStatus) {
    case SANE_STATUS_GOOD:
    case SANE_STATUS_EOF: return {};
    case SANE_STATUS_CANCELLED: return {PageOutcome::Cancelled, {}};
    case SANE_STATUS_NO_DOCS:
      if (pagesDone > 0) return {PageOutcome::NoMorePages, {}};
      return failed(scanerror::kFeederEmpty, "The document feeder is empty: there are no pages to scan");
    case SANE_STATUS_UNSUPPORTED: return failed(scanerror::kUnsupported, "Operation not supported");
    case SANE_STATUS_DEVICE_BUSY: return failed(scanerror::kDeviceBusy, "Device busy");
    case SANE_STATUS_INVAL: return failed(scanerror::kInvalidArgument, "Invalid argument");
    case SANE_STATUS_JAMMED: return failed(scanerror::kFeederJammed, "Document feeder jammed");
    case SANE_STATUS_COVER_OPEN: return failed(scanerror::kCoverOpen, "Scanner cover is open");
    case SANE_STATUS_IO_ERROR: return failed(scanerror::kIoError, "Error during device I/O");
    case SANE_STATUS_NO_MEM: return failed(scanerror::kOutOfMemory, "Out of memory");
    case SANE_STATUS_ACCESS_DENIED: return failed(scanerror::kAccessDenied, "Access to resource has been denied");
    default:
      // Also what the net backend hands on once its server is gone: a value
      // no backend defines.
      return failed(scanerror::kDeviceError,
                    "The scanner reported an error this program does not know; check the scanner and its "
                    "connection, then scan again");
  }
}

void SaneDriver::setStallTimeout(std::chrono::milliseconds timeout) { stallTimeoutMs = timeout.count(); }

void SaneDriver::setAuthorizer(QObject* context, Authorizer ask) {
  std::lock_guard lock(authorizerMutex);
  authorizerContext = context;
  authorizer = std::move(ask);
}
