#include "bitmap.h"

#include "../gdi/bitmap.h"
#include "../gdi/device_context.h"
#include "../gdi/gdi_object.h"
#include "dc.h"

namespace {
// A created handle the object cannot take is destroyed, so a refused creation never leaks.
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

BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel,
                           const void* bits) noexcept {
    if (m_hObject != nullptr) {
        return FALSE;
    }
    return AttachOrDelete(*this, ::CreateBitmap(width, height, planes, bitsPerPixel, bits));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) noexcept {
    if (m_hObject != nullptr) {
        return FALSE;
    }
    if (dc != nullptr) {
        return AttachOrDelete(*this, ::CreateCompatibleBitmap(dc->m_hDC, width, height));
    }
    HDC screen = ::GetDC(nullptr);
    const BOOL attached = AttachOrDelete(*this, ::CreateCompatibleBitmap(screen, width, height));
    ::ReleaseDC(nullptr, screen);
    return attached;
}

int CBitmap::GetBitmap(BITMAP* record) const noexcept {
    return ::GetObjectA(m_hObject, sizeof(BITMAP), record);
}
