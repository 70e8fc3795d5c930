#include "x11_desktop.h"

#include "../display/headless_desktop.h"
#include "../gdi/detail/static_colours.h"
#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "xcb_library.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace orvel::platform::detail {
namespace {

// A process forked from one with a connection shares the connection's socket: the child must
// never write to it, nor wait for the parent's event thread, which it does not have.
std::atomic<bool> g_forkedChild{false};
void MarkForkedChild() noexcept {
    g_forkedChild.store(true, std::memory_order_relaxed);
}

xcb_atom_t Intern(xcb_connection_t* connection, const char* name) noexcept {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

xcb_visualtype_t* FindVisual(xcb_screen_t* screen, xcb_visualid_t id) noexcept {
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem != 0;
         xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem != 0;
             xcb_visualtype_next(&visuals)) {
            if (visuals.data->visual_id == id) {
                return visuals.data;
            }
        }
    }
    return nullptr;
}

void SetTitle(xcb_connection_t* connection, xcb_window_t id, const X11Atoms& atoms,
              const char* title) noexcept {
    const auto length = static_cast<std::uint32_t>(std::strlen(title));
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        length, title);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atoms.netWmName, atoms.utf8String, 8,
                        length, title);
}

// WM_NORMAL_HINTS: the position the program asked for, and a fixed size, since the client area
// is a surface of fixed size.
void SetSizeHints(xcb_connection_t* connection, xcb_window_t id, int x, int y, int width,
                  int height) noexcept {
    constexpr std::uint32_t kUserPosition = 1U << 0;
    constexpr std::uint32_t kProgramSize = 1U << 3;
    constexpr std::uint32_t kMinSize = 1U << 4;
    constexpr std::uint32_t kMaxSize = 1U << 5;
    std::uint32_t hints[18] = {};
    hints[0] = kUserPosition | kProgramSize | kMinSize | kMaxSize;
    hints[1] = static_cast<std::uint32_t>(x);
    hints[2] = static_cast<std::uint32_t>(y);
    hints[3] = hints[5] = hints[7] = static_cast<std::uint32_t>(width);
    hints[4] = hints[6] = hints[8] = static_cast<std::uint32_t>(height);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
}

} // namespace

Desktop* ConnectX11Desktop() noexcept {
    return X11Desktop::Connect();
}

X11Desktop* X11Desktop::Connect() noexcept {
    static const bool atForkInstalled = pthread_atfork(nullptr, nullptr, MarkForkedChild) == 0;
    (void)atForkInstalled;
    if (!LoadXcb()) {
        return nullptr;
    }
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return nullptr;
    }
    auto* desktop = new (std::nothrow) X11Desktop;
    if (desktop == nullptr) {
        xcb_disconnect(connection);
        return nullptr;
    }
    desktop->connection_ = connection;
    if (!desktop->Setup(screenNumber)) {
        delete desktop;
        return nullptr;
    }
    return desktop;
}

