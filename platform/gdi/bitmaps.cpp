#include "bitmap.h"

#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "detail/bitmap_object.h"
#include "detail/drawing_target.h"

#include <algorithm>
#include <cstring>

namespace orvel::platform::detail {

int BitmapObject::Describe(int bytes, void* buffer) const noexcept {
    if (buffer == nullptr) {
        return static_cast<int>(sizeof(BITMAP));
    }
    if (bytes < static_cast<int>(sizeof(LONG))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    BITMAP record{};
    record.bmType = 0;
    record.bmWidth = pixels_->Width();
    record.bmHeight = pixels_->Height();
    record.bmWidthBytes = static_cast<LONG>(pixels_->Stride());
    record.bmPlanes = 1;
    record.bmBitsPixel = static_cast<WORD>(pixels_->BitsPerPixel());
    record.bmBits = nullptr;
    // A caller with room for the 24-byte record of 32-bit programs gets every field but bmBits.
    const int written = std::min(bytes, static_cast<int>(sizeof record));
    std::memcpy(buffer, &record, static_cast<std::size_t>(written));
    return written;
}

BitmapObject* FindBitmap(HBITMAP handle) noexcept {
    GdiObject* object = GdiObjects().Find(HandleValue(handle));
    if (object == nullptr || object->Kind() != GdiKind::Bitmap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<BitmapObject*>(object);
}

HBITMAP DefaultBitmap() noexcept {
    static const HBITMAP bitmap = [] {
        auto object = std::make_unique<BitmapObject>(Surface::Make(1, 1, 1, 2));
        object->stock = true;
        return static_cast<HBITMAP>(InsertGdiObject(std::move(object)));
    }();
    return bitmap;
}

namespace {

// Made when the platform loads, so the stock bitmap is never counted as a new live object.
const HBITMAP g_defaultBitmap = DefaultBitmap();

// The published rounding of a requested depth to one the platform keeps.
int RoundDepth(UINT bits) noexcept {
    for (const int depth : {1, 4, 8, 16, 24, 32}) {
        if (bits <= static_cast<UINT>(depth)) {
            return depth;
        }
    }
    return 0;
}

HBITMAP MakeBitmap(int width, int height, int depth) noexcept {
    if (width == 0 || height == 0) {
        return DefaultBitmap();
    }
    if (orvel::testing::ShouldFail(orvel::testing::kFaultCreateBitmap)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::unique_ptr<Surface> pixels = Surface::Make(width, height, depth, 2);
    if (!pixels) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto object = std::unique_ptr<GdiObject>(new (std::nothrow) BitmapObject(std::move(pixels)));
    if (!object) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<HBITMAP>(InsertGdiObject(std::move(object)));
}

} // namespace
} // namespace orvel::platform::detail

using namespace orvel::platform::detail;

HBITMAP WINAPI CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel,
                            const void* bits) noexcept {
    const UINT totalBits = planes * bitsPerPixel;
    if (width < 0 || height < 0 || planes > 32 || bitsPerPixel > 32 || totalBits > 32) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const int depth = RoundDepth(totalBits == 0 ? 1 : totalBits);
    const HBITMAP handle = MakeBitmap(width, height, depth);
    if (handle == nullptr || bits == nullptr || handle == DefaultBitmap()) {
        return handle;
    }
    Surface& pixels = FindBitmap(handle)->Pixels();
    std::memcpy(pixels.Row(0), bits, pixels.Stride() * static_cast<std::size_t>(pixels.Height()));
    return handle;
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int width, int height) noexcept {
    DrawingTarget target;
    if (!ResolveDrawingTarget(dc, target)) {
        return nullptr;
    }
    if (width < 0 || height < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return MakeBitmap(width, height, target.surface->BitsPerPixel());
}
