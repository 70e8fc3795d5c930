// Reading a picture's block as a BMP reader would (colour table, pixel values, the colour each
// pixel shows), palettes for tests, and a sweep that fails each platform call of a load in turn.
#pragma once

#include "convert/picture_bytes.h"
#include "dib_test_support.h"

#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <vector>

namespace orvel::test {

/// The colour-table entries of a block, as COLORREF values.
inline std::vector<COLORREF> TableOf(const Bytes& block) {
    std::vector<COLORREF> colours;
    for (std::size_t at = 54; at < U32At(block, 10); at += 4) {
        colours.push_back(RGB(block[at + 2], block[at + 1], block[at]));
    }
    return colours;
}

/// The stored value of pixel (x, y from the top): an index, a 5-5-5 word, or 0xRRGGBB.
inline DWORD PixelValue(const Bytes& block, int x, int y) {
    // Read in place: the tests that read every pixel of a picture must not copy it for each.
    PictureBytes shape;
    shape.width = static_cast<int>(U32At(block, 18));
    shape.bitCount = block[28] | (block[29] << 8);
    const int height = static_cast<int>(U32At(block, 22));
    const BYTE* row =
        block.data() + U32At(block, 10) + shape.Stride() * static_cast<std::size_t>(height - 1 - y);
    return RawPixelOfRow(row, shape.bitCount, x) & 0xFFFFFFU;
}

/// The colour pixel (x, y) shows: through the table when indexed; 5-5-5 widened as a display does.
inline COLORREF ColourAt(const Bytes& block, int x, int y) {
    const DWORD v = PixelValue(block, x, y);
    const int bitCount = block[28] | (block[29] << 8);
    if (bitCount <= 8) {
        // The entry read in place, as TableOf lays the table out: tests read every pixel.
        const std::size_t at = 54 + std::size_t{v} * 4;
        if (at >= U32At(block, 10)) {
            throw std::out_of_range("a pixel's index is past the colour table");
        }
        return RGB(block[at + 2], block[at + 1], block[at]);
    }
    if (bitCount == 16) {
        auto widen = [](DWORD five) { return static_cast<BYTE>((five << 3) | (five >> 2)); };
        return RGB(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31));
    }
    return RGB(static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v));
}

inline std::vector<COLORREF> HalftoneColours() {
    std::vector<COLORREF> colours;
    for (const PALETTEENTRY& e : HalftoneEntries()) {
        colours.push_back(RGB(e.peRed, e.peGreen, e.peBlue));
    }
    return colours;
}

/// The sixteen colours of 4-bit pictures: dark ones with blue before red, silver, bright ones.
inline const std::vector<COLORREF> kSixteen = {
    RGB(0, 0, 0),       RGB(0, 0, 128),   RGB(0, 128, 0),   RGB(128, 0, 0),
    RGB(0, 128, 128),   RGB(128, 0, 128), RGB(128, 128, 0), RGB(128, 128, 128),
    RGB(192, 192, 192), RGB(0, 0, 255),   RGB(0, 255, 0),   RGB(255, 0, 0),
    RGB(0, 255, 255),   RGB(255, 0, 255), RGB(255, 255, 0), RGB(255, 255, 255)};

/// The colours of the library's standard palettes, written out here: bit count 1, 4 or 8 (the
/// halftone palette).
inline std::vector<COLORREF> StandardPalette(WORD bitCount) {
    return bitCount == 1   ? std::vector<COLORREF>{RGB(0, 0, 0), RGB(255, 255, 255)}
           : bitCount == 4 ? kSixteen
                           : HalftoneColours();
}

/// No block, no palette, a failed record.
inline bool HoldsNothing(const CDib& dib) {
    return dib.GetSafeHandle() == nullptr && dib.GetPalette() == nullptr && dib.IsFailed();
}

/// `rows` rows of `pixel` repeated `count` times and `padding` zero bytes.
inline Bytes Rows(std::initializer_list<std::uint8_t> pixel, int count, int padding, int rows) {
    Bytes row;
    for (int i = 0; i < count; ++i) {
        row.insert(row.end(), pixel);
    }
    row.resize(row.size() + static_cast<std::size_t>(padding), 0);
    Bytes all;
    for (int i = 0; i < rows; ++i) {
        all.insert(all.end(), row.begin(), row.end());
    }
    return all;
}

} // namespace orvel::test
