#include "detail/drawing_target.h"

#include "../user/detail/windows.h"
#include "../win/error.h"
#include "detail/bitmap_object.h"
#include "detail/gdi_objects.h"
#include "device_context.h"

#include <cstdlib>

namespace orvel::platform::detail {

Surface& ScreenSurface() noexcept {
    static Surface* screen = [] {
        std::unique_ptr<Surface> surface = Surface::Make(kScreenWidth, kScreenHeight, 32, 4);
        if (!surface) {
            std::abort(); // a platform without its screen cannot start
        }
        return surface.release();
    }();
    return *screen;
}

bool ResolveDrawingTarget(HDC dc, DrawingTarget& target) noexcept {
    DeviceContext* context = FindDeviceContext(dc);
    if (context == nullptr) {
        return false;
    }
    target.context = context;
    target.palette = FindPalette(context->palette);
    switch (context->kind) {
    case DcKind::Screen:
        target.surface = &ScreenSurface();
        break;
    case DcKind::Window: {
        Window* window = Windows().Find(HandleValue(context->window));
        target.surface = window != nullptr ? window->client.get() : nullptr;
        break;
    }
    case DcKind::Memory: {
        BitmapObject* bitmap = FindBitmap(context->bitmap);
        target.surface = bitmap != nullptr ? &bitmap->Pixels() : nullptr;
        break;
    }
    }
    if (target.surface == nullptr || target.palette == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return true;
}

} // namespace orvel::platform::detail
