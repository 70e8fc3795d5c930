#include "../gdi/device_context.h"
#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "headless_desktop.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace orvel::platform::detail {
namespace {

HeadlessDesktop& Headless() noexcept {
    static HeadlessDesktop* headless = new HeadlessDesktop;
    return *headless;
}

std::mutex g_choiceMutex;
std::atomic<long> g_selectionWait{5000};
std::atomic<Desktop*> g_desktop{nullptr};
bool g_exitHookInstalled = false;

bool HeadlessForced() noexcept {
    const char* value = std::getenv("ORVEL_HEADLESS");
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

Desktop* Choose() noexcept {
    if (HeadlessForced()) {
        return &Headless();
    }
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0' ||
        orvel::testing::ShouldFail(orvel::testing::kFaultDesktopConnect)) {
        return &Headless();
    }
    Desktop* x11 = ConnectX11Desktop();
    return x11 != nullptr ? x11 : &Headless();
}

// The real desktop is closed when the process exits: it hands the clipboard over, closes its
// windows and its connection, and stops its thread. Whatever runs after that (static destructors
// destroying windows) meets the headless desktop.
void Release(Desktop* desktop) noexcept {
    if (desktop != nullptr && desktop != &Headless()) {
        delete desktop;
    }
}

void CloseAtExit() noexcept {
    std::lock_guard<std::mutex> guard(g_choiceMutex);
    Release(g_desktop.exchange(&Headless()));
}

} // namespace

Desktop& TheDesktop() noexcept {
    Desktop* desktop = g_desktop.load(std::memory_order_acquire);
    if (desktop != nullptr) [[likely]] {
        return *desktop;
    }
    std::lock_guard<std::mutex> guard(g_choiceMutex);
    desktop = g_desktop.load(std::memory_order_relaxed);
    if (desktop == nullptr) {
        // Choosing may fail on purpose or for real; either way the caller's last error is its
        // own.
        const DWORD error = GetLastError();
        desktop = Choose();
        SetLastError(error);
        if (desktop->IsReal() && !g_exitHookInstalled) {
            g_exitHookInstalled = std::atexit(CloseAtExit) == 0;
        }
        g_desktop.store(desktop, std::memory_order_release);
    }
    return *desktop;
}

long SelectionWaitMilliseconds() noexcept {
    return g_selectionWait.load(std::memory_order_relaxed);
}

HGLOBAL HeadlessDesktop::FetchForeignPicture() noexcept {
    SetLastError(ERROR_NOT_FOUND);
    return nullptr;
}

ScreenInfo HeadlessDesktop::Screen() const noexcept {
    return ScreenInfo{kScreenWidth, kScreenHeight, 32, false};
}

} // namespace orvel::platform::detail

void orvel::testing::ReopenDesktop() noexcept {
    using namespace orvel::platform::detail;
    {
        std::lock_guard<std::mutex> guard(g_choiceMutex);
        Release(g_desktop.exchange(nullptr));
    }
    TheDesktop();
}

void orvel::testing::SetSelectionWait(long milliseconds) noexcept {
    orvel::platform::detail::g_selectionWait.store(milliseconds, std::memory_order_relaxed);
}
