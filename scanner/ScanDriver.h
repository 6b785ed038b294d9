#pragma once

// Placeholder: the driver interface behind the scanner control.
class ScanDriver {
 public:
  virtual ~ScanDriver() = default;
};
