#pragma once

// The outcome of a driver call or of a control method, as the control reports
// it through errorCode and errorString.

#include <QString>

namespace scanerror {

constexpr int kNone = 0;

// The two warnings. They are not fatal: a scan or copy job goes on to acquire
// with them, a preview stops.
//
// A setting that the scanner does not support was left unchanged (a pixel
// type, a unit of measure, a page-size item, duplex or feeder on a source
// without them, a transfer count of 0).
constexpr int kSettingUnsupported = 39;
// The requested scan area (page size or image layout) reached beyond the
// scanner's bed and was reduced to it.
constexpr int kAreaReducedToBed = 45;

// Failures.
constexpr int kDeviceManagerFailed = 1;   // the scanner software could not be started
constexpr int kNoSourceSelected = 2;      // sourceIndex names no source
constexpr int kSourceNotAvailable = 3;    // the source vanished after it was listed
constexpr int kOpenFailed = 4;            // the source could not be opened
constexpr int kSourceNotOpen = 5;         // a call needs an open source
constexpr int kDeviceBusy = 6;
constexpr int kFeederJammed = 7;
constexpr int kFeederEmpty = 8;           // no paper in the feeder before the first page
constexpr int kCoverOpen = 9;
constexpr int kIoError = 10;
constexpr int kOutOfMemory = 11;
constexpr int kAccessDenied = 12;
constexpr int kUnsupported = 13;          // the scanner refused an operation
constexpr int kInvalidArgument = 14;
constexpr int kDeviceError = 15;          // any other failure the scanner reports
constexpr int kAreaOutsideBed = 16;       // nothing of the requested area lies on the bed
constexpr int kBadFrame = 17;             // the scanner sent image data that cannot be read
constexpr int kImageIndexOutOfRange = 20; // no buffered image has that index
constexpr int kUnknownFileFormat = 21;    // SaveImage: the extension names no known format
constexpr int kFileWriteFailed = 22;      // SaveImage: the file could not be written

inline bool isWarning(int code) { return code == kSettingUnsupported || code == kAreaReducedToBed; }

}  // namespace scanerror

struct ScanStatus {
  int code = scanerror::kNone;
  QString text;

  bool ok() const { return code == scanerror::kNone; }
  bool isWarning() const { return scanerror::isWarning(code); }
  bool isFailure() const { return !ok() && !isWarning(); }

  static ScanStatus success() { return {}; }
  static ScanStatus error(int code, const QString& text) { return {code, text}; }
};
