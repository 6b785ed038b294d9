#pragma once

#include <QString>

namespace platform {

// The folder of every temporary file, without a trailing separator.
//
// $TEMP when it is set, taken as it is. A plain Linux session has no TEMP,
// and the shared system folder would let other users read the scanned pages
// or plant links at the program's fixed names, so the program then uses a
// private folder of the user's: "brevalto-pro" under $XDG_RUNTIME_DIR when
// that is the user's own folder, else "brevalto-pro-<uid>" under the system's
// temporary folder (QDir::tempPath()). The private folder is made with mode
// 0700 and checked before every use: a folder (not a link), owned by the user,
// closed to everyone else. When another user holds that name, a fresh folder
// of a random name beside it serves for the rest of the run. Throws
// platform::Error when no private folder can be had.
QString tempFolder();

}  // namespace platform
