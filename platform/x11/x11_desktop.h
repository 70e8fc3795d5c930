// The X11 desktop: the platform's windows shown on an X server through libxcb, the screen read
// back from it, an 8-bit PseudoColor screen's colormap as the system palette, and the clipboard
// shared with other programs through the CLIPBOARD selection.
//
// One connection serves the process. Its events (Expose, key presses, the close button, selection
// requests and notifications) are read by a thread the desktop owns, so that a program without a
// message loop still repaints its windows and serves the clipboard. Every window shown keeps a
// copy of its client area in the server's pixel format (in memory shared with a local server);
// drawing calls convert the rectangle they changed into it and send it, and Expose repaints from
// it. That copy is the only thing the event
// thread reads, so it never races with a drawing thread over a surface.
#pragma once

#include "../display/display.h"
#include "server_image.h"
#include "visual_pixels.h"

#include <xcb/xcb.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace orvel::platform::detail {

/// The atoms the desktop uses, interned once.
struct X11Atoms {
    xcb_atom_t clipboard = 0;
    xcb_atom_t targets = 0;
    xcb_atom_t multiple = 0;
    xcb_atom_t timestamp = 0;
    xcb_atom_t incr = 0;
    xcb_atom_t imagePng = 0;
    xcb_atom_t imageBmp = 0;
    xcb_atom_t transfer = 0; ///< the helper window's property that receives foreign data
    xcb_atom_t clipboardManager = 0;
    xcb_atom_t saveTargets = 0;
    xcb_atom_t wmProtocols = 0;
    xcb_atom_t wmDeleteWindow = 0;
    xcb_atom_t netWmName = 0;
    xcb_atom_t utf8String = 0;
    xcb_atom_t wake = 0; ///< the message that wakes the event thread to stop
};

class X11Desktop final : public Desktop {
public:
    /// Connects to the server DISPLAY names; null when it refuses or is unusable.
    static X11Desktop* Connect() noexcept;
    ~X11Desktop() override;

    bool IsReal() const noexcept override { return true; }
    ScreenInfo Screen() const noexcept override { return screenInfo_; }
    bool OpenWindow(HWND window, const char* title, int x, int y, bool visible,
                    const Surface& client) noexcept override;
    void CloseWindow(HWND window) noexcept override;
    void SurfaceChanged(HWND window, const Surface& pixels, const RECT& area) noexcept override;
    POINT ClientOrigin(HWND window) noexcept override;
    bool ReadScreen(Surface& screen, const RECT& area) noexcept override;
    bool StoreColormap(UINT first, UINT count, const PALETTEENTRY* entries) noexcept override;
    bool LoadColormap(UINT first, UINT count, PALETTEENTRY* entries) noexcept override;
    void OfferClipboardPicture(std::vector<BYTE>&& packedDib) noexcept override;
    void WithdrawClipboard() noexcept override;
    bool ForeignPictureAvailable() noexcept override;
    HGLOBAL FetchForeignPicture() noexcept override;

private:
    // A window on the server and its client area in the server's format.
    struct ShownWindow {
        std::mutex mutex;
        xcb_window_t id = 0;
        int width = 0;
        int height = 0;
        ServerImage image;
    };
    // What this process offers on CLIPBOARD; the encoded forms are made at the first request.
    struct Offer {
        std::vector<BYTE> packedDib;
        std::mutex mutex;
        std::shared_ptr<const std::vector<BYTE>> bmp;
        std::shared_ptr<const std::vector<BYTE>> png;
    };
    // A large answer being sent in pieces (INCR) to a requestor that deletes each piece.
    struct OutgoingTransfer {
        xcb_window_t requestor = 0;
        xcb_atom_t property = 0;
        xcb_atom_t type = 0;
        std::shared_ptr<const std::vector<BYTE>> data;
        std::size_t sent = 0;
        bool finished = false;
        std::chrono::steady_clock::time_point lastActivity;
    };

    X11Desktop() = default;
    bool Setup(int screenNumber) noexcept;

    std::shared_ptr<ShownWindow> FindShown(HWND window) noexcept;
    std::shared_ptr<const VisualPixels> Pixels() noexcept;
    void PutRows(ShownWindow& shown, int top, int bottom) noexcept;
    void Sync() noexcept;

    // The event thread and what it hands to a thread fetching the clipboard.
    void RunEvents() noexcept;
    void OnExpose(const xcb_expose_event_t& event) noexcept;
    void OnKeyPress(const xcb_key_press_event_t& event) noexcept;
    void OnClientMessage(const xcb_client_message_event_t& event) noexcept;
    void OnSelectionRequest(const xcb_selection_request_event_t& event) noexcept;
    void OnSelectionClear(const xcb_selection_clear_event_t& event) noexcept;
    void OnPropertyNotify(const xcb_property_notify_event_t& event) noexcept;
    void PassToFetcher(const xcb_generic_event_t& event) noexcept;
    HWND WindowOf(xcb_window_t id) noexcept;
    UINT VirtualKeyOf(xcb_keycode_t keycode) noexcept;

    // Serving CLIPBOARD.
    std::shared_ptr<const std::vector<BYTE>> Encoded(Offer& offer, xcb_atom_t target) noexcept;
    void Answer(const xcb_selection_request_event_t& request, xcb_atom_t property) noexcept;
    bool SendData(const xcb_selection_request_event_t& request, xcb_atom_t property,
                  xcb_atom_t type, const std::shared_ptr<const std::vector<BYTE>>& data) noexcept;
    void HandOverToManager() noexcept;

    // Fetching another program's CLIPBOARD.
    enum class Wait { notify, property };
    bool WaitForEvent(Wait kind, std::chrono::steady_clock::time_point deadline,
                      xcb_generic_event_t& out) noexcept;
    bool Request(xcb_atom_t selection, xcb_atom_t target, std::vector<BYTE>& data,
                 xcb_atom_t& type) noexcept;
    bool ReadTransfer(std::vector<BYTE>& data, xcb_atom_t& type, bool& incremental) noexcept;
    bool ForeignTargets(std::vector<xcb_atom_t>& targets) noexcept;
    bool OwnsClipboard() noexcept;

    xcb_connection_t* connection_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
    xcb_visualid_t visual_ = 0;
    xcb_colormap_t colormap_ = 0;
    xcb_gcontext_t gc_ = 0;
    xcb_window_t helper_ = 0;
    X11Atoms atoms_;
    ScreenInfo screenInfo_;
    std::size_t maxRequestBytes_ = 0;
    std::size_t scanlinePadBytes_ = 4;
    bool shareMemory_ = false; // MIT-SHM: window images in segments the server reads
    // Keyboard mapping: the first keysym of each keycode.
    std::vector<std::uint32_t> keysyms_;
    int minKeycode_ = 0;
    int keysymsPerKeycode_ = 0;

    std::mutex pixelsMutex_;
    std::shared_ptr<const VisualPixels> pixels_;

    std::mutex windowsMutex_;
    std::unordered_map<HWND, std::shared_ptr<ShownWindow>> windows_;

    std::mutex offerMutex_;
    std::shared_ptr<Offer> offer_;
    std::vector<OutgoingTransfer> outgoing_; // the event thread's only

    // One fetch at a time; the event thread queues what concerns it.
    std::mutex fetchMutex_;
    std::mutex inboxMutex_;
    std::condition_variable inboxReady_;
    std::deque<xcb_generic_event_t> inbox_;
    bool fetching_ = false;
    bool saving_ = false; // handing the clipboard to a manager at exit

    std::thread events_;
};

} // namespace orvel::platform::detail
