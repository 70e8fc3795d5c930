#include "../gdi/device_context.h"
#include "../win/error.h"
#include "detail/windows.h"
#include "window.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace orvel::platform::detail;

namespace {

// The part of `rect` (the whole client area when null) inside the client area; false when that
// part is empty.
bool ClipToClient(const Window& window, const RECT* rect, RECT& clipped) noexcept {
    clipped = RECT{0, 0, window.client->Width(), window.client->Height()};
    if (rect != nullptr) {
        clipped.left = std::max(clipped.left, rect->left);
        clipped.top = std::max(clipped.top, rect->top);
        clipped.right = std::min(clipped.right, rect->right);
        clipped.bottom = std::min(clipped.bottom, rect->bottom);
    }
    return clipped.left < clipped.right && clipped.top < clipped.bottom;
}

void Invalidate(Window& window, const RECT* rect, BOOL erase) noexcept {
    RECT area{};
    if (!ClipToClient(window, rect, area)) {
        return;
    }
    std::lock_guard<std::mutex> guard(window.updateMutex);
    if (window.hasUpdate) {
        window.updateLeft = std::min(window.updateLeft, area.left);
        window.updateTop = std::min(window.updateTop, area.top);
        window.updateRight = std::max(window.updateRight, area.right);
        window.updateBottom = std::max(window.updateBottom, area.bottom);
    } else {
        window.updateLeft = area.left;
        window.updateTop = area.top;
        window.updateRight = area.right;
        window.updateBottom = area.bottom;
        window.hasUpdate = true;
    }
    window.eraseRequested = window.eraseRequested || erase != FALSE;
}

void ClearUpdate(Window& window) noexcept {
    window.hasUpdate = false;
    window.eraseRequested = false;
    window.updateLeft = window.updateTop = window.updateRight = window.updateBottom = 0;
}

} // namespace

BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase) noexcept {
    if (window == nullptr) {
        std::vector<HWND> all;
        try {
            Windows().ForEach([&](std::uintptr_t handle, const Window&) {
                all.push_back(MakeHandle<HWND>(handle));
            });
        } catch (const std::bad_alloc&) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        for (HWND each : all) {
            if (Window* found = Windows().Find(HandleValue(each))) {
                Invalidate(*found, nullptr, erase);
            }
        }
        return TRUE;
    }
    Window* found = FindWindowObject(window);
    if (found == nullptr) {
        return FALSE;
    }
    Invalidate(*found, rect, erase);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND window, const RECT* rect) noexcept {
    Window* found = FindWindowObject(window);
    if (found == nullptr) {
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(found->updateMutex);
    if (!found->hasUpdate) {
        return TRUE;
    }
    if (rect == nullptr) {
        ClearUpdate(*found);
        return TRUE;
    }
    const bool spansWidth = rect->left <= found->updateLeft && rect->right >= found->updateRight;
    const bool spansHeight = rect->top <= found->updateTop && rect->bottom >= found->updateBottom;
    if (spansWidth && rect->top <= found->updateTop) {
        found->updateTop = std::max(found->updateTop, rect->bottom);
    } else if (spansWidth && rect->bottom >= found->updateBottom) {
        found->updateBottom = std::min(found->updateBottom, rect->top);
    } else if (spansHeight && rect->left <= found->updateLeft) {
        found->updateLeft = std::max(found->updateLeft, rect->right);
    } else if (spansHeight && rect->right >= found->updateRight) {
        found->updateRight = std::min(found->updateRight, rect->left);
    }
    if (found->updateLeft >= found->updateRight || found->updateTop >= found->updateBottom) {
        ClearUpdate(*found);
    }
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND window, LPRECT rect, BOOL /*erase*/) noexcept {
    Window* found = FindWindowObject(window);
    if (found == nullptr) {
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(found->updateMutex);
    if (rect != nullptr) {
        *rect = RECT{found->updateLeft, found->updateTop, found->updateRight, found->updateBottom};
    }
    return found->hasUpdate ? TRUE : FALSE;
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) noexcept {
    Window* found = FindWindowObject(window);
    if (found == nullptr) {
        return nullptr;
    }
    if (paint == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HDC dc = GetDC(window);
    if (dc == nullptr) {
        return nullptr;
    }
    std::memset(paint, 0, sizeof *paint);
    paint->hdc = dc;
    std::lock_guard<std::mutex> guard(found->updateMutex);
    paint->fErase = found->eraseRequested ? TRUE : FALSE;
    paint->rcPaint =
        RECT{found->updateLeft, found->updateTop, found->updateRight, found->updateBottom};
    ClearUpdate(*found);
    return dc;
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) noexcept {
    if (paint == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return ReleaseDC(window, paint->hdc) != 0 ? TRUE : FALSE;
}
