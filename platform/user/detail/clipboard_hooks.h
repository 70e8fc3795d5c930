// What the clipboard must hear from the window service.
#pragma once

#include "../../win/types.h"

namespace orvel::platform::detail {

/// A window is being destroyed: if it has the clipboard open, the clipboard closes; if it owns
/// the clipboard, the clipboard has no owner from then on.
void ClipboardWindowDestroyed(HWND window) noexcept;

} // namespace orvel::platform::detail
