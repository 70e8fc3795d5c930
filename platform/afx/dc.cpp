#include "dc.h"

#include "../gdi/device_context.h"
#include "gdi_object.h"
#include "wnd.h"

#include <algorithm>
#include <new>

CWnd::~CWnd() = default;

CDC::CDC() = default;

CDC::~CDC() {
    // Temporary palette objects only borrow their handles: they must not destroy them.
    for (auto& temporary : temporaryPalettes_) {
        temporary->Detach();
    }
    if (owned_) {
        DeleteDC();
    }
}

BOOL CDC::CreateCompatibleDC(CDC* dc) noexcept {
    if (m_hDC != nullptr) {
        return FALSE;
    }
    m_hDC = ::CreateCompatibleDC(dc != nullptr ? dc->m_hDC : nullptr);
    owned_ = m_hDC != nullptr;
    return owned_ ? TRUE : FALSE;
}

BOOL CDC::DeleteDC() noexcept {
    if (m_hDC == nullptr || !owned_) {
        return FALSE;
    }
    const BOOL deleted = ::DeleteDC(m_hDC);
    m_hDC = nullptr;
    owned_ = false;
    return deleted;
}

BOOL CDC::Attach(HDC dc) noexcept {
    if (dc == nullptr || m_hDC != nullptr) {
        return FALSE;
    }
    m_hDC = dc;
    owned_ = false;
    return TRUE;
}

HDC CDC::Detach() noexcept {
    HDC dc = m_hDC;
    m_hDC = nullptr;
    owned_ = false;
    return dc;
}

CPalette* CDC::SelectPalette(CPalette* palette, BOOL forceBackground) noexcept {
    const auto handle = palette != nullptr ? static_cast<HPALETTE>(*palette) : nullptr;
    const HPALETTE previous = ::SelectPalette(m_hDC, handle, forceBackground);
    if (previous == nullptr) {
        return nullptr;
    }
    auto known = std::find_if(knownPalettes_.begin(), knownPalettes_.end(),
                              [handle](const Known& k) { return k.handle == handle; });
    if (known != knownPalettes_.end()) {
        known->object = palette;
    } else {
        knownPalettes_.push_back({handle, palette});
    }
    return PaletteObjectFor(previous);
}

UINT CDC::RealizePalette() noexcept {
    return ::RealizePalette(m_hDC);
}

CPalette* CDC::PaletteObjectFor(HPALETTE handle) noexcept {
    for (const Known& known : knownPalettes_) {
        if (known.handle == handle) {
            return known.object;
        }
    }
    for (const auto& temporary : temporaryPalettes_) {
        if (static_cast<HPALETTE>(*temporary) == handle) {
            return temporary.get();
        }
    }
    auto temporary = std::unique_ptr<CPalette>(new (std::nothrow) CPalette);
    if (!temporary) {
        return nullptr;
    }
    temporary->Attach(handle);
    temporaryPalettes_.push_back(std::move(temporary));
    return temporaryPalettes_.back().get();
}

CWindowDC::CWindowDC(CWnd* window) noexcept : m_hWnd(window != nullptr ? window->m_hWnd : nullptr) {
    Attach(::GetDC(m_hWnd));
}

CWindowDC::~CWindowDC() {
    HDC dc = Detach();
    if (dc != nullptr) {
        ::ReleaseDC(m_hWnd, dc);
    }
}
