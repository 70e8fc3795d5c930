// The framework's window class, as far as the library uses a window: its handle.
#pragma once

#include "../export.h"
#include "../win/types.h"

/// A window. A null CWnd pointer means "no window" wherever one is accepted.
class ORVEL_PLATFORM_API CWnd {
public:
    /// The window's handle; null when the object has no window.
    HWND m_hWnd = nullptr;

    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const noexcept { return m_hWnd; }
};
