#pragma once

#include "scanner/ScanDriver.h"

#include <memory>

// The driver for real scanners (and SANE's virtual "test" scanner).
std::unique_ptr<ScanDriver> makeSaneDriver();
