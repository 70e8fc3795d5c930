// Pictures of every depth whose colours are known pixel by pixel, and a 32-bit memory surface to
// draw them into and read them back from.
#pragma once

#include "dib_test_support.h"

#include <algorithm>
#include <vector>

namespace orvel::test {

/// The colour a fresh surface is filled with; no test picture holds it.
constexpr COLORREF kBackground = RGB(1, 2, 3);

/// A BMP file image of `width` x `height` pixels at `bitCount` bits per pixel, built byte by
/// byte, with the colour each pixel must show (x, y counted from the top-left corner).
struct ColourPicture {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    Bytes file;
    std::vector<COLORREF> colours; ///< row by row from the top

    COLORREF At(int x, int y) const {
        return colours[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                       static_cast<std::size_t>(x)];
    }
};

/// Colour-table entry i of the test pictures: distinct for every i below 256, never black (so a
/// pixel drawn from the wrong place rarely passes) and never kBackground.
constexpr COLORREF TableColour(unsigned i) {
    return RGB((i * 37 + 11) & 0xFF, (i * 91 + 200) & 0xFF, (i * 13 + 64) & 0xFF);
}

/// A picture whose pixels vary in x and y at every depth. Indexed pixels use the whole table;
/// 16-bit pixels are 5-5-5 words whose channels widen as (v << 3) | (v >> 2) on a 32-bit surface.
inline ColourPicture MakeColourPicture(int width, int height, int bitCount,
                                       std::uint32_t clrUsed = 0) {
    ColourPicture picture{width, height, bitCount, {}, {}};
    const std::size_t stride = static_cast<std::size_t>((width * bitCount + 31) / 32 * 4);
    const unsigned entries = bitCount <= 8 ? 1U << bitCount : 0;
    Bytes table;
    for (unsigned i = 0; i < entries; ++i) {
        const COLORREF c = TableColour(i);
        table.insert(table.end(), {GetBValue(c), GetGValue(c), GetRValue(c), 0});
    }
    Bytes pixels(stride * static_cast<std::size_t>(height), 0);
    picture.colours.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        BYTE* row = pixels.data() + stride * static_cast<std::size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const auto ux = static_cast<unsigned>(x);
            const auto uy = static_cast<unsigned>(y);
            COLORREF colour = 0;
            if (bitCount <= 8) {
                const unsigned index = (ux * 7 + uy * 3 + ux * uy) % entries;
                const unsigned shift = 8 - bitCount - (ux * bitCount) % 8;
                row[ux * bitCount / 8] |= static_cast<BYTE>(index << shift);
                colour = TableColour(index);
            } else if (bitCount == 16) {
                const unsigned value = (ux * 997 + uy * 4099 + 1234) & 0x7FFF;
                row[2 * ux] = static_cast<BYTE>(value);
                row[2 * ux + 1] = static_cast<BYTE>(value >> 8);
                auto widen = [](unsigned v) { return static_cast<BYTE>((v << 3) | (v >> 2)); };
                colour =
                    RGB(widen((value >> 10) & 31), widen((value >> 5) & 31), widen(value & 31));
            } else {
                colour =
                    RGB((ux * 30 + 5) & 0xFF, (uy * 40 + 7) & 0xFF, (ux * uy * 11 + 90) & 0xFF);
                BYTE* pixel = row + ux * static_cast<unsigned>(bitCount / 8);
                pixel[0] = GetBValue(colour);
                pixel[1] = GetGValue(colour);
                pixel[2] = GetRValue(colour);
            }
            picture.colours[uy * static_cast<unsigned>(width) + ux] = colour;
        }
    }
    picture.file = InfoFile({.width = width,
                             .height = height,
                             .bitCount = static_cast<std::uint16_t>(bitCount),
                             .sizeImage = static_cast<std::uint32_t>(pixels.size()),
                             .clrUsed = clrUsed},
                            table, pixels);
    return picture;
}

/// Whether the system palette holds `colour` in any entry.
inline bool SystemHolds(CDC& dc, COLORREF colour) {
    std::vector<PALETTEENTRY> entries(256);
    GetSystemPaletteEntries(dc.GetSafeHdc(), 0, 256, entries.data());
    return std::any_of(entries.begin(), entries.end(), [colour](const PALETTEENTRY& e) {
        return RGB(e.peRed, e.peGreen, e.peBlue) == colour;
    });
}

/// A memory device context holding a 32-bit bitmap filled with kBackground; everything is given
/// back when the object ends.
class Surface {
public:
    Surface(int width, int height) : width_(width), height_(height) {
        EXPECT_TRUE(dc_.CreateCompatibleDC(nullptr));
        EXPECT_TRUE(bitmap_.CreateBitmap(width, height, 1, 32, nullptr));
        previous_ = dc_.SelectObject(&bitmap_);
        EXPECT_NE(previous_, nullptr);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                dc_.SetPixel(x, y, kBackground);
            }
        }
    }
    ~Surface() {
        if (previous_ != nullptr) {
            dc_.SelectObject(previous_);
        }
        dc_.DeleteDC();
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    CDC* Dc() { return &dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF At(int x, int y) const { return dc_.GetPixel(x, y); }

    /// Every pixel, row by row from the top.
    std::vector<COLORREF> Pixels() const {
        std::vector<COLORREF> pixels;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                pixels.push_back(At(x, y));
            }
        }
        return pixels;
    }

private:
    int width_;
    int height_;
    CBitmap bitmap_;
    CDC dc_;
    CBitmap* previous_ = nullptr;
};

} // namespace orvel::test
