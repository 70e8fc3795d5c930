/// @file
/// The framework's device-dependent bitmap class.
#pragma once

#include "../export.h"
#include "../win/bitmap_structs.h"
#include "../win/types.h"
#include "gdi_object.h"

class CDC;

/// A device-dependent bitmap; owns its handle and destroys it with itself.
class ORVEL_PLATFORM_API CBitmap : public CGdiObject {
public:
    CBitmap() = default;

    /// The bitmap's handle; null when the object is empty.
    operator HBITMAP() const noexcept { // NOLINT: published conversion
        return static_cast<HBITMAP>(m_hObject);
    }

    /// Creates a bitmap (see ::CreateBitmap) and attaches it. FALSE when the object already
    /// holds one or the platform refuses.
    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel,
                      const void* bits) noexcept;
    /// Creates a bitmap in the format of a context's surface (the screen's when null) and
    /// attaches it.
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height) noexcept;
    /// Fills a BITMAP record; the number of bytes written, 0 on failure.
    int GetBitmap(BITMAP* record) const noexcept;
};
