#include "detail/drawing_target.h"

#include "../display/display.h"
#include "../user/detail/windows.h"
#include "../win/error.h"
#include "detail/bitmap_object.h"
#include "detail/gdi_objects.h"
#include "device_context.h"

#include <algorithm>
#include <cstdlib>

namespace orvel::platform::detail {

Surface& ScreenSurface() noexcept {
    static Surface* screen = [] {
        const ScreenInfo info = TheDesktop().Screen();
        std::unique_ptr<Surface> surface = Surface::Make(info.width, info.height, 32, 4);
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

namespace {

// The rectangle a corner and two extents cover, clipped to the surface; empty when outside it.
RECT Covered(const Surface& surface, long long x, long long y, long long width,
             long long height) noexcept {
    const long long left = std::clamp<long long>(width < 0 ? x + width : x, 0, surface.Width());
    const long long right = std::clamp<long long>(width < 0 ? x : x + width, 0, surface.Width());
    const long long top = std::clamp<long long>(height < 0 ? y + height : y, 0, surface.Height());
    const long long bottom =
        std::clamp<long long>(height < 0 ? y : y + height, 0, surface.Height());
    return RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
                static_cast<LONG>(bottom)};
}

} // namespace

void TargetChanged(const DrawingTarget& target, long long x, long long y, long long width,
                   long long height) noexcept {
    if (target.context->kind != DcKind::Window) {
        return;
    }
    const RECT area = Covered(*target.surface, x, y, width, height);
    if (area.left < area.right && area.top < area.bottom) {
        TheDesktop().SurfaceChanged(target.context->window, *target.surface, area);
    }
}

bool RefreshFromScreen(const DrawingTarget& source, long long x, long long y, long long width,
                       long long height) noexcept {
    if (source.context->kind != DcKind::Screen) {
        return true;
    }
    const RECT area = Covered(*source.surface, x, y, width, height);
    if (area.left >= area.right || area.top >= area.bottom) {
        return true;
    }
    return TheDesktop().ReadScreen(*source.surface, area);
}

} // namespace orvel::platform::detail
