// What a device context draws into: the surface behind it and the palette that gives its indexes
// their colours.
#pragma once

#include "../../win/types.h"
#include "device_contexts.h"
#include "surface.h"

namespace orvel::platform::detail {

class PaletteObject;

/// The screen: a 32-bit surface of kScreenWidth x kScreenHeight pixels, black at start.
Surface& ScreenSurface() noexcept;

struct DrawingTarget {
    DeviceContext* context = nullptr;
    Surface* surface = nullptr;
    const PaletteObject* palette = nullptr;
};

/// Resolves a context to its current surface (the screen, its window's client area, or its
/// memory bitmap). False with ERROR_INVALID_HANDLE for a bad context or a context whose window
/// has been destroyed.
bool ResolveDrawingTarget(HDC dc, DrawingTarget& target) noexcept;

} // namespace orvel::platform::detail
