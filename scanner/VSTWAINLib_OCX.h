#pragma once

// The scanner control: the one object through which the program drives a
// scanner. The main window sets its properties, calls its methods and handles
// its two events, all on the UI thread. Blocking device work runs on the
// control's own worker thread; OnProgress and OnPostScan are always raised on
// the thread that created the control, in order.
//
// Behind the control sits a ScanDriver: SANE for real devices, or the scripted
// driver that tests use.
//
// Errors. errorCode and errorString (codes in scanner/ScanStatus.h) are reset
// by StartDevice, OpenDataSource and Acquire only; every other call can only
// raise them. A warning (39: a setting the scanner does not support was left
// unchanged; 45: the requested area was reduced to the scanner's bed) never
// replaces an error. Property writes apply at once to an open source (so
// resolution reads back the value in force) and again when Acquire starts.
//
// Sessions. OpenDataSource starts the source from its defaults: flatbed, no
// duplex, the whole bed, all pages; a job that does not write a feeder
// property therefore scans from the flatbed.
//
// Sources. The first StartDevice (or StartDeviceInBackground) lists the
// sources and selects the driver's default one. Later StartDevice calls only
// start the driver and keep the list, so a job never waits for a listing
// (SANE's network backends take seconds), also when the list is empty; only
// after a failed start does StartDevice list again. RefreshSources makes the list again in the
// background, outside jobs. A source is opened by its device name, so the
// source opened is always the one the list shows; one that has gone since
// fails to open (kSourceNotAvailable) and nothing else is opened.
//
// Acquisition. Acquire returns at once; the worker scans and the events
// follow on this thread, in order:
//  - OnProgress(4, percent, 1, &interrupt_) while a page is transferred.
//  - OnPostScan(0) for every page. While the handler runs, imageCount,
//    xferPending, errorCode and errorString describe that page: imageCount
//    counts every page of the acquisition, but only the newest page stays
//    buffered (index imageCount - 1; older indices give kImageIndexOutOfRange).
//  - A page is raised only once the control knows whether another follows, so
//    the acquisition's last page always comes with xferPending 0, also when
//    the batch ends with an error (errorCode then tells it) or is
//    interrupted. OnPostScan with a non-zero flag comes only when an
//    acquisition ends without delivering any page (errorCode tells why, or is
//    0 when the scanner cancelled by itself).
//  - Interrupt: an OnProgress handler that writes 1 through interrupt_ stops
//    the batch after the page being transferred; that page is still read and
//    raised, as the last one, with xferPending 0.
//  - The worker reads at most one page ahead of the page the UI is handling,
//    so a long feeder batch never piles up in memory.
// A call that needs the device while an acquisition runs (StartDevice,
// OpenDataSource, Acquire, StopDevice), and destroying the control, abandon
// that acquisition: its pending events are dropped. Property writes during an
// acquisition are kept for the next one.

#include "scanner/ImageFileWriter.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <memory>

class ScanDriver;

// Dispatch ids of the control's properties, as the program refers to them.
namespace vstwain {
enum DispId : int {
  DISPID_disableAfterAcquire = 11,
  DISPID_showUI = 12,
  DISPID_sourceCount = 14,
  DISPID_sourceIndex = 15,
  DISPID_imageCount = 17,
  DISPID_errorCode = 18,
  DISPID_errorString = 19,
  DISPID_xferCount = 24,
  DISPID_feederPresent = 25,
  DISPID_feederEnabled = 26,
  DISPID_feederLoaded = 27,
  DISPID_autoFeed = 28,
  DISPID_resolution = 34,
  DISPID_unitOfMeasure = 36,
  DISPID_pixelType = 38,
  DISPID_pageSize = 44,
  DISPID_xferPending = 62,
  DISPID_duplexEnabled = 65,
  DISPID_transferMode = 105,
  DISPID_showIndicators = 117,
};
}  // namespace vstwain

class TVintaSoftTwain : public QObject {
  Q_OBJECT

 public:
  // Takes ownership of the driver.
  explicit TVintaSoftTwain(std::unique_ptr<ScanDriver> driver, QObject* parent = nullptr);
  ~TVintaSoftTwain() override;

  ScanDriver* driver() const;

