#pragma once

#include <QString>

#include <optional>

// The stage text a progress event shows, by the control's action and the
// running job (1 preview, 2 scan, 3 copy). nullopt: the text stays as it is.
std::optional<QString> progressStageText(int action, int jobKind);
