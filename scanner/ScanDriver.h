#pragma once

// The driver interface behind the scanner control: SANE for real devices,
// ScriptedDriver for tests. The control calls every method on its one worker
// thread, except note() and cancel() (see there), so a driver needs no locking
// of its own beyond what those two and its test accessors require.

#include "scanner/ScanStatus.h"

#include <QImage>
#include <QList>
#include <QString>

#include <functional>

struct ScanDevice {
  QString name;  // the driver's own handle, e.g. "test:0"
  QString vendor;
  QString model;

  QString productName() const { return vendor + QLatin1Char(' ') + model; }
};

enum class ScanMode { Lineart, Gray, Color };
enum class ScanSource { Flatbed, Feeder, Duplex };

// Scan area in millimetres from the top-left corner of the bed.
struct ScanAreaMm {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

// What became of starting or reading a page.
struct PageOutcome {
  enum Kind {
    Done,         // the page started, or its frame was read completely
    NoMorePages,  // the feeder ran out after at least one page: the batch's normal end
    Cancelled,    // cancel() stopped it; not an error
    Failed,       // status tells why
  };
  Kind kind = Done;
  ScanStatus status;
};

class ScanDriver {
 public:
  using Progress = std::function<void(int percentComplete)>;

  virtual ~ScanDriver() = default;

  // Starts the access layer; false when it cannot run at all. Lists nothing,
  // so it is quick; calling it again while started does nothing.
  virtual bool startup() = 0;
  // Releases the access layer and any open device.
  virtual void shutdown() = 0;
  // The devices there are now, in the driver's order. Can take seconds (SANE
  // backends probe the network); needs startup().
  virtual QList<ScanDevice> listDevices() = 0;
  // The device of `listed` that a fresh start selects, or -1 for none.
  virtual int defaultDevice(const QList<ScanDevice>& listed) { return listed.isEmpty() ? -1 : 0; }

  // Opens the device by its name, without listing: a device that has gone
  // since it was listed fails to open, it is never mistaken for another.
  virtual ScanStatus open(const ScanDevice& device) = 0;
  virtual void close() = 0;

  // Settings of the open device. Each returns a warning when the device keeps
  // another value (kSettingUnsupported) or reduces the area (kAreaReducedToBed).
  virtual ScanStatus setMode(ScanMode mode) = 0;
  // The device may pick another value; resolution() tells the one in force.
  virtual ScanStatus setResolution(int dotsPerInch) = 0;
  virtual int resolution() = 0;
  // setWholeBed() asks for the largest area the device offers.
  virtual ScanStatus setArea(const ScanAreaMm& area) = 0;
  virtual ScanStatus setWholeBed() = 0;
  virtual ScanStatus setSource(ScanSource source) = 0;
  virtual bool hasFeeder() = 0;
  virtual bool hasDuplex() = 0;
  // A page-loaded sensor where the device has one, else true.
  virtual bool feederLoaded() = 0;

  // Acquisition: startPage(n) then readPage() for each page, endScan() once at
  // the end. pagesDone counts the pages of this acquisition read before.
  virtual PageOutcome startPage(int pagesDone) = 0;
  virtual PageOutcome readPage(QImage* image, const Progress& progress) = 0;
  virtual void endScan() = 0;
  // Asks a running startPage/readPage to stop as soon as it can; they then
  // return Cancelled. Called from another thread than the worker. The device
  // sees one cancel per scan, from endScan() on the worker.
  virtual void cancel() = 0;

  // Every property write ("pixelType=2") and method call ("Acquire()") of the
  // control, on the control's thread. A driver may answer with a status that
  // the control raises once the call has done its work (scripted failures).
  virtual ScanStatus note(const QString& entry) {
    Q_UNUSED(entry);
    return {};
  }
};
