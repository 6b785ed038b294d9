#include "scanner/VSTWAINLib_OCX.h"

#include "scanner/BlankPage.h"
#include "scanner/ImageFileWriter.h"
#include "scanner/ScanArea.h"
#include "scanner/ScanDriver.h"
#include "scanner/ScanWorker.h"
#include "scanner/SourceList.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

namespace {

// What a job asked for; copied to the worker when an acquisition starts.
struct Settings {
  std::optional<int> pixelType;
  std::optional<int> resolution;
  int pageSize = 0;
  bool pageSizeSet = false;
  std::optional<ScanAreaMm> layout;
  int unitOfMeasure = scanarea::kUnitInches;
  bool feederEnabled = false;
  bool duplexEnabled = false;
  int xferCount = -1;
};

ScanMode modeFor(int pixelType) {
  return pixelType == 0 ? ScanMode::Lineart : pixelType == 1 ? ScanMode::Gray : ScanMode::Color;
}

ScanStatus unsupportedSetting(const QString& what) {
  return ScanStatus::error(scanerror::kSettingUnsupported,
                           QStringLiteral("The scanner does not support %1; the setting was left unchanged").arg(what));
}

int dotsPerInch(const QImage& image) {
  return static_cast<int>(std::lround(image.dotsPerMeterX() * 0.0254));
}

// A source listing running on the worker; its results are read on the UI
// thread only once the worker has passed it.
struct Listing {
  ScanStatus injected;  // the scripted answer to its StartDevice()
  bool list = true;      // false: StartDevice only starts the driver and keeps the list
  bool refresh = false;  // RefreshSources: the list is made again, the choice kept
  bool ok = false;
  QList<ScanDevice> devices;
  int defaultDevice = -1;
};

// One acquisition, shared by the UI thread and the worker.
struct Acquisition {
  int id = 0;
  std::atomic<bool> abandoned{false};    // replaced or destroyed: stop now, drop its events
  std::atomic<bool> interrupted{false};  // the user asked to stop after this page
  std::mutex mutex;
  std::condition_variable handledWake;
  int delivered = 0;  // pages posted to the UI
  int handled = 0;    // pages whose OnPostScan has returned
};

}  // namespace

class TVintaSoftTwain::Private {
 public:
  explicit Private(TVintaSoftTwain* q) : q(q) {}

  TVintaSoftTwain* q;
  std::unique_ptr<ScanDriver> driver;
  std::unique_ptr<ScanWorker> worker;

  // Device state as the UI thread knows it.
  bool started = false;
  bool listed = false;  // a listing with the driver started has been taken over
  QList<ScanDevice> devices;
  int sourceIndex = -1;
  int openIndex = -1;
  bool feederPresent = false;
  int resolutionInForce = 0;
  Settings settings;

  // What the program reads; each event rewrites it for its own handler.
  int imageCount = 0;
  int xferPending = 0;
  int errorCode = 0;
  QString errorString;
  QImage image;  // the newest page, index imageCount - 1

  std::shared_ptr<Acquisition> acquisition;
  int nextAcquisitionId = 1;
  std::shared_ptr<Listing> listing;

  // Starts a listing: StartDevice's note and reset, on the UI thread.
  std::shared_ptr<Listing> beginListing() {
    auto job = std::make_shared<Listing>();
    job->injected = note(QStringLiteral("StartDevice()"));
    clearError();
    abandonAcquisition();
    return job;
  }

  // The driver's part of a listing; runs on the worker.
  void listOnWorker(Listing& job) {
    // A device stays closed while its backend probes, so a backend that
    // opens its devices to identify them finds this one free.
    if (job.refresh) driver->close();
    job.ok = driver->startup();
    if (job.ok && job.list) {
      job.devices = driver->listDevices();
      job.defaultDevice = driver->defaultDevice(job.devices);
    }
  }

  // Takes over what a StartDevice's listing brought.
  void applyListing(const Listing& job) {
    started = job.ok;
    if (job.list) {
      devices = job.devices;
      sourceIndex = job.ok ? job.defaultDevice : -1;
      listed = job.ok;
    }
    if (!job.ok) raise(ScanStatus::error(scanerror::kDeviceManagerFailed, QStringLiteral("The scanner software could not be started")));
    raise(job.injected);
  }

