// The table of device contexts behind HDC.
#pragma once

#include "../../detail/handle_table.h"
#include "../../detail/handle_tags.h"
#include "../../win/types.h"

namespace orvel::platform::detail {

enum class DcKind {
    Screen, ///< the whole screen (GetDC for no window)
    Window, ///< a window's client area
    Memory, ///< a memory device context (CreateCompatibleDC)
};

/// One device context: what is selected into it.
struct DeviceContext {
    DcKind kind = DcKind::Screen;
    HWND window = nullptr;
    HPALETTE palette = nullptr;     ///< the selected palette; the default palette when none was
    bool paletteBackground = false; ///< the force-background flag of the last SelectPalette
    HBITMAP bitmap = nullptr;       ///< memory contexts: the selected bitmap, or null
};

using DeviceContextTable = HandleTable<DeviceContext, kDeviceContextTag>;

DeviceContextTable& DeviceContexts() noexcept;

/// The context behind a handle, or null with ERROR_INVALID_HANDLE.
DeviceContext* FindDeviceContext(HDC dc) noexcept;

/// OBJ_DC or OBJ_MEMDC for a live device context; 0 otherwise, without touching the last error.
DWORD DeviceContextType(HDC dc) noexcept;

/// The stock default palette, selected into every new device context.
HPALETTE DefaultPalette() noexcept;

} // namespace orvel::platform::detail
