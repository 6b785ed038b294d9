#pragma once

#include <QString>

namespace platform {

// The folder of every temporary file: $TEMP when it is set, else the system's
// temporary folder (a plain Linux session has no TEMP). No trailing separator.
QString tempFolder();

}  // namespace platform
