#include "dc.h"

#include "../gdi/bit_blt.h"
#include "../gdi/device_context.h"
#include "../gdi/palette.h"
#include "bitmap.h"
#include "gdi_object.h"
#include "wnd.h"

#include <algorithm>
#include <new>

template <class Object, class Handle>
void CDC::ObjectMap<Object, Handle>::Remember(Handle handle, Object* object) {
    auto found = std::find_if(known.begin(), known.end(),
                              [handle](const Known& k) { return k.handle == handle; });
    if (found != known.end()) {
        found->object = object;
    } else {
        known.push_back({handle, object});
    }
}

template <class Object, class Handle>
Object* CDC::ObjectMap<Object, Handle>::ObjectFor(Handle handle) noexcept {
    for (const Known& k : known) {
        if (k.handle == handle) {
            return k.object;
        }
    }
    for (const auto& temporary : temporaries) {
        if (static_cast<Handle>(*temporary) == handle) {
            return temporary.get();
        }
    }
    auto temporary = std::unique_ptr<Object>(new (std::nothrow) Object);
    if (!temporary) {
        return nullptr;
    }
    temporary->Attach(handle);
    try {
        temporaries.push_back(std::move(temporary));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return temporaries.back().get();
}

// Named through the injected class name: the one spelling every compiler reads the same way.
template <class Object, class Handle>
CDC::ObjectMap<Object, Handle>::ObjectMap::~ObjectMap() {
    // Temporary objects only borrow their handles: they must not destroy them.
    for (auto& temporary : temporaries) {
        temporary->Detach();
    }
}

CDC::CDC() = default;

CDC::~CDC() {
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
    HPALETTE previous = ::SelectPalette(m_hDC, handle, forceBackground);
    if (previous == nullptr) {
        return nullptr;
    }
    try {
        palettes_.Remember(handle, palette);
    } catch (const std::bad_alloc&) {
        // Selected all the same; the object is only not remembered for later selections.
    }
    return palettes_.ObjectFor(previous);
}

UINT CDC::RealizePalette() noexcept {
    return ::RealizePalette(m_hDC);
}

CBitmap* CDC::SelectObject(CBitmap* bitmap) noexcept {
    const auto handle = bitmap != nullptr ? static_cast<HBITMAP>(*bitmap) : nullptr;
    const auto previous = static_cast<HBITMAP>(::SelectObject(m_hDC, handle));
    if (previous == nullptr) {
        return nullptr;
    }
    try {
        bitmaps_.Remember(handle, bitmap);
    } catch (const std::bad_alloc&) {
        // Selected all the same; the object is only not remembered for later selections.
    }
    return bitmaps_.ObjectFor(previous);
}

COLORREF CDC::GetPixel(int x, int y) const noexcept {
    return ::GetPixel(m_hDC, x, y);
}

COLORREF CDC::SetPixel(int x, int y, COLORREF colour) noexcept {
    return ::SetPixel(m_hDC, x, y, colour);
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc,
                 DWORD rop) noexcept {
    return ::BitBlt(m_hDC, x, y, width, height, source != nullptr ? source->m_hDC : nullptr, xSrc,
                    ySrc, rop);
}

BOOL CDC::StretchBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc,
                     int srcWidth, int srcHeight, DWORD rop) noexcept {
    return ::StretchBlt(m_hDC, x, y, width, height, source != nullptr ? source->m_hDC : nullptr,
                        xSrc, ySrc, srcWidth, srcHeight, rop);
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

CClientDC::CClientDC(CWnd* window) noexcept : m_hWnd(window != nullptr ? window->m_hWnd : nullptr) {
    Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC() {
    HDC dc = Detach();
    if (dc != nullptr) {
        ::ReleaseDC(m_hWnd, dc);
    }
}
