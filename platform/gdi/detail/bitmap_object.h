// Device-dependent bitmaps as GDI objects: a surface of pixels and the context it is selected into.
#pragma once

#include "../../win/types.h"
#include "gdi_objects.h"
#include "surface.h"

#include <atomic>
#include <memory>

namespace orvel::platform::detail {

class BitmapObject final : public GdiObject {
public:
    explicit BitmapObject(std::unique_ptr<Surface> pixels) noexcept
        : GdiObject(GdiKind::Bitmap), pixels_(std::move(pixels)) {}

    Surface& Pixels() noexcept { return *pixels_; }
    const Surface& Pixels() const noexcept { return *pixels_; }

    /// The memory context the bitmap is selected into, or null. A bitmap other than the stock
    /// one is selected into at most one context at a time.
    std::atomic<HDC> selectedInto{nullptr};

    /// GetObject: the BITMAP record (bmBits is null: a device-dependent bitmap's pixels are not
    /// the application's to address).
    int Describe(int bytes, void* buffer) const noexcept override;

private:
    std::unique_ptr<Surface> pixels_;
};

/// The bitmap behind a handle, or null with ERROR_INVALID_HANDLE (also for a palette handle).
BitmapObject* FindBitmap(HBITMAP handle) noexcept;

/// The stock 1 x 1 monochrome bitmap every memory context starts with.
HBITMAP DefaultBitmap() noexcept;

} // namespace orvel::platform::detail
