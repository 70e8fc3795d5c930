/// @file
/// Windows: top-level and child windows with a client surface and an update area.
///
/// A window is its client area only (no frame, no caption): GetDC and GetWindowDC both draw into
/// its 32-bit client surface, which is zero (black) when the window is made. On a real desktop (an
/// X server, see platform/display/display.h) a top-level window is also an X window with its title
/// and size, mapped when its style has WS_VISIBLE, and every drawing call on it shows its change
/// there before returning; headless, nothing is shown. A repaint request is recorded in the
/// window's update area, where GetUpdateRect, ValidateRect and BeginPaint find it.
#pragma once

#include "../afx/geometry.h"
#include "../export.h"
#include "../win/types.h"

/// A menu handle; accepted by CreateWindowExA and not used (windows have no menus here).
ORVEL_DECLARE_HANDLE(HMENU);

/// @name Window styles
/// @{
// Window styles the platform records (it draws no frame, so they change nothing else).
constexpr DWORD WS_OVERLAPPED = 0x00000000;       ///< a top-level window
constexpr DWORD WS_CHILD = 0x40000000;            ///< a child window of `parent`
constexpr DWORD WS_VISIBLE = 0x10000000;          ///< the window is shown when made
constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000; ///< a top-level window with the usual frame
/// @}

/// Asks for the default size (640 x 480) or position.
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000U);

/// Makes a window whose client area is width x height pixels. The class name is recorded only:
/// the platform needs no registered class. Null with ERROR_INVALID_PARAMETER for a width or
/// height of 0 or less, ERROR_INVALID_WINDOW_HANDLE for a bad parent, or ERROR_NOT_ENOUGH_MEMORY.
ORVEL_PLATFORM_API HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName,
                                               DWORD style, int x, int y, int width, int height,
                                               HWND parent, HMENU menu, HINSTANCE instance,
                                               LPVOID param) noexcept;

/// Destroys a window and its child windows. A window that has the clipboard open closes it, and
/// a window that owns the clipboard stops owning it. FALSE with ERROR_INVALID_WINDOW_HANDLE for a
/// bad handle.
ORVEL_PLATFORM_API BOOL WINAPI DestroyWindow(HWND window) noexcept;

/// Whether the process shows its windows on a real desktop (an X server) rather than keeping
/// them headless. An Orvel extension: decided at the platform's first use, from ORVEL_HEADLESS
/// and DISPLAY.
ORVEL_PLATFORM_API BOOL WINAPI IsDesktopReal() noexcept;

/// Whether the handle names a live window.
ORVEL_PLATFORM_API BOOL WINAPI IsWindow(HWND window) noexcept;

/// The client rectangle: (0, 0, width, height). FALSE with ERROR_INVALID_WINDOW_HANDLE.
ORVEL_PLATFORM_API BOOL WINAPI GetClientRect(HWND window, LPRECT rect) noexcept;

/// Adds a rectangle of the client area (the whole area when `rect` is null) to the window's
/// update area, clipped to the client area. `erase` asks for the background to be erased before
/// the repaint; once asked, the request stays until the area is validated. A null window
/// invalidates every window. FALSE with ERROR_INVALID_WINDOW_HANDLE for a bad handle.
ORVEL_PLATFORM_API BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase) noexcept;

/// Removes a rectangle (everything when null) from the update area. The update area is kept as
/// its bounding rectangle, which shrinks only when the rectangle removed spans it from one side.
ORVEL_PLATFORM_API BOOL WINAPI ValidateRect(HWND window, const RECT* rect) noexcept;

/// Copies the bounding rectangle of the update area (all zero when there is none) and returns
/// whether there is one. `erase` is accepted and ignored: there is no background to erase.
ORVEL_PLATFORM_API BOOL WINAPI GetUpdateRect(HWND window, LPRECT rect, BOOL erase) noexcept;

/// What BeginPaint hands a repaint: the context to draw with, whether erasing was asked, and the
/// area to repaint.
struct PAINTSTRUCT {
    HDC hdc;              ///< the context to draw with
    BOOL fErase;          ///< TRUE when erasing the background was asked
    RECT rcPaint;         ///< the area to repaint, in client coordinates
    BOOL fRestore;        ///< reserved: 0
    BOOL fIncUpdate;      ///< reserved: 0
    BYTE rgbReserved[32]; ///< reserved: zeros
};
/// Pointer to a PAINTSTRUCT.
using LPPAINTSTRUCT = PAINTSTRUCT*;

/// Starts a repaint: takes the update area into `paint` (validating it) and returns a context for
/// the window, given back by EndPaint. Null with ERROR_INVALID_WINDOW_HANDLE or as GetDC.
ORVEL_PLATFORM_API HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) noexcept;

/// Ends a repaint started by BeginPaint and releases its context.
ORVEL_PLATFORM_API BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) noexcept;

/// Where a window's client area starts on the screen: (0, 0) for a window that is not shown.
/// FALSE with ERROR_INVALID_WINDOW_HANDLE for a bad window or ERROR_INVALID_PARAMETER for a null
/// point.
ORVEL_PLATFORM_API BOOL WINAPI ClientToScreen(HWND window, LPPOINT point) noexcept;
