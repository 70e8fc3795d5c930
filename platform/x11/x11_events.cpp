// The desktop's event thread: repaints, key presses, the close button, and the clipboard's
// side of the selection protocol.
#include "x11_desktop.h"

#include <cstdlib>
#include <cstring>

namespace orvel::platform::detail {
namespace {

// Key codes of the window service for the keys a viewer cares about; letters and digits are
// their upper-case characters, as published.
UINT VirtualKeyOfKeysym(std::uint32_t keysym) noexcept {
    constexpr UINT kBack = 0x08;
    constexpr UINT kTab = 0x09;
    constexpr UINT kReturn = 0x0D;
    constexpr UINT kEscape = 0x1B;
    constexpr UINT kSpace = 0x20;
    if (keysym >= 'a' && keysym <= 'z') {
        return keysym - 'a' + 'A';
    }
    if ((keysym >= 'A' && keysym <= 'Z') || (keysym >= '0' && keysym <= '9')) {
        return keysym;
    }
    switch (keysym) {
    case 0xFF08:
        return kBack;
    case 0xFF09:
        return kTab;
    case 0xFF0D:
    case 0xFF8D:
        return kReturn;
    case 0xFF1B:
        return kEscape;
    case 0x20:
        return kSpace;
    default:
        return 0;
    }
}

} // namespace

UINT X11Desktop::VirtualKeyOf(xcb_keycode_t keycode) noexcept {
    const std::size_t index = static_cast<std::size_t>(keycode - minKeycode_) *
                              static_cast<std::size_t>(keysymsPerKeycode_);
    if (keycode < minKeycode_ || index >= keysyms_.size()) {
        return 0;
    }
    return VirtualKeyOfKeysym(keysyms_[index]);
}

void X11Desktop::RunEvents() noexcept {
    for (;;) {
        xcb_generic_event_t* event = xcb_wait_for_event(connection_);
        if (event == nullptr) {
            return; // the connection is gone: nothing more will come
        }
        switch (event->response_type & 0x7FU) {
        case XCB_EXPOSE:
            OnExpose(*reinterpret_cast<xcb_expose_event_t*>(event));
            break;
        case XCB_KEY_PRESS:
            OnKeyPress(*reinterpret_cast<xcb_key_press_event_t*>(event));
            break;
        case XCB_CLIENT_MESSAGE: {
            const auto& message = *reinterpret_cast<xcb_client_message_event_t*>(event);
            if (message.window == helper_ && message.type == atoms_.wake) {
                std::free(event);
                return;
            }
            OnClientMessage(message);
            break;
        }
        case XCB_SELECTION_REQUEST:
            OnSelectionRequest(*reinterpret_cast<xcb_selection_request_event_t*>(event));
            break;
        case XCB_SELECTION_CLEAR:
            OnSelectionClear(*reinterpret_cast<xcb_selection_clear_event_t*>(event));
            break;
        case XCB_SELECTION_NOTIFY:
            PassToFetcher(*event);
            break;
        case XCB_PROPERTY_NOTIFY:
            OnPropertyNotify(*reinterpret_cast<xcb_property_notify_event_t*>(event));
            break;
        default:
            break; // errors of requests nobody checks, structure changes
        }
        std::free(event);
    }
}

void X11Desktop::OnExpose(const xcb_expose_event_t& event) noexcept {
    std::shared_ptr<ShownWindow> shown;
    {
        std::lock_guard<std::mutex> guard(windowsMutex_);
        for (const auto& [handle, candidate] : windows_) {
            if (candidate->id == event.window) {
                shown = candidate;
                break;
            }
        }
    }
    if (shown == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> guard(shown->mutex);
    const int top = std::min<int>(event.y, shown->height);
    const int bottom = std::min<int>(event.y + event.height, shown->height);
    PutRows(*shown, top, bottom);
    xcb_flush(connection_);
}

void X11Desktop::OnKeyPress(const xcb_key_press_event_t& event) noexcept {
    const HWND window = WindowOf(event.event);
    if (window != nullptr) {
        DesktopKeyPressed(window, VirtualKeyOf(event.detail));
    }
}

void X11Desktop::OnClientMessage(const xcb_client_message_event_t& event) noexcept {
    if (event.type != atoms_.wmProtocols || event.format != 32 ||
        event.data.data32[0] != atoms_.wmDeleteWindow) {
        return;
    }
    const HWND window = WindowOf(event.window);
    if (window != nullptr) {
        DesktopCloseRequested(window);
    }
}

void X11Desktop::OnPropertyNotify(const xcb_property_notify_event_t& event) noexcept {
    if (event.window == helper_) {
        if (event.state == XCB_PROPERTY_NEW_VALUE && event.atom == atoms_.transfer) {
            PassToFetcher(*reinterpret_cast<const xcb_generic_event_t*>(&event));
        }
        return;
    }
    // A requestor deleted the piece it read: the next piece of that transfer goes out.
    if (event.state != XCB_PROPERTY_DELETE) {
        return;
    }
    for (OutgoingTransfer& transfer : outgoing_) {
        if (transfer.finished || transfer.requestor != event.window ||
            transfer.property != event.atom) {
            continue;
        }
        const std::size_t chunk =
            std::min<std::size_t>(maxRequestBytes_ / 4, transfer.data->size() - transfer.sent);
        // The last piece is an empty one, which tells the requestor the data is complete.
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, transfer.requestor,
                            transfer.property, transfer.type, 8, static_cast<std::uint32_t>(chunk),
                            transfer.data->data() + transfer.sent);
        transfer.finished = chunk == 0;
        transfer.sent += chunk;
        transfer.lastActivity = std::chrono::steady_clock::now();
        if (transfer.finished) {
            const std::uint32_t noEvents = XCB_EVENT_MASK_NO_EVENT;
            xcb_change_window_attributes(connection_, transfer.requestor, XCB_CW_EVENT_MASK,
                                         &noEvents);
        }
        xcb_flush(connection_);
        break;
    }
    std::erase_if(outgoing_, [](const OutgoingTransfer& transfer) { return transfer.finished; });
}

void X11Desktop::PassToFetcher(const xcb_generic_event_t& event) noexcept {
    std::lock_guard<std::mutex> guard(inboxMutex_);
    if (!fetching_ && !saving_) {
        return;
    }
    try {
        inbox_.push_back(event);
    } catch (const std::bad_alloc&) {
        return; // the fetcher's wait runs out and reports the failure
    }
    inboxReady_.notify_all();
}

} // namespace orvel::platform::detail
