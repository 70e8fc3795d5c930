/// @file
/// The framework's window class: a window handle and the operations the library and its tests use.
#pragma once

#include "../export.h"
#include "../win/types.h"
#include "geometry.h"

/// A window. A null CWnd pointer means "no window" wherever one is accepted. The object destroys
/// its window with itself.
class ORVEL_PLATFORM_API CWnd {
public:
    /// The window's handle; null when the object has no window.
    HWND m_hWnd = nullptr;

    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    /// The window's handle; null when the object has no window.
    HWND GetSafeHwnd() const noexcept { return m_hWnd; }

    /// Takes over an existing window (destroyed with the object unless detached). FALSE for a
    /// null handle or when the object already has a window.
    BOOL Attach(HWND window) noexcept;
    /// Gives the window up without destroying it and returns its handle.
    HWND Detach() noexcept;

    /// Makes a window whose client area is the size of `rect` (its position is recorded only).
    /// FALSE when the object already has a window or the platform refuses.
    BOOL Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                UINT id) noexcept;
    /// Destroys the window; FALSE when there is none.
    BOOL DestroyWindow() noexcept;

    /// Writes the client area, origin (0, 0); see ::GetClientRect.
    void GetClientRect(LPRECT rect) const noexcept;
    /// Adds a rectangle (the whole client area when null) to the area waiting to be repainted.
    void InvalidateRect(LPCRECT rect, BOOL erase = TRUE) noexcept;
    /// Adds the whole client area to the area waiting to be repainted.
    void Invalidate(BOOL erase = TRUE) noexcept;
};
