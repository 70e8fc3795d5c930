// The table of windows behind HWND. Windows are headless: each has a 32-bit client surface that
// device contexts for the window draw into, and an update area that repaint requests collect in.
#pragma once

#include "../../detail/handle_table.h"
#include "../../detail/handle_tags.h"
#include "../../gdi/detail/surface.h"
#include "../../win/types.h"

#include <memory>
#include <mutex>
#include <string>

namespace orvel::platform::detail {

struct Window {
    std::unique_ptr<Surface> client; ///< the client area's pixels
    HWND parent = nullptr;
    DWORD style = 0;
    std::string title;

    /// Guards the update area, which any thread may invalidate.
    std::mutex updateMutex;
    /// The bounding rectangle of the area waiting to be repainted, in client coordinates.
    LONG updateLeft = 0;
    LONG updateTop = 0;
    LONG updateRight = 0;
    LONG updateBottom = 0;
    bool hasUpdate = false;
    /// Whether a pending repaint was asked to erase the background first.
    bool eraseRequested = false;
};

using WindowTable = HandleTable<Window, kWindowTag>;

WindowTable& Windows() noexcept;

/// The window behind a handle, or null with ERROR_INVALID_WINDOW_HANDLE.
Window* FindWindowObject(HWND window) noexcept;

} // namespace orvel::platform::detail
