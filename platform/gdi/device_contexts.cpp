#include "detail/device_contexts.h"

#include "../detail/live_counters.h"
#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "detail/gdi_objects.h"
#include "device_context.h"
#include "gdi_object.h"

#include <array>
#include <vector>

namespace orvel::platform::detail {
namespace {
const bool g_registered =
    RegisterLiveCounter(&orvel::testing::LiveCounts::deviceContexts,
                        []() noexcept { return DeviceContexts().LiveCount(); });

// The 20 static colours of the published default palette.
constexpr std::array<PALETTEENTRY, 20> kStaticColours = {{
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
}};
} // namespace

DeviceContextTable& DeviceContexts() noexcept {
    static DeviceContextTable* table = new DeviceContextTable;
    return *table;
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
    if (GdiObject* bitmap = GdiObjects().Find(HandleValue(context->bitmap))) {
        bitmap->selections.fetch_sub(1, std::memory_order_acq_rel);
    }
    return TRUE;
}

} // namespace
} // namespace orvel::platform::detail

using namespace orvel::platform::detail;

HDC WINAPI GetDC(HWND window) noexcept {
    if (window != nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return NewDeviceContext(DcKind::Screen, nullptr);
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

UINT WINAPI RealizePalette(HDC dc) noexcept {
    const DeviceContext* context = FindDeviceContext(dc);
    if (context == nullptr) {
        return GDI_ERROR;
    }
    // The system palette arrives with the display work; until then no entry ever changes.
    return 0;
}

HGDIOBJ WINAPI GetStockObject(int which) noexcept {
    return which == DEFAULT_PALETTE ? static_cast<HGDIOBJ>(DefaultPalette()) : nullptr;
}
