// Device contexts: the screen's, windows', and memory contexts, with palette selection.
#pragma once

#include "../export.h"
#include "../win/types.h"

constexpr int DEFAULT_PALETTE = 15;
constexpr UINT GDI_ERROR = 0xFFFFFFFF;

/// A device context for a window's client area, or for the whole screen when `window` is null.
/// Every context obtained here is given back with ReleaseDC. Null with ERROR_INVALID_WINDOW_HANDLE
/// for a bad window, or ERROR_NOT_ENOUGH_MEMORY.
ORVEL_PLATFORM_API HDC WINAPI GetDC(HWND window) noexcept;

/// Gives back a context from GetDC. 1 when released, 0 for a context GetDC did not give.
ORVEL_PLATFORM_API int WINAPI ReleaseDC(HWND window, HDC dc) noexcept;

/// A memory device context compatible with `dc` (the screen when null). Ended with DeleteDC.
ORVEL_PLATFORM_API HDC WINAPI CreateCompatibleDC(HDC dc) noexcept;

/// Ends a memory device context; what is selected into it is deselected, not destroyed.
ORVEL_PLATFORM_API BOOL WINAPI DeleteDC(HDC dc) noexcept;

/// Selects a palette into a context and returns the previously selected one (the default palette
/// when the context had no other). `forceBackground` makes the next RealizePalette realise it as
/// a background palette. Null with ERROR_INVALID_HANDLE for a bad context or palette.
ORVEL_PLATFORM_API HPALETTE WINAPI SelectPalette(HDC dc, HPALETTE palette,
                                                 BOOL forceBackground) noexcept;

/// Maps the context's selected palette into the system palette. Returns the number of system
/// palette entries that changed; GDI_ERROR with ERROR_INVALID_HANDLE for a bad context.
ORVEL_PLATFORM_API UINT WINAPI RealizePalette(HDC dc) noexcept;

/// A stock object; this platform has DEFAULT_PALETTE (the 20 static colours). Null otherwise.
ORVEL_PLATFORM_API HGDIOBJ WINAPI GetStockObject(int which) noexcept;