bool X11Desktop::Setup(int screenNumber) noexcept {
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    auto screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem != 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        return false;
    }
    screen_ = screens.data;
    visual_ = screen_->root_visual;
    const xcb_visualtype_t* visual = FindVisual(screen_, visual_);
    if (visual == nullptr) {
        return false;
    }
    VisualFormat format;
    format.mostSignificantFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem != 0;
         xcb_format_next(&formats)) {
        if (formats.data->depth == screen_->root_depth) {
            format.bitsPerPixel = formats.data->bits_per_pixel;
            scanlinePadBytes_ = formats.data->scanline_pad / 8U;
        }
    }
    const bool trueColour = visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR ||
                            visual->_class == XCB_VISUAL_CLASS_DIRECT_COLOR;
    const bool pseudoColour = visual->_class == XCB_VISUAL_CLASS_PSEUDO_COLOR &&
                              screen_->root_depth == 8 && format.bitsPerPixel == 8;
    // Other visuals (grey scales, static colormaps, 4-bit screens) are not drawn on: the process
    // stays headless there rather than showing wrong colours.
    if ((!trueColour && !pseudoColour) ||
        (format.bitsPerPixel != 16 && format.bitsPerPixel != 24 && format.bitsPerPixel != 32 &&
         !pseudoColour) ||
        scanlinePadBytes_ == 0) {
        return false;
    }
    format.indexed = pseudoColour;
    format.redMask = visual->red_mask;
    format.greenMask = visual->green_mask;
    format.blueMask = visual->blue_mask;
    try {
        auto pixels = std::make_shared<VisualPixels>(format);
        pixels_ = pixels;
        screenInfo_ = ScreenInfo{screen_->width_in_pixels, screen_->height_in_pixels,
                                 screen_->root_depth, pseudoColour};
        maxRequestBytes_ =
            static_cast<std::size_t>(xcb_get_maximum_request_length(connection_)) * 4;
        shareMemory_ = ServerSharesMemory(connection_);
    } catch (const std::bad_alloc&) {
        return false;
    }

    atoms_.clipboard = Intern(connection_, "CLIPBOARD");
    atoms_.targets = Intern(connection_, "TARGETS");
    atoms_.multiple = Intern(connection_, "MULTIPLE");
    atoms_.timestamp = Intern(connection_, "TIMESTAMP");
    atoms_.incr = Intern(connection_, "INCR");
    atoms_.imagePng = Intern(connection_, "image/png");
    atoms_.imageBmp = Intern(connection_, "image/bmp");
    atoms_.transfer = Intern(connection_, "ORVEL_SELECTION");
    atoms_.clipboardManager = Intern(connection_, "CLIPBOARD_MANAGER");
    atoms_.saveTargets = Intern(connection_, "SAVE_TARGETS");
    atoms_.wmProtocols = Intern(connection_, "WM_PROTOCOLS");
    atoms_.wmDeleteWindow = Intern(connection_, "WM_DELETE_WINDOW");
    atoms_.netWmName = Intern(connection_, "_NET_WM_NAME");
    atoms_.utf8String = Intern(connection_, "UTF8_STRING");
    atoms_.wake = Intern(connection_, "ORVEL_WAKE");
    if (atoms_.wake == XCB_ATOM_NONE) {
        return false;
    }

    // The helper window owns the clipboard, receives foreign clipboard data and wakes the event
    // thread; it is never mapped.
    helper_ = xcb_generate_id(connection_);
    const std::uint32_t helperEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, helper_, screen_->root, -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &helperEvents);
    gc_ = xcb_generate_id(connection_);
    const std::uint32_t noExposures = 0;
    xcb_create_gc(connection_, gc_, screen_->root, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    if (pseudoColour) {
        // On a palette screen the system palette is a colormap of the process's own, all 256
        // entries writable, installed so that what the windows show is what it holds. The
        // static colours take their entries at once; the rest start black.
        colormap_ = xcb_generate_id(connection_);
        xcb_create_colormap(connection_, XCB_COLORMAP_ALLOC_ALL, colormap_, screen_->root, visual_);
        PALETTEENTRY entries[256] = {};
        for (UINT i = 0; i < 10; ++i) {
            entries[i] = kStaticColours[i];
            entries[246 + i] = kStaticColours[10 + i];
        }
        StoreColormap(0, 256, entries);
        xcb_install_colormap(connection_, colormap_);
    }

    xcb_get_keyboard_mapping_reply_t* keyboard = xcb_get_keyboard_mapping_reply(
        connection_,
        xcb_get_keyboard_mapping(
            connection_, setup->min_keycode,
            static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1)),
        nullptr);
    if (keyboard != nullptr) {
        minKeycode_ = setup->min_keycode;
        keysymsPerKeycode_ = keyboard->keysyms_per_keycode;
        const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(keyboard);
        try {
            keysyms_.assign(keysyms, keysyms + xcb_get_keyboard_mapping_keysyms_length(keyboard));
        } catch (const std::bad_alloc&) {
            keysyms_.clear();
        }
        std::free(keyboard);
    }

    Sync();
    if (xcb_connection_has_error(connection_) != 0) {
        return false;
    }
    try {
        events_ = std::thread([this] { RunEvents(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

X11Desktop::~X11Desktop() {
    const bool usable = connection_ != nullptr && xcb_connection_has_error(connection_) == 0 &&
                        !g_forkedChild.load(std::memory_order_relaxed);
    if (usable && events_.joinable()) {
        HandOverToManager();
        std::vector<xcb_window_t> open;
        {
            std::lock_guard<std::mutex> guard(windowsMutex_);
            for (const auto& [handle, shown] : windows_) {
                open.push_back(shown->id);
            }
            windows_.clear();
        }
        for (xcb_window_t id : open) {
            xcb_destroy_window(connection_, id);
        }
        // The event thread stops at a message to the helper window; the server sends it back
        // after everything requested before it.
        xcb_client_message_event_t wake = {};
        wake.response_type = XCB_CLIENT_MESSAGE;
        wake.format = 32;
        wake.window = helper_;
        wake.type = atoms_.wake;
        char event[32] = {};
        std::memcpy(event, &wake, sizeof wake);
        xcb_send_event(connection_, 0, helper_, XCB_EVENT_MASK_NO_EVENT, event);
        xcb_flush(connection_);
    }
    if (events_.joinable()) {
        if (g_forkedChild.load(std::memory_order_relaxed)) {
            events_.detach(); // a child has no such thread to join
        } else {
            events_.join();
        }
    }
    if (connection_ != nullptr && !g_forkedChild.load(std::memory_order_relaxed)) {
        xcb_disconnect(connection_);
    }
}

std::shared_ptr<X11Desktop::ShownWindow> X11Desktop::FindShown(HWND window) noexcept {
    std::lock_guard<std::mutex> guard(windowsMutex_);
    const auto found = windows_.find(window);
    return found != windows_.end() ? found->second : nullptr;
}

std::shared_ptr<const VisualPixels> X11Desktop::Pixels() noexcept {
    std::lock_guard<std::mutex> guard(pixelsMutex_);
    return pixels_;
}

HWND X11Desktop::WindowOf(xcb_window_t id) noexcept {
    std::lock_guard<std::mutex> guard(windowsMutex_);
    for (const auto& [handle, shown] : windows_) {
        if (shown->id == id) {
            return handle;
        }
    }
    return nullptr;
}

void X11Desktop::Sync() noexcept {
    // A round trip: every request sent before it has been carried out once its reply is here.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

bool X11Desktop::OpenWindow(HWND window, const char* title, int x, int y, bool visible,
                            const Surface& client) noexcept {
    if (g_forkedChild.load(std::memory_order_relaxed)) {
        return true;
    }
    const std::shared_ptr<const VisualPixels> pixels = Pixels();
    std::shared_ptr<ShownWindow> shown;
    try {
        shown = std::make_shared<ShownWindow>();
        shown->width = client.Width();
        shown->height = client.Height();
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    const std::size_t stride = (pixels->RowBytes(client.Width()) + scanlinePadBytes_ - 1) /
                               scanlinePadBytes_ * scanlinePadBytes_;
    if (!shown->image.Allocate(connection_, shareMemory_, stride, client.Height())) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    for (int row = 0; row < client.Height(); ++row) {
        pixels->Pack(client.Row(row), client.Width(), shown->image.Row(row));
    }
    shown->id = xcb_generate_id(connection_);
    std::uint32_t values[2] = {XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS |
                                   XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                               colormap_};
    const std::uint32_t mask =
        XCB_CW_EVENT_MASK | (colormap_ != 0 ? static_cast<std::uint32_t>(XCB_CW_COLORMAP) : 0U);
    xcb_void_cookie_t created = xcb_create_window_checked(
        connection_, screen_->root_depth, shown->id, screen_->root, static_cast<std::int16_t>(x),
        static_cast<std::int16_t>(y), static_cast<std::uint16_t>(client.Width()),
        static_cast<std::uint16_t>(client.Height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, visual_,
        mask, values);
    if (xcb_generic_error_t* error = xcb_request_check(connection_, created)) {
        std::free(error);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    SetTitle(connection_, shown->id, atoms_, title);
    SetSizeHints(connection_, shown->id, x, y, client.Width(), client.Height());
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, shown->id, atoms_.wmProtocols,
                        XCB_ATOM_ATOM, 32, 1, &atoms_.wmDeleteWindow);
    try {
        std::lock_guard<std::mutex> guard(windowsMutex_);
        windows_[window] = shown;
    } catch (const std::bad_alloc&) {
        xcb_destroy_window(connection_, shown->id);
        xcb_flush(connection_);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (visible) {
        xcb_map_window(connection_, shown->id);
    }
    {
        std::lock_guard<std::mutex> guard(shown->mutex);
        PutRows(*shown, 0, shown->height);
    }
    Sync();
    return true;
}

void X11Desktop::CloseWindow(HWND window) noexcept {
    std::shared_ptr<ShownWindow> shown;
    {
        std::lock_guard<std::mutex> guard(windowsMutex_);
        const auto found = windows_.find(window);
        if (found == windows_.end()) {
            return;
        }
        shown = found->second;
        windows_.erase(found);
    }
    if (g_forkedChild.load(std::memory_order_relaxed)) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(shown->mutex);
        shown->image.Detach(connection_);
    }
    xcb_destroy_window(connection_, shown->id);
    Sync();
}

// Sends rows [top, bottom) of a window's image to its window.
void X11Desktop::PutRows(ShownWindow& shown, int top, int bottom) noexcept {
    shown.image.Put(connection_, shown.id, gc_, screen_->root_depth, shown.width, top, bottom,
                    maxRequestBytes_);
}

void X11Desktop::SurfaceChanged(HWND window, const Surface& pixels, const RECT& area) noexcept {
    if (window == nullptr || g_forkedChild.load(std::memory_order_relaxed)) {
        return; // the screen surface is not drawn back onto the root window
    }
    const std::shared_ptr<ShownWindow> shown = FindShown(window);
    if (shown == nullptr) {
        return;
    }
    const std::shared_ptr<const VisualPixels> format = Pixels();
    const int left = std::clamp<int>(area.left, 0, shown->width);
    const int right = std::clamp<int>(area.right, 0, shown->width);
    const int top = std::clamp<int>(area.top, 0, shown->height);
    const int bottom = std::clamp<int>(area.bottom, 0, shown->height);
    if (left >= right || top >= bottom) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(shown->mutex);
        const std::size_t offset = format->RowBytes(left);
        for (int row = top; row < bottom; ++row) {
            format->Pack(pixels.Row(row) + static_cast<std::size_t>(left) * 4, right - left,
                         shown->image.Row(row) + offset);
        }
        PutRows(*shown, top, bottom);
    }
    Sync();
}

POINT X11Desktop::ClientOrigin(HWND window) noexcept {
    const std::shared_ptr<ShownWindow> shown = FindShown(window);
    if (shown == nullptr || g_forkedChild.load(std::memory_order_relaxed)) {
        return POINT{0, 0};
    }
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, shown->id, screen_->root, 0, 0),
        nullptr);
    const POINT origin = reply != nullptr ? POINT{reply->dst_x, reply->dst_y} : POINT{0, 0};
    std::free(reply);
    return origin;
}

bool X11Desktop::ReadScreen(Surface& screen, const RECT& area) noexcept {
    const int left = std::clamp<int>(area.left, 0, std::min(screen.Width(), screenInfo_.width));
    const int right =
        std::clamp<int>(area.right, left, std::min(screen.Width(), screenInfo_.width));
    const int top = std::clamp<int>(area.top, 0, std::min(screen.Height(), screenInfo_.height));
    const int bottom =
        std::clamp<int>(area.bottom, top, std::min(screen.Height(), screenInfo_.height));
    if (left == right || top == bottom) {
        return true;
    }
    if (g_forkedChild.load(std::memory_order_relaxed) ||
        orvel::testing::ShouldFail(orvel::testing::kFaultScreenRead)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    std::shared_ptr<const VisualPixels> format = Pixels();
    if (colormap_ != 0) {
        // Indexes read back mean what the server's colormap holds now.
        PALETTEENTRY entries[256];
        if (!LoadColormap(0, 256, entries)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        try {
            auto current = std::make_shared<VisualPixels>(format->Format());
            current->SetColormap(entries, 256);
            format = current;
        } catch (const std::bad_alloc&) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
    }
    const int width = right - left;
    const std::size_t stride =
        (format->RowBytes(width) + scanlinePadBytes_ - 1) / scanlinePadBytes_ * scanlinePadBytes_;
    const std::size_t rowsPerRequest = std::max<std::size_t>(1, (maxRequestBytes_ - 64) / stride);
    for (int row = top; row < bottom;) {
        const int rows = static_cast<int>(
            std::min<std::size_t>(rowsPerRequest, static_cast<std::size_t>(bottom - row)));
        xcb_get_image_reply_t* reply = xcb_get_image_reply(
            connection_,
            xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root,
                          static_cast<std::int16_t>(left), static_cast<std::int16_t>(row),
                          static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(rows),
                          0xFFFFFFFFU),
            nullptr);
        if (reply == nullptr || static_cast<std::size_t>(xcb_get_image_data_length(reply)) <
                                    stride * static_cast<std::size_t>(rows)) {
            std::free(reply);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        const BYTE* data = xcb_get_image_data(reply);
        for (int k = 0; k < rows; ++k) {
            format->Unpack(data + stride * static_cast<std::size_t>(k), width,
                           screen.Row(row + k) + static_cast<std::size_t>(left) * 4);
        }
        std::free(reply);
        row += rows;
    }
    return true;
}

bool X11Desktop::StoreColormap(UINT first, UINT count, const PALETTEENTRY* entries) noexcept {
    if (colormap_ == 0 || first >= 256 || g_forkedChild.load(std::memory_order_relaxed)) {
        return false;
    }
    count = std::min(count, 256 - first);
    xcb_coloritem_t items[256];
    for (UINT i = 0; i < count; ++i) {
        // X keeps 16 bits a channel: v * 257 puts v in both bytes, so it reads back as v.
        items[i] = xcb_coloritem_t{first + i,
                                   static_cast<std::uint16_t>(entries[i].peRed * 257),
                                   static_cast<std::uint16_t>(entries[i].peGreen * 257),
                                   static_cast<std::uint16_t>(entries[i].peBlue * 257),
                                   XCB_COLOR_FLAG_RED | XCB_COLOR_FLAG_GREEN | XCB_COLOR_FLAG_BLUE,
                                   0};
    }
    xcb_store_colors(connection_, colormap_, count, items);
    // What the windows are drawn with from now on is what the server was just given.
    PALETTEENTRY all[256];
    if (!LoadColormap(0, 256, all)) {
        return false;
    }
    try {
        auto next = std::make_shared<VisualPixels>(Pixels()->Format());
        next->SetColormap(all, 256);
        std::lock_guard<std::mutex> guard(pixelsMutex_);
        pixels_ = std::move(next);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool X11Desktop::LoadColormap(UINT first, UINT count, PALETTEENTRY* entries) noexcept {
    if (colormap_ == 0 || first >= 256 || g_forkedChild.load(std::memory_order_relaxed)) {
        return false;
    }
    count = std::min(count, 256 - first);
    std::uint32_t pixels[256];
    for (UINT i = 0; i < count; ++i) {
        pixels[i] = first + i;
    }
    xcb_query_colors_reply_t* reply = xcb_query_colors_reply(
        connection_, xcb_query_colors(connection_, colormap_, count, pixels), nullptr);
    if (reply == nullptr || xcb_query_colors_colors_length(reply) < static_cast<int>(count)) {
        std::free(reply);
        return false;
    }
    const xcb_rgb_t* colours = xcb_query_colors_colors(reply);
    for (UINT i = 0; i < count; ++i) {
        entries[i] = PALETTEENTRY{static_cast<BYTE>(colours[i].red >> 8),
                                  static_cast<BYTE>(colours[i].green >> 8),
                                  static_cast<BYTE>(colours[i].blue >> 8), 0};
    }
    std::free(reply);
    return true;
}

} // namespace orvel::platform::detail
