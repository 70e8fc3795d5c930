// A window's client area in the server's pixel format, and the one way it reaches the server.
//
// Where the server shares memory with the process (the MIT-SHM extension, a local server), the
// rows live in a shared segment and a put names a rectangle of it: the pixels never pass through
// the socket, which saves the costliest copy of a Show. Elsewhere (a remote server, no extension,
// the segment refused) the rows live in the process's memory and go in ordinary PutImage
// requests, as many rows to a request as the server takes.
#pragma once

#include "../win/types.h"

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <vector>

namespace orvel::platform::detail {

class ServerImage {
public:
    ServerImage() = default;
    ServerImage(const ServerImage&) = delete;
    ServerImage& operator=(const ServerImage&) = delete;
    ~ServerImage();

    /// Makes a zeroed image of `height` rows of `stride` bytes, shared with the server when
    /// `shareWithServer` and the server attaches the segment. False when memory runs out.
    bool Allocate(xcb_connection_t* connection, bool shareWithServer, std::size_t stride,
                  int height) noexcept;
    BYTE* Row(int row) noexcept { return bytes_ + stride_ * static_cast<std::size_t>(row); }
    std::size_t Stride() const noexcept { return stride_; }
    bool Shared() const noexcept { return segment_ != 0; }

    /// Sends rows [top, bottom) to the drawable's same rows. The server may read a shared image
    /// until the next round trip: the caller keeps the rows unchanged until then.
    void Put(xcb_connection_t* connection, xcb_drawable_t drawable, xcb_gcontext_t gc,
             std::uint8_t depth, int width, int top, int bottom,
             std::size_t maxRequestBytes) const noexcept;

    /// Tells the server to let go of the shared segment (before the connection closes).
    void Detach(xcb_connection_t* connection) noexcept;

private:
    bool AttachSegment(xcb_connection_t* connection, std::size_t byteCount) noexcept;

    BYTE* bytes_ = nullptr;
    std::size_t stride_ = 0;
    int height_ = 0;
    std::vector<BYTE> local_;
    void* mapped_ = nullptr;    // the shared segment in this process, or null
    xcb_shm_seg_t segment_ = 0; // its name on the server, or 0
};

/// True when the server offers MIT-SHM and ORVEL_X11_NO_SHM is not set.
bool ServerSharesMemory(xcb_connection_t* connection) noexcept;

} // namespace orvel::platform::detail
