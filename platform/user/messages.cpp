#include "messages.h"

#include "../display/display.h"
#include "../win/error.h"

#include <chrono>
#include <deque>
#include <mutex>

namespace orvel::platform::detail {
namespace {

struct MessageQueue {
    std::mutex mutex;
    std::deque<MSG> messages;
};

MessageQueue& TheQueue() noexcept {
    static MessageQueue* queue = new MessageQueue;
    return *queue;
}

void Post(HWND window, UINT message, WPARAM wParam) noexcept {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const MSG posted{
        window,
        message,
        wParam,
        0,
        static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()),
        POINT{0, 0}};
    MessageQueue& queue = TheQueue();
    std::lock_guard<std::mutex> guard(queue.mutex);
    try {
        queue.messages.push_back(posted);
    } catch (const std::bad_alloc&) {
        // a message lost for want of memory, as a full queue loses it
    }
}

} // namespace

void DesktopKeyPressed(HWND window, UINT virtualKey) noexcept {
    Post(window, WM_KEYDOWN, virtualKey);
}

void DesktopCloseRequested(HWND window) noexcept {
    Post(window, WM_CLOSE, 0);
}

} // namespace orvel::platform::detail

using namespace orvel::platform::detail;

BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove) noexcept {
    if (message == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MessageQueue& queue = TheQueue();
    std::lock_guard<std::mutex> guard(queue.mutex);
    for (auto it = queue.messages.begin(); it != queue.messages.end(); ++it) {
        const bool anyNumber = first == 0 && last == 0;
        if ((window != nullptr && it->hwnd != window) ||
            (!anyNumber && (it->message < first || it->message > last))) {
            continue;
        }
        *message = *it;
        if ((remove & PM_REMOVE) != 0) {
            queue.messages.erase(it);
        }
        return TRUE;
    }
    return FALSE;
}
