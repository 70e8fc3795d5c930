// Pictures of every depth whose colours are known pixel by pixel, and a 32-bit memory surface to
// draw them into and read them back from.
#pragma once

#include "convert/picture_bytes.h"
#include "dib_test_support.h"

#include <algorithm>
#include <vector>

namespace orvel::test {

/// The colour a fresh surface is filled with; no test picture holds it.
constexpr COLORREF kBackground = RGB(1, 2, 3);

/// A BMP file image of arbitrary bytes (the conversion tests' pictures, seeded by its size) with
/// the colour each pixel must show on a 32-bit surface (x, y counted from the top-left corner):
/// 16-bit pixels are 5-5-5 words whose channels widen as (v << 3) | (v >> 2).
struct ColourPicture {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    Bytes file;
    std::vector<COLORREF> colours; ///< row by row from the top
    std::vector<COLORREF> table;   ///< the colour table's entries

    COLORREF At(int x, int y) const {
        return colours[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                       static_cast<std::size_t>(x)];
    }
};

inline ColourPicture MakeColourPicture(int width, int height, int bitCount) {
    const PictureBytes arbitrary = ArbitraryPicture(
        bitCount, width, height, static_cast<unsigned>(width * 1000 + height * 40 + bitCount));
    ColourPicture picture{width, height, bitCount, FileOf(arbitrary), {}, {}};
    for (const RGBQUAD& entry : arbitrary.colours) {
        picture.table.push_back(RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue));
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Colour c = PixelColour(arbitrary, x, height - 1 - y);
            const int widen = bitCount == 16 ? 5 : 8; // c >> 8 is 0
            picture.colours.push_back(RGB(c.red | (c.red >> widen), c.green | (c.green >> widen),
                                          c.blue | (c.blue >> widen)));
        }
    }
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
