#pragma once

// Shared by the fuzz targets: a scratch file that each input is written to,
// for the parsers that read from a path, and a private configuration home.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace fuzz_input {

// Writes the input to a file of this process named `name` (the extension
// picks the decoder) in a private scratch folder and returns its path.
QString writeScratch(const QString& name, const std::uint8_t* data, std::size_t size);

// The private folder itself; created on first use.
QString scratchDir();

}  // namespace fuzz_input
