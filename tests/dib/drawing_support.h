// Pictures of every depth whose colours are known pixel by pixel, and a 32-bit memory surface to
// draw them into and read them back from.
#pragma once

#include "convert/picture_bytes.h"
#include "dib_test_support.h"
#include "support/memory_surface.h"

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
    return std::ranges::count(SystemColours(dc.GetSafeHdc()), colour) > 0;
}

/// A 32-bit memory surface filled with kBackground, drawn on through the framework's CDC;
/// everything is given back when the object ends.
class Surface {
public:
    Surface(int width, int height) : memory_(width, height, 32), width_(width), height_(height) {
        EXPECT_TRUE(memory_.Ready());
        memory_.Fill(width, height, kBackground);
        dc_.Attach(memory_.Dc());
    }
    ~Surface() { dc_.Detach(); }

    CDC* Dc() { return &dc_; }
    COLORREF At(int x, int y) const { return GetPixel(memory_.Dc(), x, y); }

    /// Every pixel, row by row from the top.
    std::vector<COLORREF> Pixels() const { return PixelsOf(memory_.Dc(), width_, height_); }

private:
    MemorySurface memory_;
    int width_;
    int height_;
    CDC dc_;
};

} // namespace orvel::test
