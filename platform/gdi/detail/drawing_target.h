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

/// A drawing call changed the target's pixels inside the rectangle at (x, y) of width x height
/// (a negative extent reaches back from the corner). A window's change reaches the desktop's
/// screen before the call returns.
void TargetChanged(const DrawingTarget& target, long long x, long long y, long long width,
                   long long height) noexcept;

/// Reads what the desktop's screen shows into the screen surface before a screen context is read
/// from: a rectangle at (x, y) of width x height. False with the last error set when the desktop
/// cannot read it; true for any other context.
bool RefreshFromScreen(const DrawingTarget& source, long long x, long long y, long long width,
                       long long height) noexcept;

} // namespace orvel::platform::detail
