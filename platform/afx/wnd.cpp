#include "wnd.h"

#include "../user/window.h"

CWnd::~CWnd() {
    DestroyWindow();
}

BOOL CWnd::Attach(HWND window) noexcept {
    if (window == nullptr || m_hWnd != nullptr) {
        return FALSE;
    }
    m_hWnd = window;
    return TRUE;
}

HWND CWnd::Detach() noexcept {
    HWND window = m_hWnd;
    m_hWnd = nullptr;
    return window;
}

BOOL CWnd::Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                  UINT /*id*/) noexcept {
    if (m_hWnd != nullptr) {
        return FALSE;
    }
    m_hWnd =
        ::CreateWindowExA(0, className, windowName, style, rect.left, rect.top,
                          rect.right - rect.left, rect.bottom - rect.top,
                          parent != nullptr ? parent->m_hWnd : nullptr, nullptr, nullptr, nullptr);
    return m_hWnd != nullptr ? TRUE : FALSE;
}

BOOL CWnd::DestroyWindow() noexcept {
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    HWND window = m_hWnd;
    m_hWnd = nullptr;
    // A parent destroyed first has taken this window with it; the handle is then stale, which
    // the platform recognises.
    return ::DestroyWindow(window);
}

void CWnd::GetClientRect(LPRECT rect) const noexcept {
    ::GetClientRect(m_hWnd, rect);
}

void CWnd::InvalidateRect(LPCRECT rect, BOOL erase) noexcept {
    // A null handle would mean every window to the platform; an object without a window has
    // nothing to repaint.
    if (m_hWnd != nullptr) {
        ::InvalidateRect(m_hWnd, rect, erase);
    }
}

void CWnd::Invalidate(BOOL erase) noexcept {
    InvalidateRect(nullptr, erase);
}
