/// @file
/// Device contexts: the screen's, windows', and memory contexts, with palette and bitmap
/// selection and single pixels.
///
/// The screen is a 32-bit surface of kScreenWidth x kScreenHeight pixels with a 256-entry system
/// palette (see system_palette.h). Windows are headless: a window's contexts draw into its own
/// client surface, which is not part of the screen's. A memory context draws into the bitmap
/// selected into it, which is the stock 1 x 1 monochrome bitmap until another is selected.
#pragma once

#include "../export.h"
#include "../win/types.h"

constexpr int DEFAULT_PALETTE = 15;    ///< GetStockObject: the default palette
constexpr UINT GDI_ERROR = 0xFFFFFFFF; ///< what palette and object calls return when they fail

/// The headless screen's width in pixels (an X server's screen has its own size).
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768; ///< the headless screen's height in pixels

/// @name GetDeviceCaps indexes
/// @{
// GetDeviceCaps indexes.
constexpr int HORZRES = 8;       ///< the screen's width in pixels
constexpr int VERTRES = 10;      ///< the screen's height in pixels
constexpr int BITSPIXEL = 12;    ///< bits per pixel of the screen
constexpr int PLANES = 14;       ///< colour planes: always 1
constexpr int SIZEPALETTE = 104; ///< entries of the system palette: 256
constexpr int NUMRESERVED = 106; ///< reserved (static) entries of the system palette: 20
/// @}

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

/// Selects a bitmap into a memory context and returns the previously selected one. Any depth may
/// be selected into any memory context. Null with ERROR_INVALID_HANDLE for a bad context or
/// object, ERROR_INVALID_PARAMETER for a palette (SelectPalette selects those) or a context that
/// is not a memory context, and ERROR_BUSY for a bitmap selected into another context.
ORVEL_PLATFORM_API HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) noexcept;

/// The screen's capabilities, whatever context is asked: HORZRES, VERTRES, BITSPIXEL (32),
/// PLANES (1), SIZEPALETTE (256), NUMRESERVED (20); 0 for other indexes or a bad context.
ORVEL_PLATFORM_API int WINAPI GetDeviceCaps(HDC dc, int index) noexcept;

/// The colour of a pixel of the context's surface (indexed surfaces: the colour of the index in
/// the context's palette). CLR_INVALID for a point outside the surface or a bad context.
ORVEL_PLATFORM_API COLORREF WINAPI GetPixel(HDC dc, int x, int y) noexcept;

/// Sets a pixel to the nearest colour the surface can hold and returns that colour; -1 (as
/// COLORREF) for a point outside the surface or a bad context.
ORVEL_PLATFORM_API COLORREF WINAPI SetPixel(HDC dc, int x, int y, COLORREF colour) noexcept;