  // True from Acquire until its last event has been raised.
  bool acquiring() const;
  // The buffered image `index` (only the newest is kept), or a null image.
  QImage bufferedImage(int index) const;

  // Methods. Each returns a long as the program's callers expect; only
  // StartDevice's result is looked at (non-zero: the sources can be listed).
  // StartDevice returns once the sources are listed; on the UI thread it
  // keeps the windows painted meanwhile (the user's input waits).
  long StartDevice();
  // StartDevice without waiting: the worker lists the sources (which can
  // take seconds while backends probe the network) and SourcesListed brings
  // StartDevice's result once the list is in place. StartDevice,
  // OpenDataSource, Acquire and StopDevice first wait for a listing still
  // running, as does waitForSources(); either way SourcesListed is raised
  // exactly once per listing, on this thread.
  void StartDeviceInBackground();
  // Lists the sources again in the background, keeping the chosen source
  // (sourceIndex) by its device name wherever it moved, also when it is gone
  // (see sourcelist::refreshed). Closes the open source first. Refused
  // (false) while an acquisition or another listing runs. SourcesRefreshed
  // follows on this thread; until then OpenDataSource, Acquire, StartDevice
  // and StopDevice wait for it, as does waitForSources().
  bool RefreshSources();
  // A listing that will replace the list (the start's) is running.
  bool listingSources() const;
  bool refreshingSources() const;
  void waitForSources();
  // The name the list shows for source `index`: vendor and model, with the
  // device name added where two sources would look the same.
  QString GetSourceProductName(int index);
  // The driver's name of source `index` ("test:0"), or empty.
  QString sourceDeviceName(int index) const;
  long OpenDataSource();
  long Acquire();
  long SetImageLayout(float left, float top, float right, float bottom);
  // SaveImage writes in the format the path's extension names. `use` says
  // how the file is put in place (see ImageFileUse); a Kept file whose name
  // another file took meanwhile is not written and kSaveNameTaken comes back,
  // with errorCode untouched, so the caller can take the next free name.
  static constexpr long kSaveNameTaken = 2;
  long SaveImage(int index, const QString& path, ImageFileUse use = ImageFileUse::Replace);
  long IsBlankImage(int index, float maxNoiseLevel, float& currentNoiseLevel);
  long GetImageWidth(int index);
  long GetImageHeight(int index);
  long StopDevice();

  // Properties (W written, R read by the program).
  void setDisableAfterAcquire(int value);   // 11 W
  void setShowUI(int value);                // 12 W
  void setShowIndicators(int value);        // 117 W
  void setTransferMode(int value);          // 105 W
  int sourceCount() const;                  // 14 R
  int sourceIndex() const;                  // 15 R
  void setSourceIndex(int value);           // 15 W
  void setUnitOfMeasure(int value);         // 36 W
  void setPixelType(int value);             // 38 W
  int resolution() const;                   // 34 R: the value in force
  void setResolution(int value);            // 34 W
  void setPageSize(int value);              // 44 W
  int feederPresent() const;                // 25 R
  void setFeederEnabled(int value);         // 26 W
  void setDuplexEnabled(int value);         // 65 W
  int feederLoaded() const;                 // 27 R
  void setXferCount(int value);             // 24 W
  void setAutoFeed(int value);              // 28 W
  int imageCount() const;                   // 17 R
  int errorCode() const;                    // 18 R
  QString errorString() const;              // 19 R
  int xferPending() const;                  // 62 R

 signals:
  // flag 0: a new page is buffered as the newest image. Otherwise no page
  // came, and errorCode/errorString tell why.
  void OnPostScan(int flag);
  // action: 0 despeckling, 1 deskewing, 2 rotating, 3 border detection,
  // 4 image transfer. A handler that wants the acquisition stopped writes 1
  // through interrupt_ while canInterrupt is 1.
  void OnProgress(int action, int percentComplete, int canInterrupt, int* interrupt_);
  // A listing of StartDeviceInBackground is done; `started` as StartDevice
  // would have returned it.
  void SourcesListed(long started);
  // The list changed under a RefreshSources, or a StartDevice after a
  // failed start made one; `ok` 0 when the driver could not be started (a failed
  // refresh keeps the list).
  void SourcesRefreshed(long ok);

 private:
  class Private;
  std::unique_ptr<Private> d;
};
