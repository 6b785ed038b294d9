#pragma once

#include <memory>

class ScanDriver;

// The driver for real scanners (and SANE's virtual "test" scanner).
std::unique_ptr<ScanDriver> makeSaneDriver();
