#pragma once

// A driver that plays a script instead of talking to a scanner, for tests of
// the control and of the whole program:
//
//   auto driver = std::make_unique<ScriptedDriver>();
//   ScriptedDriver* script = driver.get();
//   script->addSource({.vendor = "Acme", .model = "Feeder 9", .hasFeeder = true,
//                      .pages = {page1, page2, page3}});
//   TVintaSoftTwain control(std::move(driver));
//   script->failOnPage(1, scanerror::kFeederJammed, "Document feeder jammed");
//   ... drive the control ...
//   EXPECT_EQ(script->log(), (QStringList{"StartDevice()", "sourceIndex=0", ...}));
//
// The script may be changed from the test's thread at any time; the control
// calls the driver from its worker thread.

#include "scanner/ScanDriver.h"

#include <QList>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <mutex>

struct ScriptedSource {
  QString vendor = QStringLiteral("Scripted");
  QString model = QStringLiteral("Scanner");  // product name: vendor + " " + model
  bool hasFeeder = false;
  bool hasDuplex = false;
  bool feederLoaded = true;
  // A requested resolution becomes the nearest of these (empty: any value).
  QList<int> resolutions = {75, 100, 150, 200, 300, 400, 600, 800, 1200, 2400};
  // Pages of each acquisition: the flatbed gives the first, the feeder gives
  // all of them. With no pages the flatbed gives a white page of the area at
  // the resolution in force, and the feeder is empty.
  QList<QImage> pages = {};
  double bedWidthMm = 215.9;
  double bedHeightMm = 355.6;  // a legal-size flatbed
};

class ScriptedDriver : public ScanDriver {
 public:
  ScriptedDriver();
  ~ScriptedDriver() override;

  // --- the script
  void addSource(const ScriptedSource& source);
  // Unplugs a source: it stays in the control's list until the next
  // listing, but opening it fails.
  void removeSource(int index);
  void setPages(int source, const QList<QImage>& pages);
  void setFeederLoaded(int source, bool loaded);
  // The source that StartDevice selects (default 0, -1 for none).
  void setCurrentSource(int index);
  // What StartDevice reports (default true); false lists no sources.
  void setStartResult(bool ok);
  // After every call whose log entry is `call` or starts with `call` followed
  // by "=" or "(" (e.g. "OpenDataSource", "pixelType", "SaveImage(0,/x.bmp)"),
  // the control raises this error.
  void failAfter(const QString& call, int code, const QString& text);
  // Reading page `page` (from 0) of every acquisition fails with this error.
  void failOnPage(int page, int code, const QString& text);
  // Starting page `page` (from 0) fails with this error, e.g. a jam as the
  // sheet is pulled in.
  void failOnStart(int page, int code, const QString& text);
  void clearFailures();
  // Time each page takes to transfer.
  void setPageDelay(std::chrono::milliseconds delay);
  // Time each listing of the sources takes.
  void setListingDelay(std::chrono::milliseconds delay);

  // --- what the control did
  QStringList log() const;
  void clearLog();
  // The values the last acquisition (or setting) used.
  ScanMode mode() const;
  ScanSource source() const;
  ScanAreaMm area() const;
  int pagesStarted() const;  // sheets started in all acquisitions
  int cancelCount() const;   // cancels that reached the "device"
  bool isOpen() const;
  int listingCount() const;  // listings of the sources so far
  int openCount() const;     // sources opened so far
  QString openSource() const;  // product name of the open source, or empty

  // --- ScanDriver
  bool startup() override;
  void shutdown() override;
  QList<ScanDevice> listDevices() override;
  int defaultDevice(const QList<ScanDevice>& listed) override;
  ScanStatus open(const ScanDevice& device) override;
  void close() override;
  ScanStatus setMode(ScanMode mode) override;
  ScanStatus setResolution(int dotsPerInch) override;
  int resolution() override;
  ScanStatus setArea(const ScanAreaMm& area) override;
  ScanStatus setWholeBed() override;
  ScanStatus setSource(ScanSource source) override;
  bool hasFeeder() override;
  bool hasDuplex() override;
  bool feederLoaded() override;
  PageOutcome startPage(int pagesDone) override;
  PageOutcome readPage(QImage* image, const Progress& progress) override;
  void endScan() override;
  void cancel() override;
  ScanStatus note(const QString& entry) override;

 private:
  struct Failure {
    QString call;
    int page = -1;
    ScanStatus status;
  };
  struct Entry {
    int id;
    ScriptedSource source;
    bool present = true;
  };
  const Entry* openEntry() const;  // caller holds mutex_
  QImage blankPage() const;        // caller holds mutex_

  mutable std::mutex mutex_;
  QList<Entry> sources_;
  int nextId_ = 0;
  int current_ = 0;
  bool startResult_ = true;
  bool started_ = false;
  int openId_ = -1;
  QList<Failure> afterCall_;
  QList<Failure> onRead_;
  QList<Failure> onStart_;
  std::chrono::milliseconds delay_{0};
  std::chrono::milliseconds listingDelay_{0};
  QStringList log_;
  ScanMode mode_ = ScanMode::Color;
  ScanSource sourceInUse_ = ScanSource::Flatbed;
  ScanAreaMm area_;
  int resolution_ = 100;
  int page_ = 0;  // page of the running acquisition
  int pagesStarted_ = 0;
  int cancelCount_ = 0;
  int listings_ = 0;
  int opens_ = 0;
  bool scanning_ = false;
  std::atomic<bool> cancelled_{false};
};
