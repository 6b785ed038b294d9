#pragma once

#include <QString>

#include <cstdint>

// Version texts compared as numbers, for the update check.
namespace version_number {

// Up to four runs of the digits 0-9, read from the left, weighted
// c1 * 1000000 + c2 * 10000 + c3 * 100 + c4 in 32-bit arithmetic that wraps
// around. Missing runs count 0, runs after the fourth are ignored, everything
// else only separates runs. A run whose value doesn't fit a signed 32-bit
// integer throws platform::Error.
std::int32_t versionNumber(const QString& text);

// Whether the offered version's number is greater than the current one's.
// Throws as versionNumber does.
bool IsNewerVersion(const QString& current, const QString& offered);

}  // namespace version_number
