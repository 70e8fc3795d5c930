#include "detail/device_contexts.h"

#include "../detail/immortal.h"
#include "../detail/live_counters.h"
#include "../display/display.h"
#include "../testing/fault_injection.h"
#include "../user/detail/windows.h"
#include "../win/error.h"
#include "detail/bitmap_object.h"
#include "detail/gdi_objects.h"
#include "detail/static_colours.h"
#include "device_context.h"
#include "gdi_object.h"

#include <array>
#include <vector>

namespace orvel::platform::detail {
namespace {
const bool g_registered =
    RegisterLiveCounter(&orvel::testing::LiveCounts::deviceContexts,
                        []() noexcept { return DeviceContexts().LiveCount(); });

} // namespace

// In static storage, zero until written: the table's pages cost memory only as it fills.
constinit Immortal<DeviceContextTable> g_deviceContexts;

DeviceContextTable& DeviceContexts() noexcept {
    return g_deviceContexts.value;
}

DeviceContext* FindDeviceContext(HDC dc) noexcept {
    DeviceContext* context = DeviceContexts().Find(HandleValue(dc));
    if (context == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return context;
}

DWORD DeviceContextType(HDC dc) noexcept {
    const DeviceContext* context = DeviceContexts().Find(HandleValue(dc));
    if (context == nullptr) {
        return 0;
    }
    return context->kind == DcKind::Memory ? OBJ_MEMDC : OBJ_DC;
}

HPALETTE DefaultPalette() noexcept {
    static const HPALETTE palette = [] {
        auto object = std::make_unique<PaletteObject>(
            std::vector<PALETTEENTRY>(kStaticColours.begin(), kStaticColours.end()));
        object->stock = true;
        return static_cast<HPALETTE>(InsertGdiObject(std::move(object)));
    }();
    return palette;
}

namespace {

// Made when the platform loads, so the stock palette is never counted as a new live object.
const HPALETTE g_defaultPalette = DefaultPalette();

HDC NewDeviceContext(DcKind kind, HWND window) noexcept {
    if (orvel::testing::ShouldFail(orvel::testing::kFaultDeviceContext)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto context = std::unique_ptr<DeviceContext>(new (std::nothrow) DeviceContext);
    if (!context) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    context->kind = kind;
    context->window = window;
    context->palette = DefaultPalette();
    FindGdiObject(context->palette)->selections.fetch_add(1, std::memory_order_acq_rel);
    if (kind == DcKind::Memory) {
        context->bitmap = DefaultBitmap();
        FindGdiObject(context->bitmap)->selections.fetch_add(1, std::memory_order_acq_rel);
    }
    const std::uintptr_t handle = DeviceContexts().Insert(std::move(context));
    if (handle == 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return MakeHandle<HDC>(handle);
}

BOOL EndDeviceContext(HDC dc) noexcept {
    std::unique_ptr<DeviceContext> context = DeviceContexts().Remove(HandleValue(dc));
    if (!context) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (GdiObject* palette = GdiObjects().Find(HandleValue(context->palette))) {
        palette->selections.fetch_sub(1, std::memory_order_acq_rel);
    }
    if (GdiObject* object = GdiObjects().Find(HandleValue(context->bitmap))) {
        object->selections.fetch_sub(1, std::memory_order_acq_rel);
        if (object->Kind() == GdiKind::Bitmap && !object->stock) {
            static_cast<BitmapObject*>(object)->selectedInto.store(nullptr,
                                                                   std::memory_order_release);
        }
    }
    return TRUE;
}

} // namespace
} // namespace orvel::platform::detail

using namespace orvel::platform::detail;

HDC WINAPI GetDC(HWND window) noexcept {
    if (window == nullptr) {
        return NewDeviceContext(DcKind::Screen, nullptr);
    }
    if (FindWindowObject(window) == nullptr) {
        return nullptr;
    }
    return NewDeviceContext(DcKind::Window, window);
}

int WINAPI ReleaseDC(HWND /*window*/, HDC dc) noexcept {
    const DeviceContext* context = DeviceContexts().Find(HandleValue(dc));
    if (context == nullptr || context->kind == DcKind::Memory) {
        return 0;
    }
    return EndDeviceContext(dc);
}

HDC WINAPI CreateCompatibleDC(HDC dc) noexcept {
    if (dc != nullptr && FindDeviceContext(dc) == nullptr) {
        return nullptr;
    }
    return NewDeviceContext(DcKind::Memory, nullptr);
}

BOOL WINAPI DeleteDC(HDC dc) noexcept {
    const DeviceContext* context = FindDeviceContext(dc);
    if (context == nullptr) {
        return FALSE;
    }
    if (context->kind != DcKind::Memory) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return EndDeviceContext(dc);
}

HPALETTE WINAPI SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground) noexcept {
    DeviceContext* context = FindDeviceContext(dc);
    if (context == nullptr) {
        return nullptr;
    }
    const PaletteObject* object = FindPalette(palette);
    if (object == nullptr) {
        return nullptr;
    }
    const HPALETTE previous = context->palette;
    object->selections.fetch_add(1, std::memory_order_acq_rel);
    if (GdiObject* old = GdiObjects().Find(HandleValue(previous))) {
        old->selections.fetch_sub(1, std::memory_order_acq_rel);
    }
    context->palette = palette;
    context->paletteBackground = forceBackground != FALSE;
    return previous;
}

HGDIOBJ WINAPI GetStockObject(int which) noexcept {
    return which == DEFAULT_PALETTE ? static_cast<HGDIOBJ>(DefaultPalette()) : nullptr;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) noexcept {
    DeviceContext* context = FindDeviceContext(dc);
    if (context == nullptr) {
        return nullptr;
    }
    GdiObject* found = FindGdiObject(object);
    if (found == nullptr) {
        return nullptr;
    }
    if (found->Kind() != GdiKind::Bitmap || context->kind != DcKind::Memory) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const auto bitmap = static_cast<HBITMAP>(object);
    const HBITMAP previous = context->bitmap;
    if (bitmap == previous) {
        return previous;
    }
    auto* chosen = static_cast<BitmapObject*>(found);
    if (!chosen->stock) {
        // One context at a time: two contexts drawing into one bitmap with different palettes
        // would give its indexes two meanings.
        HDC expected = nullptr;
        if (!chosen->selectedInto.compare_exchange_strong(expected, dc,
                                                          std::memory_order_acq_rel)) {
            SetLastError(ERROR_BUSY);
            return nullptr;
        }
    }
    chosen->selections.fetch_add(1, std::memory_order_acq_rel);
    if (GdiObject* old = GdiObjects().Find(HandleValue(previous))) {
        old->selections.fetch_sub(1, std::memory_order_acq_rel);
        if (old->Kind() == GdiKind::Bitmap && !old->stock) {
            static_cast<BitmapObject*>(old)->selectedInto.store(nullptr, std::memory_order_release);
        }
    }
    context->bitmap = bitmap;
    return previous;
}

int WINAPI GetDeviceCaps(HDC dc, int index) noexcept {
    if (DeviceContextType(dc) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const ScreenInfo screen = TheDesktop().Screen();
    switch (index) {
    case HORZRES:
        return screen.width;
    case VERTRES:
        return screen.height;
    case BITSPIXEL:
        return screen.depth;
    case PLANES:
        return 1;
    case SIZEPALETTE:
        return 256;
    case NUMRESERVED:
        return 20;
    default:
        return 0;
    }
}
