#include "picture_geometry.h"

#include "../picture_limits.h"

namespace orvel::dib::detail {

std::optional<PictureGeometry> CanonicalGeometry(std::int64_t width, std::int64_t rows,
                                                 WORD bitCount) noexcept {
    constexpr std::int64_t kMaxBytes = kDibMaxPixelBytes;
    constexpr std::int64_t kMaxRows = kMaxBytes / 4;
    if (width < 0 || rows < 0 || rows > kMaxRows || width > INT32_MAX) {
        return std::nullopt;
    }
    // width < 2^31 and bitCount < 2^16, so the row's bits fit 64 bits with room to spare; the
    // stride and row bounds then keep the product below 2^59.
    const std::int64_t stride = ((width * bitCount + 31) >> 3) & ~std::int64_t{3};
    if (stride > kMaxBytes) {
        return std::nullopt;
    }
    const std::int64_t pixelBytes = stride * rows;
    if (pixelBytes > kMaxBytes) {
        return std::nullopt;
    }
    return PictureGeometry{static_cast<DWORD>(stride), static_cast<DWORD>(rows),
                           static_cast<DWORD>(pixelBytes)};
}

} // namespace orvel::dib::detail
