// Placeholder; replaced by the SANE driver.
#include "scanner/SaneDriverFactory.h"

#include "scanner/ScanDriver.h"

std::unique_ptr<ScanDriver> makeSaneDriver() { return std::make_unique<ScanDriver>(); }
