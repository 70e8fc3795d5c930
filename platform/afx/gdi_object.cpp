#include "gdi_object.h"

#include "../gdi/device_context.h"
#include "../gdi/gdi_object.h"
#include "../gdi/palette.h"
#include "dc.h"

CGdiObject::~CGdiObject() {
    DeleteObject();
}

BOOL CGdiObject::Attach(HGDIOBJ handle) noexcept {
    if (handle == nullptr || m_hObject != nullptr) {
        return FALSE;
    }
    m_hObject = handle;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() noexcept {
    HGDIOBJ handle = m_hObject;
    m_hObject = nullptr;
    return handle;
}

BOOL CGdiObject::DeleteObject() noexcept {
    if (m_hObject == nullptr) {
        return FALSE;
    }
    return ::DeleteObject(Detach());
}

int CGdiObject::GetObject(int bytes, LPVOID buffer) const noexcept {
    return ::GetObjectA(m_hObject, bytes, buffer);
}

namespace {
// Attaches a freshly made handle, or destroys it when the object cannot take it, so that a
// refused creation never leaks a palette.
BOOL AttachOrDelete(CGdiObject& object, HGDIOBJ handle) noexcept {
    if (object.Attach(handle)) {
        return TRUE;
    }
    if (handle != nullptr) {
        ::DeleteObject(handle);
    }
    return FALSE;
}
} // namespace

BOOL CPalette::CreatePalette(const LOGPALETTE* logPalette) noexcept {
    if (m_hObject != nullptr) {
        return FALSE;
    }
    return AttachOrDelete(*this, ::CreatePalette(logPalette));
}

BOOL CPalette::CreateHalftonePalette(CDC* dc) noexcept {
    if (m_hObject != nullptr) {
        return FALSE;
    }
    if (dc != nullptr) {
        return AttachOrDelete(*this, ::CreateHalftonePalette(dc->m_hDC));
    }
    HDC screen = ::GetDC(nullptr);
    const BOOL attached = AttachOrDelete(*this, ::CreateHalftonePalette(screen));
    ::ReleaseDC(nullptr, screen);
    return attached;
}

int CPalette::GetEntryCount() const noexcept {
    WORD count = 0;
    return ::GetObjectA(m_hObject, sizeof count, &count) == 0 ? 0 : count;
}

UINT CPalette::GetPaletteEntries(UINT first, UINT count, LPPALETTEENTRY entries) const noexcept {
    return ::GetPaletteEntries(*this, first, count, entries);
}

UINT CPalette::GetNearestPaletteIndex(COLORREF colour) const noexcept {
    return ::GetNearestPaletteIndex(*this, colour);
}
