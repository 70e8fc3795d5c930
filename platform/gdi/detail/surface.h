// Pixel surfaces: the memory behind device-dependent bitmaps, window client areas and the screen.
//
// A surface keeps its rows top-down, each row `stride` bytes, with pixels in the DIB formats:
// 1, 4 and 8 bits are indexes packed with the leftmost pixel in the most significant bits;
// 16 bits are 5-5-5 (blue in bits 0 to 4, green 5 to 9, red 10 to 14, bit 15 zero); 24 bits are
// blue, green, red; 32 bits are blue, green, red and a zero byte. Multi-byte values are little
// endian. Keeping the DIB formats means a surface row and a DIB row of the same depth differ only
// in their padding, so GetDIBits and StretchDIBits move whole rows when depths agree.
#pragma once

#include "../../win/types.h"

#include <cstring>
#include <memory>

namespace orvel::platform::detail {

/// Widest and tallest surface a bitmap may have; larger requests fail as out of memory before
/// anything is allocated.
constexpr int kMaxSurfaceSide = 1 << 16;
/// Largest pixel area of one surface, in bytes.
constexpr std::size_t kMaxSurfaceBytes = std::size_t{1} << 30;

class Surface {
public:
    /// A zero-filled surface, rows padded to a multiple of `rowAlignment` bytes (2 for bitmaps,
    /// as published for bmWidthBytes; 4 for window and screen surfaces). Null when the size is
    /// out of range or the memory is not there.
    static std::unique_ptr<Surface> Make(int width, int height, int bitsPerPixel,
                                         int rowAlignment) noexcept;

    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    int BitsPerPixel() const noexcept { return bitsPerPixel_; }
    std::size_t Stride() const noexcept { return stride_; }
    /// Bytes of a row that hold pixels (the rest of the stride is padding).
    std::size_t PixelBytesPerRow() const noexcept {
        return (static_cast<std::size_t>(width_) * static_cast<std::size_t>(bitsPerPixel_) + 7) / 8;
    }

    BYTE* Row(int y) noexcept { return pixels_.get() + static_cast<std::size_t>(y) * stride_; }
    const BYTE* Row(int y) const noexcept {
        return pixels_.get() + static_cast<std::size_t>(y) * stride_;
    }
    bool Contains(int x, int y) const noexcept {
        return x >= 0 && y >= 0 && x < width_ && y < height_;
    }

private:
    Surface() = default;

    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 0;
    std::size_t stride_ = 0;
    std::unique_ptr<BYTE[]> pixels_;
};

/// The stored value of pixel x of a row, for any surface depth.
inline DWORD ReadPixel(const BYTE* row, int x, int bitsPerPixel) noexcept {
    switch (bitsPerPixel) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1U;
    case 4:
        return (x & 1) != 0 ? row[x >> 1] & 0x0FU : row[x >> 1] >> 4;
    case 8:
        return row[x];
    case 16:
        return static_cast<DWORD>(row[2 * x] | (row[2 * x + 1] << 8));
    case 24:
        return static_cast<DWORD>(row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16));
    default: {
        DWORD value = 0;
        std::memcpy(&value, row + 4 * static_cast<std::size_t>(x), 4);
        return value;
    }
    }
}

/// Stores `value` (already in the surface's format) as pixel x of a row.
inline void WritePixel(BYTE* row, int x, int bitsPerPixel, DWORD value) noexcept {
    switch (bitsPerPixel) {
    case 1: {
        const auto bit = static_cast<BYTE>(0x80U >> (x & 7));
        row[x >> 3] = static_cast<BYTE>((value & 1U) != 0 ? row[x >> 3] | bit : row[x >> 3] & ~bit);
        break;
    }
    case 4:
        row[x >> 1] = (x & 1) != 0 ? static_cast<BYTE>((row[x >> 1] & 0xF0U) | (value & 0x0FU))
                                   : static_cast<BYTE>((row[x >> 1] & 0x0FU) | (value << 4));
        break;
    case 8:
        row[x] = static_cast<BYTE>(value);
        break;
    case 16:
        row[2 * x] = static_cast<BYTE>(value);
        row[2 * x + 1] = static_cast<BYTE>(value >> 8);
        break;
    case 24:
        row[3 * x] = static_cast<BYTE>(value);
        row[3 * x + 1] = static_cast<BYTE>(value >> 8);
        row[3 * x + 2] = static_cast<BYTE>(value >> 16);
        break;
    default:
        std::memcpy(row + 4 * static_cast<std::size_t>(x), &value, 4);
        break;
    }
}

/// Whether a depth is one that surfaces and DIBs hold.
constexpr bool IsSupportedDepth(int bitsPerPixel) noexcept {
    return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 16 ||
           bitsPerPixel == 24 || bitsPerPixel == 32;
}

} // namespace orvel::platform::detail
