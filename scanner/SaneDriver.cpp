#include "scanner/SaneDriver.h"

#include "scanner/ScanArea.h"
#include "scanner/FrameAssembler.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// sane_init and sane_exit are process-wide; every driver shares one session.
std::mutex sessionMutex;
int sessionUsers = 0;

bool acquireSession() {
  std::lock_guard lock(sessionMutex);
  if (sessionUsers == 0) {
    SANE_Int version = 0;
    if (sane_init(&version, nullptr) != SANE_STATUS_GOOD) return false;
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

}  // namespace

class SaneDriver::Impl {
 public:
  bool started = false;
  SANE_Handle handle = nullptr;
  bool scanning = false;  // a sane_start has not yet had its sane_cancel
  // Set by cancel() from any thread; the worker answers it with its one
  // sane_cancel between two reads. Calling sane_cancel from the other thread
  // while sane_read runs is allowed by SANE but not survived by every backend.
  std::atomic<bool> cancelRequested{false};
  int resolutionInForce = 0;

  int optionIndex(const char* name) const {
    if (!handle) return -1;
    SANE_Int count = 0;
    if (sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD) return -1;
    for (SANE_Int i = 1; i < count; ++i) {
      const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
      if (d && d->name && std::strcmp(d->name, name) == 0) return SANE_OPTION_IS_ACTIVE(d->cap) ? i : -1;
    }
    return -1;
  }
  const SANE_Option_Descriptor* descriptor(int index) const {
    return index < 0 ? nullptr : sane_get_option_descriptor(handle, index);
  }

  ScanStatus set(int index, void* value) {
    SANE_Int info = 0;
    const SANE_Status status = sane_control_option(handle, index, SANE_ACTION_SET_VALUE, value, &info);
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

  bool range(int index, double* lo, double* hi) const {
    const auto* d = descriptor(index);
    if (!d || d->constraint_type != SANE_CONSTRAINT_RANGE || d->unit != SANE_UNIT_MM) return false;
    *lo = toDouble(d, d->constraint.range->min);
    *hi = toDouble(d, d->constraint.range->max);
    return true;
  }

  // The four geometry options and the bed they span, when the device has them in mm.
  bool geometry(int idx[4], scanarea::Bed* bed) const {
    const char* names[4] = {SANE_NAME_SCAN_TL_X, SANE_NAME_SCAN_TL_Y, SANE_NAME_SCAN_BR_X, SANE_NAME_SCAN_BR_Y};
    for (int i = 0; i < 4; ++i)
      if ((idx[i] = optionIndex(names[i])) < 0) return false;
    double lo = 0, hi = 0;
    if (!range(idx[0], &bed->minX, &hi) || !range(idx[2], &lo, &bed->maxX)) return false;
    if (!range(idx[1], &bed->minY, &hi) || !range(idx[3], &lo, &bed->maxY)) return false;
    return true;
  }

  ScanStatus applyArea(const int idx[4], const scanarea::Bed& bed, const ScanAreaMm& a) {
    // Move the top-left corner out of the way first, so that no backend sees
    // a bottom-right edge left of or above the old top-left one.
    ScanStatus status;
    for (const auto& [index, value] : {std::pair{idx[0], bed.minX}, {idx[1], bed.minY}, {idx[2], a.right},
                                        {idx[3], a.bottom}, {idx[0], a.left}, {idx[1], a.top}}) {
      const ScanStatus s = setNumber(index, value);
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

  void readBackResolution() {
    double value = 0;
    if (readNumber(optionIndex(SANE_NAME_SCAN_RESOLUTION), &value)) resolutionInForce = static_cast<int>(std::lround(value));
  }
};

SaneDriver::SaneDriver() : impl_(std::make_unique<Impl>()) {}

SaneDriver::~SaneDriver() { shutdown(); }

bool SaneDriver::startup() {
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
  impl_->readBackResolution();
  return {};
}

void SaneDriver::close() {
  if (!impl_->handle) return;
  endScan();
  sane_close(impl_->handle);
  impl_->handle = nullptr;
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
  int idx[4];
  scanarea::Bed bed;
  if (!impl_->geometry(idx, &bed)) return unsupported(QStringLiteral("choosing the scan area"));
  const scanarea::Clamped clamped = scanarea::clampToBed(area, bed);
  if (clamped.empty)
    return ScanStatus::error(scanerror::kAreaOutsideBed, QStringLiteral("The requested scan area lies outside the scanner's bed"));
  const ScanStatus status = impl_->applyArea(idx, bed, clamped.area);
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
  return impl_->applyArea(idx, bed, {bed.minX, bed.minY, bed.maxX, bed.maxY});
}

ScanStatus SaneDriver::setSource(ScanSource source) {
  if (!impl_->handle) return ScanStatus::error(scanerror::kSourceNotOpen, QStringLiteral("No scanner is open"));
  const int option = impl_->optionIndex(SANE_NAME_SCAN_SOURCE);
  if (option < 0) return source == ScanSource::Flatbed ? ScanStatus{} : unsupported(QStringLiteral("a document feeder"));
  QString entry = impl_->sourceEntry(source);
  ScanStatus warning;
  if (entry.isEmpty() && source == ScanSource::Duplex) {
    entry = impl_->sourceEntry(ScanSource::Feeder);
    warning = unsupported(QStringLiteral("duplex scanning"));
  }
  if (entry.isEmpty()) return unsupported(source == ScanSource::Flatbed ? QStringLiteral("a flatbed") : QStringLiteral("a document feeder"));
  const ScanStatus status = impl_->setString(option, entry);
  return status.ok() ? warning : status;
}

bool SaneDriver::hasFeeder() {
  return impl_->handle && (!impl_->sourceEntry(ScanSource::Feeder).isEmpty() || hasDuplex());
}

bool SaneDriver::hasDuplex() { return impl_->handle && !impl_->sourceEntry(ScanSource::Duplex).isEmpty(); }

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
  if (impl_->cancelRequested) return {PageOutcome::Cancelled, {}};
  impl_->scanning = true;
  const SANE_Status status = sane_start(impl_->handle);
  if (impl_->cancelRequested) return {PageOutcome::Cancelled, {}};
  return outcomeForSaneStatus(status, pagesDone);
}

PageOutcome SaneDriver::readPage(QImage* image, const Progress& progress) {
  FrameAssembler assembler;
  std::vector<SANE_Byte> buffer(64 * 1024);
  int frame = 0;
  for (;;) {
    SANE_Parameters parameters;
    SANE_Status status = sane_get_parameters(impl_->handle, &parameters);
    if (status != SANE_STATUS_GOOD) return outcomeForSaneStatus(status, 1);
    const FrameParameters frameParams = frameParameters(parameters);
    if (!assembler.beginFrame(frameParams))
      return {PageOutcome::Failed, ScanStatus::error(scanerror::kBadFrame, assembler.error())};
    const bool singleChannel = frameParams.format != FrameParameters::Gray && frameParams.format != FrameParameters::Rgb;
    const int frames = singleChannel ? 3 : 1;
    int lastPercent = -1;
    for (;;) {
      if (impl_->cancelRequested) return {PageOutcome::Cancelled, {}};
      SANE_Int length = 0;
      status = sane_read(impl_->handle, buffer.data(), static_cast<SANE_Int>(buffer.size()), &length);
      if (status == SANE_STATUS_EOF) break;
      if (status != SANE_STATUS_GOOD) {
        PageOutcome outcome = outcomeForSaneStatus(status, 1);
        if (outcome.kind == PageOutcome::Done || outcome.kind == PageOutcome::NoMorePages)
          outcome = {PageOutcome::Failed, ScanStatus::error(scanerror::kDeviceError, QStringLiteral("The scanner stopped in the middle of a page"))};
        return outcome;
      }
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
      return outcome;
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
      return {PageOutcome::Failed,
              ScanStatus::error(scanerror::kDeviceError, QStringLiteral("The scanner reported an unknown error (%1)").arg(saneStatus))};
  }
}
