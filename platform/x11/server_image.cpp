#include "server_image.h"

#include "xcb_library.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace orvel::platform::detail {

bool ServerSharesMemory(xcb_connection_t* connection) noexcept {
    const char* off = std::getenv("ORVEL_X11_NO_SHM");
    if (off != nullptr && off[0] != '\0') {
        return false;
    }
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(connection, XcbShmExtension());
    return extension != nullptr && extension->present != 0;
}

ServerImage::~ServerImage() {
    if (mapped_ != nullptr) {
        shmdt(mapped_);
    }
}

bool ServerImage::AttachSegment(xcb_connection_t* connection, std::size_t byteCount) noexcept {
    const int id = shmget(IPC_PRIVATE, byteCount, IPC_CREAT | 0600);
    if (id < 0) {
        return false;
    }
    void* mapped = shmat(id, nullptr, 0);
    if (mapped == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    const xcb_shm_seg_t segment = xcb_generate_id(connection);
    // The server only reads the segment: pixels go one way.
    xcb_generic_error_t* error = xcb_request_check(
        connection, xcb_shm_attach_checked(connection, segment, static_cast<std::uint32_t>(id), 1));
    // Marked for removal now, the segment lives exactly as long as the last attachment: this
    // process's (ended by the destructor or the process's exit) and the server's (ended by a
    // detach or the connection's close). Nothing is left behind even after a crash.
    shmctl(id, IPC_RMID, nullptr);
    if (error != nullptr) {
        std::free(error);
        shmdt(mapped);
        return false;
    }
    mapped_ = mapped;
    segment_ = segment;
    bytes_ = static_cast<BYTE*>(mapped); // a new segment is zero-filled
    return true;
}

bool ServerImage::Allocate(xcb_connection_t* connection, bool shareWithServer, std::size_t stride,
                           int height) noexcept {
    stride_ = stride;
    height_ = height;
    const std::size_t byteCount = stride * static_cast<std::size_t>(height);
    if (shareWithServer && byteCount > 0 && AttachSegment(connection, byteCount)) {
        return true;
    }
    try {
        local_.assign(byteCount, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    bytes_ = local_.data();
    return true;
}

void ServerImage::Put(xcb_connection_t* connection, xcb_drawable_t drawable, xcb_gcontext_t gc,
                      std::uint8_t depth, int width, int top, int bottom,
                      std::size_t maxRequestBytes) const noexcept {
    if (top >= bottom) {
        return;
    }
    if (segment_ != 0) {
        xcb_shm_put_image(
            connection, drawable, gc, static_cast<std::uint16_t>(width),
            static_cast<std::uint16_t>(height_), 0, static_cast<std::uint16_t>(top),
            static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(bottom - top), 0,
            static_cast<std::int16_t>(top), depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment_, 0);
        return;
    }
    constexpr std::size_t kRequestHeader = 24;
    const std::size_t rowsPerRequest =
        std::max<std::size_t>(1, (maxRequestBytes - kRequestHeader) / stride_);
    while (top < bottom) {
        const int rows = static_cast<int>(
            std::min<std::size_t>(rowsPerRequest, static_cast<std::size_t>(bottom - top)));
        xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, gc,
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(rows), 0,
                      static_cast<std::int16_t>(top), 0, depth,
                      static_cast<std::uint32_t>(stride_ * static_cast<std::size_t>(rows)),
                      bytes_ + stride_ * static_cast<std::size_t>(top));
        top += rows;
    }
}

void ServerImage::Detach(xcb_connection_t* connection) noexcept {
    if (segment_ != 0) {
        xcb_shm_detach(connection, segment_);
        segment_ = 0;
    }
}

} // namespace orvel::platform::detail
