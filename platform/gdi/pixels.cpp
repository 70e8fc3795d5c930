#include "../win/error.h"
#include "detail/drawing_target.h"
#include "detail/pixel_colours.h"
#include "device_context.h"
#include "palette.h"

#include <new>
#include <optional>

using namespace orvel::platform::detail;

namespace {

// The surface pixel a point names, with its colour model; empty (last error set) for a bad
// context or a point outside the surface.
struct PixelSite {
    DrawingTarget target;
    std::optional<PixelColours> colours;
};

bool ResolvePixel(HDC dc, int x, int y, PixelSite& site) noexcept {
    if (!ResolveDrawingTarget(dc, site.target)) {
        return false;
    }
    if (!site.target.surface->Contains(x, y)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    try {
        site.colours.emplace(site.target.surface->BitsPerPixel(), site.target.palette);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

} // namespace

COLORREF WINAPI GetPixel(HDC dc, int x, int y) noexcept {
    PixelSite site;
    if (!ResolvePixel(dc, x, y, site)) {
        return CLR_INVALID;
    }
    if (!RefreshFromScreen(site.target, x, y, 1, 1)) {
        return CLR_INVALID;
    }
    const Surface& surface = *site.target.surface;
    return site.colours->Decode(ReadPixel(surface.Row(y), x, surface.BitsPerPixel()));
}

COLORREF WINAPI SetPixel(HDC dc, int x, int y, COLORREF colour) noexcept {
    PixelSite site;
    if (!ResolvePixel(dc, x, y, site)) {
        return CLR_INVALID;
    }
    Surface& surface = *site.target.surface;
    const DWORD value =
        site.colours->Encode(GetRValue(colour), GetGValue(colour), GetBValue(colour));
    WritePixel(surface.Row(y), x, surface.BitsPerPixel(), value);
    TargetChanged(site.target, x, y, 1, 1);
    return site.colours->Decode(value);
}
