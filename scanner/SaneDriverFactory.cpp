#include "scanner/SaneDriverFactory.h"

#include "scanner/SaneDriver.h"

std::unique_ptr<ScanDriver> makeSaneDriver() { return std::make_unique<SaneDriver>(); }
