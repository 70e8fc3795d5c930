#include "detail/windows.h"

#include "../detail/immortal.h"
#include "../detail/live_counters.h"
#include "../display/display.h"
#include "../gdi/device_context.h"
#include "../win/error.h"
#include "detail/clipboard_hooks.h"
#include "window.h"

#include <vector>

namespace orvel::platform::detail {
namespace {
const bool g_registered = RegisterLiveCounter(&orvel::testing::LiveCounts::windows,
                                              []() noexcept { return Windows().LiveCount(); });

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;
} // namespace

// In static storage, zero until written: the table's pages cost memory only as it fills.
constinit Immortal<WindowTable> g_windows;

WindowTable& Windows() noexcept {
    return g_windows.value;
}

Window* FindWindowObject(HWND window) noexcept {
    Window* found = Windows().Find(HandleValue(window));
    if (found == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    }
    return found;
}

} // namespace orvel::platform::detail

using namespace orvel::platform::detail;

HWND WINAPI CreateWindowExA(DWORD /*exStyle*/, LPCSTR /*className*/, LPCSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU /*menu*/,
                            HINSTANCE /*instance*/, LPVOID /*param*/) noexcept {
    if (width == CW_USEDEFAULT) {
        width = kDefaultWidth;
    }
    if (height == CW_USEDEFAULT) {
        height = kDefaultHeight;
    }
    if (width <= 0 || height <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (parent != nullptr && FindWindowObject(parent) == nullptr) {
        return nullptr;
    }
    auto window = std::unique_ptr<Window>(new (std::nothrow) Window);
    if (!window) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    window->client = Surface::Make(width, height, 32, 4);
    if (!window->client) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    window->parent = parent;
    window->style = style;
    try {
        window->title = windowName != nullptr ? windowName : "";
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const Surface& client = *window->client;
    const std::string& title = window->title;
    const std::uintptr_t handle = Windows().Insert(std::move(window));
    if (handle == 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // A top-level window is shown on the desktop; child windows stay surfaces of their own.
    if (parent == nullptr &&
        !TheDesktop().OpenWindow(MakeHandle<HWND>(handle), title.c_str(),
                                 x == CW_USEDEFAULT ? 0 : x, y == CW_USEDEFAULT ? 0 : y,
                                 (style & WS_VISIBLE) != 0, client)) {
        Windows().Remove(handle);
        return nullptr;
    }
    return MakeHandle<HWND>(handle);
}

BOOL WINAPI DestroyWindow(HWND window) noexcept {
    if (FindWindowObject(window) == nullptr) {
        return FALSE;
    }
    // Children go first, as published; each takes its own children with it.
    std::vector<HWND> children;
    try {
        Windows().ForEach([&](std::uintptr_t handle, const Window& candidate) {
            if (candidate.parent == window) {
                children.push_back(MakeHandle<HWND>(handle));
            }
        });
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    for (HWND child : children) {
        DestroyWindow(child);
    }
    ClipboardWindowDestroyed(window);
    TheDesktop().CloseWindow(window);
    Windows().Remove(HandleValue(window));
    return TRUE;
}

BOOL WINAPI IsDesktopReal() noexcept {
    return TheDesktop().IsReal() ? TRUE : FALSE;
}

BOOL WINAPI IsWindow(HWND window) noexcept {
    return Windows().Find(HandleValue(window)) != nullptr ? TRUE : FALSE;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) noexcept {
    const Window* found = FindWindowObject(window);
    if (found == nullptr) {
        return FALSE;
    }
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *rect = RECT{0, 0, found->client->Width(), found->client->Height()};
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND window, LPPOINT point) noexcept {
    if (FindWindowObject(window) == nullptr) {
        return FALSE;
    }
    if (point == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const POINT origin = TheDesktop().ClientOrigin(window);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}
