#include "surface.h"

#include <new>

namespace orvel::platform::detail {

std::unique_ptr<Surface> Surface::Make(int width, int height, int bitsPerPixel,
                                       int rowAlignment) noexcept {
    if (width <= 0 || height <= 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide ||
        !IsSupportedDepth(bitsPerPixel) || rowAlignment <= 0) {
        return nullptr;
    }
    // Both sides are at most 2^16 and a pixel at most 32 bits, so the products below stay far
    // inside 64 bits.
    const auto alignmentBits = static_cast<std::size_t>(rowAlignment) * 8;
    const std::size_t rowBits =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel);
    const std::size_t stride =
        (rowBits + alignmentBits - 1) / alignmentBits * static_cast<std::size_t>(rowAlignment);
    if (stride > kMaxSurfaceBytes / static_cast<std::size_t>(height)) {
        return nullptr;
    }
    auto surface = std::unique_ptr<Surface>(new (std::nothrow) Surface);
    if (!surface) {
        return nullptr;
    }
    surface->pixels_.reset(new (std::nothrow) BYTE[stride * static_cast<std::size_t>(height)]());
    if (!surface->pixels_) {
        return nullptr;
    }
    surface->width_ = width;
    surface->height_ = height;
    surface->bitsPerPixel_ = bitsPerPixel;
    surface->stride_ = stride;
    return surface;
}

} // namespace orvel::platform::detail
