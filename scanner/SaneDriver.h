#pragma once

// The driver for scanners reached through libsane, including SANE's virtual
// "test" devices. No SANE type appears here: handles and statuses stay in the
// .cpp file.

#include "scanner/ScanDriver.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

class SaneDriver : public ScanDriver {
 public:
  SaneDriver();
  ~SaneDriver() override;

  bool startup() override;
  void shutdown() override;
  QList<ScanDevice> listDevices() override;

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

  // Sets a backend-specific option of the open device by name, the value
  // written as scanimage takes it ("yes", "12", "SANE_STATUS_JAMMED").
  // Tests use it to make the test backend jam or slow down. False when the
  // option is missing, inactive or refuses the value.
  bool setExtraOption(const QString& name, const QString& value);

  // What a SANE status (its numeric value) means for the control: the one
  // place where SANE statuses become errorCode and errorString. pagesDone
  // tells "no documents" at the start of a batch (an error) from the end of a
  // feeder batch (normal).
  static PageOutcome outcomeForSaneStatus(int saneStatus, int pagesDone);

  // Answers a backend that asks for a user name and password (a saned with
  // a users file, a scanner with a password): `ask` runs on the thread of
  // `context` while the SANE call waits; false when the user declines. One
  // for the process, as SANE's session is; it ends with `context`.
  using Authorizer = std::function<bool(const QString& resource, QString* user, QString* password)>;
  static void setAuthorizer(QObject* context, Authorizer ask);

  // How long a page may deliver no data before it fails (60 s); for tests.
  static void setStallTimeout(std::chrono::milliseconds timeout);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};
