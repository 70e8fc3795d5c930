// Pictures and drawing surfaces for the platform's drawing tests: DIBs built pixel by pixel and
// memory contexts with a bitmap of a chosen depth selected, cleaned up when the test ends.
#pragma once

#include <orvel/orvel.h>

#include "support/bmp_builder.h"
#include "support/memory_surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace orvel::test {

/// A DIB in the caller's memory: a packed DIB (BITMAPINFO, its full colour table, rows of zero).
class TestDib {
public:
    TestDib(int width, int height, int depth, bool topDown = false, std::vector<RGBQUAD> table = {})
        : height_(height), depth_(depth), topDown_(topDown), stride_(StrideOf(width, depth)) {
        table.resize(depth <= 8 ? std::size_t{1} << depth : 0);
        // A range, not memcpy: a direct-colour picture's table is empty and its data() null.
        const auto* entries = reinterpret_cast<const BYTE*>(table.data());
        const Bytes colours(entries, entries + table.size() * sizeof(RGBQUAD));
        packed_ =
            test::Packed(MakeBmp({.width = width,
                                  .height = topDown ? -height : height,
                                  .bitCount = static_cast<std::uint16_t>(depth),
                                  .table = colours,
                                  .pixels = Bytes(stride_ * static_cast<std::size_t>(height))}));
        bitsOffset_ = packed_.size() - stride_ * static_cast<std::size_t>(height);
    }

    const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(packed_.data()); }
    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(packed_.data()); }
    BITMAPINFOHEADER* Header() { return reinterpret_cast<BITMAPINFOHEADER*>(packed_.data()); }
    const BYTE* Bits() const { return packed_.data() + bitsOffset_; }
    BYTE* Bits() { return packed_.data() + bitsOffset_; }
    std::size_t Stride() const { return stride_; }
    /// The whole packed DIB, header to last row.
    const Bytes& Packed() const { return packed_; }

    /// The bytes of the row shown at `y` counted from the top of the picture.
    BYTE* RowFromTop(int y) {
        const int stored = topDown_ ? y : height_ - 1 - y;
        return Bits() + static_cast<std::size_t>(stored) * stride_;
    }

    /// Stores a raw pixel value (an index, a 5-5-5 word, or 0xRRGGBB) at (x, y from the top).
    void Set(int x, int y, DWORD value) {
        BYTE* row = RowFromTop(y);
        switch (depth_) {
        case 1:
            row[x / 8] =
                static_cast<BYTE>((row[x / 8] & ~(0x80 >> (x % 8))) | ((value & 1) << (7 - x % 8)));
            break;
        case 4:
            row[x / 2] = x % 2 == 0 ? static_cast<BYTE>((row[x / 2] & 0x0F) | (value << 4))
                                    : static_cast<BYTE>((row[x / 2] & 0xF0) | (value & 0x0F));
            break;
        case 8:
            row[x] = static_cast<BYTE>(value);
            break;
        case 16:
            row[2 * x] = static_cast<BYTE>(value);
            row[2 * x + 1] = static_cast<BYTE>(value >> 8);
            break;
        default: {
            BYTE* at = row + static_cast<std::size_t>(x) * static_cast<std::size_t>(depth_ / 8);
            at[0] = static_cast<BYTE>(value);       // blue
            at[1] = static_cast<BYTE>(value >> 8);  // green
            at[2] = static_cast<BYTE>(value >> 16); // red
            break;
        }
        }
    }

private:
    int height_;
    int depth_;
    bool topDown_;
    std::size_t stride_;
    Bytes packed_;
    std::size_t bitsOffset_ = 0;
};

/// 0xRRGGBB of a COLORREF, the raw value of a 24- or 32-bit DIB pixel.
constexpr DWORD RawOf(COLORREF colour) {
    return static_cast<DWORD>(GetBValue(colour) | (GetGValue(colour) << 8) |
                              (GetRValue(colour) << 16));
}

} // namespace orvel::test