  // Takes over a refreshed list: the chosen device stays chosen, wherever it
  // moved. A failed refresh keeps the list as it was.
  void applyRefresh(const Listing& job) {
    if (!job.ok) return;
    const sourcelist::Refreshed fresh = sourcelist::refreshed(devices, sourceIndex, job.devices, job.defaultDevice);
    devices = fresh.devices;
    sourceIndex = fresh.selected;
  }

  // Delivers a background listing unless it was delivered already.
  void finishListing(const std::shared_ptr<Listing>& job) {
    if (!job || listing != job) return;
    listing.reset();
    if (job->refresh) {
      applyRefresh(*job);
      emit q->SourcesRefreshed(job->ok ? 1 : 0);
    } else {
      applyListing(*job);
      emit q->SourcesListed(job->ok ? 1 : 0);
    }
  }

  // Waits for a background listing still running and delivers it; with
  // `painting`, as runWhilePainting waits, during which the listing's own
  // delivery may come in.
  void settleListing(bool painting = false) {
    if (!listing) return;
    const std::shared_ptr<Listing> job = listing;
    // Tasks run in order: the listing is done after an empty one.
    if (painting)
      runWhilePainting([] {});
    else
      worker->runSync([] {});
    finishListing(job);
  }

  // Runs `task` on the worker while this thread keeps its windows painted:
  // listing the sources can take seconds, and a window that doesn't even
  // show the job's status meanwhile looks hung. Timers and paints are
  // served; the user's input waits until the task is done, so no other
  // command starts in between.
  void runWhilePainting(const std::function<void()>& task) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
      worker->runSync(task);
      return;
    }
    QEventLoop loop;
    bool done = false;
    worker->post([&task, &loop, &done] {
      task();
      QMetaObject::invokeMethod(
          &loop,
          [&loop, &done] {
            done = true;
            loop.quit();
          },
          Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // The loop also ends when the application quits. Then the task may
    // still run: wait for it (tasks run in order); the call it posted goes
    // with the loop.
    if (!done) worker->runSync([] {});
  }

  ScanStatus note(const QString& entry) { return driver->note(entry); }

  void clearError() {
    errorCode = 0;
    errorString.clear();
  }
  void raise(const ScanStatus& status) {
    if (status.ok()) return;
    if (status.isWarning() && errorCode != 0 && !scanerror::isWarning(errorCode)) return;
    errorCode = status.code;
    errorString = status.text;
  }

  bool isAcquiring() const { return acquisition != nullptr; }

  void abandonAcquisition() {
    if (!acquisition) return;
    {
      // Under the mutex, so a worker about to wait for the UI cannot miss it.
      std::lock_guard lock(acquisition->mutex);
      acquisition->abandoned = true;
    }
    acquisition->handledWake.notify_all();
    driver->cancel();
    acquisition.reset();
    xferPending = 0;
  }

  // Runs `apply` on the open source now; otherwise it waits for Acquire.
  void applyNow(const std::function<ScanStatus()>& apply) {
    if (openIndex < 0 || isAcquiring()) return;
    ScanStatus status;
    worker->runSync([&] {
      status = apply();
      resolutionInForce = driver->resolution();
    });
    raise(status);
  }

  bool validImage(int index) {
    if (index == imageCount - 1 && !image.isNull()) return true;
    raise(ScanStatus::error(scanerror::kImageIndexOutOfRange,
                            imageCount == 0 ? QStringLiteral("There is no acquired image")
                                            : QStringLiteral("Image %1 is not buffered; only the newest image (%2) is kept")
                                                  .arg(index)
                                                  .arg(imageCount - 1)));
    return false;
  }

  // --- worker side: these run on the worker thread and touch only the driver.

  static ScanStatus applyArea(ScanDriver& driver, const Settings& s) {
    if (s.pageSizeSet && s.pageSize != 0) {
      if (const auto area = scanarea::pageAreaMm(s.pageSize)) return driver.setArea(*area);
    }
    if (s.pageSizeSet && s.pageSize == 0 && s.layout) return driver.setArea(*s.layout);
    return driver.setWholeBed();
  }
  static ScanStatus applySource(ScanDriver& driver, const Settings& s) {
    if (!s.feederEnabled || !driver.hasFeeder()) return driver.setSource(ScanSource::Flatbed);
    return driver.setSource(s.duplexEnabled ? ScanSource::Duplex : ScanSource::Feeder);
  }
  // Applies everything before a scan. Warnings were reported when the job set
  // the values; only failures stop the acquisition here. The one warning
  // returned is a duplex request the source can't honour: the pages come
  // one-sided, and the job's last event says so.
  static ScanStatus applyAll(ScanDriver& driver, const Settings& s) {
    ScanStatus steps[4] = {applySource(driver, s), s.pixelType ? driver.setMode(modeFor(*s.pixelType)) : ScanStatus{},
                           s.resolution ? driver.setResolution(*s.resolution) : ScanStatus{}, applyArea(driver, s)};
    for (const ScanStatus& step : steps)
      if (step.isFailure()) return step;
    if (s.feederEnabled && s.duplexEnabled && steps[0].isWarning()) return steps[0];
    return {};
  }

  void runAcquisition(const std::shared_ptr<Acquisition>& acq, const Settings& s);
  void postPage(const std::shared_ptr<Acquisition>& acq, const QImage& page, int number, bool pending,
                const ScanStatus& status);
  void postReport(const std::shared_ptr<Acquisition>& acq, const ScanStatus& status);

  // --- UI side: events arriving from the worker.

  bool current(const std::shared_ptr<Acquisition>& acq) const { return acquisition == acq && !acq->abandoned; }

  void onProgress(const std::shared_ptr<Acquisition>& acq, int percent) {
    if (!current(acq)) return;
    int interrupt = 0;
    emit q->OnProgress(4, percent, 1, &interrupt);
    if (interrupt == 1) {
      // Stops the page in progress too, not only the pages after it: a page
      // at high resolution can take minutes.
      acq->interrupted = true;
      driver->cancel();
    }
  }

  void onPage(const std::shared_ptr<Acquisition>& acq, const QImage& page, int number, bool pending,
              const ScanStatus& status) {
    if (current(acq)) {
      image = page;
      imageCount = number;
      xferPending = pending ? 1 : 0;
      errorCode = status.code;
      errorString = status.text;
      if (!pending) acquisition.reset();
      emit q->OnPostScan(0);
    }
    {
      std::lock_guard lock(acq->mutex);
      ++acq->handled;
    }
    acq->handledWake.notify_all();
  }

  void onReport(const std::shared_ptr<Acquisition>& acq, const ScanStatus& status) {
    if (!current(acq)) return;
    acquisition.reset();
    xferPending = 0;
    errorCode = status.code;
    errorString = status.text;
    emit q->OnPostScan(1);
  }
};

void TVintaSoftTwain::Private::postPage(const std::shared_ptr<Acquisition>& acq, const QImage& page, int number,
                                        bool pending, const ScanStatus& status) {
  // Back-pressure: hand over a page only once the UI is done with the one
  // before, so at most one page waits while the next is being read.
  {
    std::unique_lock lock(acq->mutex);
    acq->handledWake.wait(lock, [&] { return acq->abandoned || acq->handled == acq->delivered; });
    if (acq->abandoned) return;
    ++acq->delivered;
  }
  QMetaObject::invokeMethod(
      q, [this, acq, page, number, pending, status] { onPage(acq, page, number, pending, status); }, Qt::QueuedConnection);
}

void TVintaSoftTwain::Private::postReport(const std::shared_ptr<Acquisition>& acq, const ScanStatus& status) {
  if (acq->abandoned) return;
  QMetaObject::invokeMethod(q, [this, acq, status] { onReport(acq, status); }, Qt::QueuedConnection);
}

void TVintaSoftTwain::Private::runAcquisition(const std::shared_ptr<Acquisition>& acq, const Settings& s) {
  if (acq->abandoned) return;
  ScanDriver& dev = *driver;
  const ScanStatus setup = applyAll(dev, s);
  if (setup.isFailure()) return postReport(acq, setup);
  const ScanStatus kept = setup;  // a warning for the last page

  const bool feeder = s.feederEnabled && dev.hasFeeder();
  const int limit = !feeder ? 1 : s.xferCount > 0 ? s.xferCount : INT_MAX;
  const auto progress = [this, acq](int percent) {
    if (acq->abandoned) return;
    QMetaObject::invokeMethod(q, [this, acq, percent] { onProgress(acq, percent); }, Qt::QueuedConnection);
  };
  auto errorOf = [](const PageOutcome& outcome) {
    return outcome.kind == PageOutcome::Failed ? outcome.status : ScanStatus{};
  };

  PageOutcome start = dev.startPage(0);
  if (start.kind != PageOutcome::Done) {
    dev.endScan();
    return postReport(acq, errorOf(start));
  }
  std::optional<QImage> pending;
  int pagesRead = 0;
  for (;;) {
    QImage page;
    const PageOutcome read = dev.readPage(&page, progress);
    if (acq->abandoned) break;
    if (read.kind != PageOutcome::Done) {
      // The page in transfer is lost; the one before becomes the last.
      if (pending) postPage(acq, *pending, pagesRead, false, read.kind == PageOutcome::Failed ? errorOf(read) : kept);
      else postReport(acq, errorOf(read));
      break;
    }
    ++pagesRead;
    bool more = pagesRead < limit && !acq->interrupted;
    ScanStatus endStatus;
    if (more) {
      const PageOutcome next = dev.startPage(pagesRead);
      if (acq->abandoned) break;
      more = next.kind == PageOutcome::Done;
      endStatus = errorOf(next);
    }
    if (pending) postPage(acq, *pending, pagesRead - 1, true, {});
    if (!more) {
      postPage(acq, page, pagesRead, false, endStatus.ok() ? kept : endStatus);
      break;
    }
    pending = std::move(page);
  }
  dev.endScan();
}

TVintaSoftTwain::TVintaSoftTwain(std::unique_ptr<ScanDriver> driver, QObject* parent)
    : QObject(parent), d(std::make_unique<Private>(this)) {
  d->driver = std::move(driver);
  d->worker = std::make_unique<ScanWorker>();
}

TVintaSoftTwain::~TVintaSoftTwain() {
  d->abandonAcquisition();
  ScanDriver* driver = d->driver.get();
  d->worker->post([driver] { driver->shutdown(); });
  d->worker.reset();  // joins after the shutdown
}

ScanDriver* TVintaSoftTwain::driver() const { return d->driver.get(); }

bool TVintaSoftTwain::acquiring() const { return d->isAcquiring(); }

QImage TVintaSoftTwain::bufferedImage(int index) const {
  return index == d->imageCount - 1 ? d->image : QImage();
}

long TVintaSoftTwain::StartDevice() {
  waitForSources();
  const std::shared_ptr<Listing> job = d->beginListing();
  // After a listing only the driver is started: that is quick, and a job's
  // StartDevice thus never waits for backends probing the network, also
  // when they found nothing. The list is made again by RefreshSources,
  // outside any job.
  job->list = !d->listed;
  if (job->list) d->runWhilePainting([&] { d->listOnWorker(*job); });
  else d->worker->runSync([&] { d->listOnWorker(*job); });
  d->applyListing(*job);
  if (job->list) emit SourcesRefreshed(job->ok ? 1 : 0);
  return job->ok ? 1 : 0;
}

void TVintaSoftTwain::StartDeviceInBackground() {
  d->settleListing();
  const std::shared_ptr<Listing> job = d->beginListing();
  d->listing = job;
  d->worker->post([this, job] {
    d->listOnWorker(*job);
    // Dropped by Qt when the control is gone by then.
    QMetaObject::invokeMethod(this, [this, job] { d->finishListing(job); }, Qt::QueuedConnection);
  });
}

bool TVintaSoftTwain::RefreshSources() {
  if (d->listing || d->isAcquiring()) return false;
  auto job = std::make_shared<Listing>();
  job->refresh = true;
  d->openIndex = -1;  // the worker closes it first
  d->feederPresent = false;
  d->listing = job;
  d->worker->post([this, job] {
    d->listOnWorker(*job);
    QMetaObject::invokeMethod(this, [this, job] { d->finishListing(job); }, Qt::QueuedConnection);
  });
  return true;
}

bool TVintaSoftTwain::listingSources() const { return d->listing != nullptr && !d->listing->refresh; }

bool TVintaSoftTwain::refreshingSources() const { return d->listing != nullptr && d->listing->refresh; }

void TVintaSoftTwain::waitForSources() { d->settleListing(true); }

QString TVintaSoftTwain::GetSourceProductName(int index) {
  const ScanStatus injected = d->note(QStringLiteral("GetSourceProductName(%1)").arg(index));
  QString name;
  if (index >= 0 && index < d->devices.size()) name = sourcelist::displayNames(d->devices).at(index);
  else d->raise(ScanStatus::error(scanerror::kNoSourceSelected, QStringLiteral("There is no scanner with index %1").arg(index)));
  d->raise(injected);
  return name;
}

QString TVintaSoftTwain::sourceDeviceName(int index) const {
  return index >= 0 && index < d->devices.size() ? d->devices[index].name : QString();
}

long TVintaSoftTwain::OpenDataSource() {
  d->settleListing();
  const ScanStatus injected = d->note(QStringLiteral("OpenDataSource()"));
  d->clearError();
  d->abandonAcquisition();
  const int index = d->sourceIndex;
  ScanStatus status;
  if (!d->started) {
    status = ScanStatus::error(scanerror::kDeviceManagerFailed, QStringLiteral("The scanner software is not started"));
  } else if (index < 0 || index >= d->devices.size()) {
    status = ScanStatus::error(scanerror::kNoSourceSelected, QStringLiteral("No scanner is selected"));
  } else {
    bool feeder = false;
    int resolution = 0;
    const ScanDevice device = d->devices[index];
    // While the scanner opens, this thread keeps serving events: a scanner
    // may ask the user for a password meanwhile.
    d->runWhilePainting([&] {
      status = d->driver->open(device);
      if (status.ok()) {
        feeder = d->driver->hasFeeder();
        resolution = d->driver->resolution();
      }
    });
    d->openIndex = status.ok() ? index : -1;
    d->feederPresent = feeder;
    d->resolutionInForce = resolution;
  }
  if (!status.ok()) d->openIndex = -1;
  // A source opens with its own defaults; what the last job chose is gone.
  const Settings previous = d->settings;
  d->settings = Settings{};
  d->settings.pixelType = previous.pixelType;
  d->settings.resolution = previous.resolution;
  d->settings.unitOfMeasure = previous.unitOfMeasure;
  d->raise(status);
  d->raise(injected);
  return status.ok() ? 0 : 1;
}

long TVintaSoftTwain::Acquire() {
  d->settleListing();
  const ScanStatus injected = d->note(QStringLiteral("Acquire()"));
  d->clearError();
  d->abandonAcquisition();
  d->image = QImage();
  d->imageCount = 0;
  auto acq = std::make_shared<Acquisition>();
  acq->id = d->nextAcquisitionId++;
  d->acquisition = acq;
  if (d->openIndex < 0) {
    // Nothing to scan from: the failure still arrives as an event, so the
    // caller's post-scan handler reports it.
    d->xferPending = 0;
    d->raise(ScanStatus::error(scanerror::kSourceNotOpen, QStringLiteral("No scanner is open")));
    d->postReport(acq, {errorCode(), errorString()});
    d->raise(injected);
    return 1;
  }
  d->xferPending = 1;
  const Settings settings = d->settings;
  d->worker->post([this, acq, settings] { d->runAcquisition(acq, settings); });
  d->raise(injected);
  return 0;
}

long TVintaSoftTwain::SetImageLayout(float left, float top, float right, float bottom) {
  const ScanStatus injected = d->note(QStringLiteral("SetImageLayout(%1,%2,%3,%4)")
                                          .arg(QString::number(left), QString::number(top), QString::number(right),
                                               QString::number(bottom)));
  d->settings.layout = scanarea::layoutAreaMm(left, top, right, bottom, d->settings.unitOfMeasure);
  if (d->settings.pageSizeSet && d->settings.pageSize == 0) {
    const ScanAreaMm area = *d->settings.layout;
    d->applyNow([&] { return d->driver->setArea(area); });
  }
  d->raise(injected);
  return 0;
}

long TVintaSoftTwain::SaveImage(int index, const QString& path, ImageFileUse use) {
  const ScanStatus injected = d->note(QStringLiteral("SaveImage(%1,%2)").arg(index).arg(path));
  long result = 1;
  if (d->validImage(index)) {
    const auto format = imageFileFormatForPath(path);
    QString error;
    bool nameTaken = false;
    if (!format) {
      d->raise(ScanStatus::error(scanerror::kUnknownFileFormat,
                                 QStringLiteral("Unable to write file '%1': unknown image file format").arg(path)));
    } else if (!writeImageFile(d->image, path, *format, dotsPerInch(d->image), &error, use, &nameTaken)) {
      if (nameTaken)
        result = kSaveNameTaken;
      else
        d->raise(ScanStatus::error(scanerror::kFileWriteFailed, error));
    } else {
      result = 0;
    }
  }
  d->raise(injected);
  return result;
}

long TVintaSoftTwain::IsBlankImage(int index, float maxNoiseLevel, float& currentNoiseLevel) {
  const ScanStatus injected =
      d->note(QStringLiteral("IsBlankImage(%1,%2)").arg(index).arg(QString::number(maxNoiseLevel)));
  long result = 0;
  currentNoiseLevel = 0;
  if (d->validImage(index)) {
    currentNoiseLevel = measureNoiseLevel(d->image);
    result = currentNoiseLevel <= maxNoiseLevel ? 1 : 0;
  }
  d->raise(injected);
  return result;
}

long TVintaSoftTwain::GetImageWidth(int index) {
  const ScanStatus injected = d->note(QStringLiteral("GetImageWidth(%1)").arg(index));
  const long width = d->validImage(index) ? d->image.width() : 0;
  d->raise(injected);
  return width;
}

long TVintaSoftTwain::GetImageHeight(int index) {
  const ScanStatus injected = d->note(QStringLiteral("GetImageHeight(%1)").arg(index));
  const long height = d->validImage(index) ? d->image.height() : 0;
  d->raise(injected);
  return height;
}

long TVintaSoftTwain::StopDevice() {
  d->settleListing();
  const ScanStatus injected = d->note(QStringLiteral("StopDevice()"));
  d->abandonAcquisition();
  d->worker->runSync([&] { d->driver->shutdown(); });
  d->started = false;
  d->openIndex = -1;
  d->feederPresent = false;
  d->raise(injected);
  return 0;
}

namespace {
QString entry(const char* name, int value) { return QStringLiteral("%1=%2").arg(QLatin1String(name)).arg(value); }
}  // namespace

void TVintaSoftTwain::setDisableAfterAcquire(int value) { d->raise(d->note(entry("disableAfterAcquire", value))); }
void TVintaSoftTwain::setShowUI(int value) { d->raise(d->note(entry("showUI", value))); }
void TVintaSoftTwain::setShowIndicators(int value) { d->raise(d->note(entry("showIndicators", value))); }
void TVintaSoftTwain::setTransferMode(int value) { d->raise(d->note(entry("transferMode", value))); }

int TVintaSoftTwain::sourceCount() const { return static_cast<int>(d->devices.size()); }
int TVintaSoftTwain::sourceIndex() const { return d->sourceIndex; }

void TVintaSoftTwain::setSourceIndex(int value) {
  const ScanStatus injected = d->note(entry("sourceIndex", value));
  d->sourceIndex = value;
  d->raise(injected);
}

void TVintaSoftTwain::setUnitOfMeasure(int value) {
  const ScanStatus injected = d->note(entry("unitOfMeasure", value));
  if (scanarea::isSupportedUnit(value)) d->settings.unitOfMeasure = value;
  else d->raise(unsupportedSetting(QStringLiteral("the unit of measure %1").arg(value)));
  d->raise(injected);
}

void TVintaSoftTwain::setPixelType(int value) {
  const ScanStatus injected = d->note(entry("pixelType", value));
  if (value < 0 || value > 2) {
    d->raise(unsupportedSetting(QStringLiteral("the pixel type %1").arg(value)));
  } else {
    d->settings.pixelType = value;
    d->applyNow([&] { return d->driver->setMode(modeFor(value)); });
  }
  d->raise(injected);
}

int TVintaSoftTwain::resolution() const {
  if (d->openIndex >= 0 && d->resolutionInForce > 0) return d->resolutionInForce;
  return d->settings.resolution.value_or(d->resolutionInForce);
}

void TVintaSoftTwain::setResolution(int value) {
  const ScanStatus injected = d->note(entry("resolution", value));
  if (value <= 0) {
    d->raise(unsupportedSetting(QStringLiteral("the resolution %1").arg(value)));
  } else {
    d->settings.resolution = value;
    d->applyNow([&] { return d->driver->setResolution(value); });
  }
  d->raise(injected);
}

void TVintaSoftTwain::setPageSize(int value) {
  const ScanStatus injected = d->note(entry("pageSize", value));
  if (value != 0 && !scanarea::pageAreaMm(value)) {
    d->raise(unsupportedSetting(QStringLiteral("the page size %1").arg(value)));
  } else {
    d->settings.pageSize = value;
    d->settings.pageSizeSet = true;
    const Settings settings = d->settings;
    d->applyNow([&] { return Private::applyArea(*d->driver, settings); });
  }
  d->raise(injected);
}

int TVintaSoftTwain::feederPresent() const { return d->openIndex >= 0 && d->feederPresent ? 1 : 0; }

void TVintaSoftTwain::setFeederEnabled(int value) {
  const ScanStatus injected = d->note(entry("feederEnabled", value));
  if (value != 0 && !feederPresent()) {
    d->raise(unsupportedSetting(QStringLiteral("a document feeder")));
  } else {
    d->settings.feederEnabled = value != 0;
    const Settings settings = d->settings;
    d->applyNow([&] { return Private::applySource(*d->driver, settings); });
  }
  d->raise(injected);
}

void TVintaSoftTwain::setDuplexEnabled(int value) {
  const ScanStatus injected = d->note(entry("duplexEnabled", value));
  d->settings.duplexEnabled = value != 0;
  if (d->settings.feederEnabled) {
    const Settings settings = d->settings;
    d->applyNow([&] { return Private::applySource(*d->driver, settings); });
  } else if (value != 0) {
    bool duplex = false;
    if (d->openIndex >= 0 && !d->isAcquiring()) d->worker->runSync([&] { duplex = d->driver->hasDuplex(); });
    if (!duplex) d->raise(unsupportedSetting(QStringLiteral("duplex scanning")));
  }
  d->raise(injected);
}

int TVintaSoftTwain::feederLoaded() const {
  if (d->openIndex < 0 || !d->feederPresent) return 0;
  if (d->isAcquiring()) return 1;  // pages are being fed; asking the sensor would disturb the batch
  bool loaded = false;
  d->worker->runSync([&] { loaded = d->driver->feederLoaded(); });
  return loaded ? 1 : 0;
}

void TVintaSoftTwain::setXferCount(int value) {
  const ScanStatus injected = d->note(entry("xferCount", value));
  if (value == 0 || value < -1) d->raise(unsupportedSetting(QStringLiteral("a transfer count of %1").arg(value)));
  else d->settings.xferCount = value;
  d->raise(injected);
}

void TVintaSoftTwain::setAutoFeed(int value) { d->raise(d->note(entry("autoFeed", value))); }

int TVintaSoftTwain::imageCount() const { return d->imageCount; }
int TVintaSoftTwain::errorCode() const { return d->errorCode; }
QString TVintaSoftTwain::errorString() const { return d->errorString; }
int TVintaSoftTwain::xferPending() const { return d->xferPending; }
