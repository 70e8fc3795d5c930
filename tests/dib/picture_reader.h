// Reading a picture's block the way an application reads a BMP file: header, colour table and
// pixel values by position, and the colour each pixel shows. Written from the file format, not
// from the library's code, so the tests compare the library against an independent reading.
#pragma once

#include "dib_test_support.h"

#include <initializer_list>
#include <vector>

namespace orvel::test {

/// The information header stored in a block (or file image).
inline BITMAPINFOHEADER HeaderOf(const Bytes& block) {
    BITMAPINFOHEADER header{};
    std::memcpy(&header, block.data() + 14, sizeof header);
    return header;
}

/// The bytes per row of a header: the row's bits rounded up to whole 32-bit words.
inline std::size_t StrideOf(const BITMAPINFOHEADER& header) {
    const auto rowBits =
        static_cast<std::size_t>(header.biWidth) * static_cast<std::size_t>(header.biBitCount);
    return (rowBits + 31) / 32 * 4;
}

/// The colour-table entries of a block as COLORREF values (red, green, blue of each RGBQUAD).
inline std::vector<COLORREF> TableOf(const Bytes& block) {
    std::vector<COLORREF> colours;
    for (std::size_t at = 54; at < U32At(block, 10); at += 4) {
        colours.push_back(RGB(block[at + 2], block[at + 1], block[at]));
    }
    return colours;
}

/// The stored value of pixel (x, y), y counted from the top: an index, a 5-5-5 word, or
/// 0xRRGGBB for 24 and 32 bits.
inline DWORD PixelValue(const Bytes& block, int x, int y) {
    const BITMAPINFOHEADER header = HeaderOf(block);
    const std::size_t rowFromBottom = static_cast<std::size_t>(header.biHeight - 1 - y);
    const std::uint8_t* row = block.data() + U32At(block, 10) + rowFromBottom * StrideOf(header);
    const auto column = static_cast<std::size_t>(x);
    switch (header.biBitCount) {
    case 1:
        return (row[column / 8] >> (7 - column % 8)) & 1U;
    case 4:
        return column % 2 == 0 ? row[column / 2] >> 4 : row[column / 2] & 0x0FU;
    case 8:
        return row[column];
    case 16:
        return row[2 * column] | (DWORD{row[2 * column + 1]} << 8);
    default: {
        const std::uint8_t* pixel = row + column * (header.biBitCount / 8U);
        return pixel[0] | (DWORD{pixel[1]} << 8) | (DWORD{pixel[2]} << 16);
    }
    }
}

/// The colour pixel (x, y) shows: through the colour table for indexed pictures; 5-5-5 values
/// widened to 8 bits as a display does (the top bits repeated in the low ones).
inline COLORREF ColourAt(const Bytes& block, int x, int y) {
    const BITMAPINFOHEADER header = HeaderOf(block);
    const DWORD value = PixelValue(block, x, y);
    if (header.biBitCount <= 8) {
        return TableOf(block).at(value);
    }
    if (header.biBitCount == 16) {
        auto widen = [](DWORD five) { return static_cast<BYTE>((five << 3) | (five >> 2)); };
        return RGB(widen((value >> 10) & 31), widen((value >> 5) & 31), widen(value & 31));
    }
    return RGB(static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 8),
               static_cast<BYTE>(value));
}

/// Makes `palette` hold exactly `colours`, in order.
inline void MakePalette(CPalette& palette, const std::vector<COLORREF>& colours) {
    std::vector<BYTE> storage(sizeof(LOGPALETTE) + colours.size() * sizeof(PALETTEENTRY));
    auto* logPalette = reinterpret_cast<LOGPALETTE*>(storage.data());
    logPalette->palVersion = 0x300;
    logPalette->palNumEntries = static_cast<WORD>(colours.size());
    for (std::size_t i = 0; i < colours.size(); ++i) {
        logPalette->palPalEntry[i] = {GetRValue(colours[i]), GetGValue(colours[i]),
                                      GetBValue(colours[i]), 0};
    }
    ASSERT_TRUE(palette.CreatePalette(logPalette));
}

/// The colours of the screen's halftone palette, as the platform makes it.
inline std::vector<COLORREF> HalftoneColours() {
    CPalette halftone;
    halftone.CreateHalftonePalette(nullptr);
    std::vector<COLORREF> colours;
    const Bytes triples = PaletteColours(&halftone);
    for (std::size_t i = 0; i + 2 < triples.size(); i += 3) {
        colours.push_back(RGB(triples[i], triples[i + 1], triples[i + 2]));
    }
    return colours;
}

/// The sixteen-colour palette of 4-bit pictures: black, the eight dark colours with blue before
/// red, silver, then the bright ones.
inline const std::vector<COLORREF>& SixteenColours() {
    static const std::vector<COLORREF> colours = {
        RGB(0, 0, 0),       RGB(0, 0, 128),   RGB(0, 128, 0),   RGB(128, 0, 0),
        RGB(0, 128, 128),   RGB(128, 0, 128), RGB(128, 128, 0), RGB(128, 128, 128),
        RGB(192, 192, 192), RGB(0, 0, 255),   RGB(0, 255, 0),   RGB(255, 0, 0),
        RGB(0, 255, 255),   RGB(255, 0, 255), RGB(255, 255, 0), RGB(255, 255, 255)};
    return colours;
}

/// The object's picture is gone: no block, no palette, a failed record.
inline ::testing::AssertionResult HoldsNothing(const CDib& dib) {
    if (dib.GetSafeHandle() != nullptr || dib.GetPalette() != nullptr || !dib.IsFailed()) {
        return ::testing::AssertionFailure() << "block " << dib.GetSafeHandle() << ", palette "
                                             << dib.GetPalette() << ", failed " << dib.IsFailed();
    }
    return ::testing::AssertionSuccess();
}

/// Bytes of `rows` identical rows: `pixel` repeated `count` times, then `padding` zero bytes.
inline Bytes RepeatedRows(std::initializer_list<std::uint8_t> pixel, int count, int padding,
                          int rows) {
    ByteBuilder b;
    for (int row = 0; row < rows; ++row) {
        for (int i = 0; i < count; ++i) {
            b.Bytes(pixel);
        }
        b.Fill(static_cast<std::size_t>(padding), 0);
    }
    return b.Get();
}

} // namespace orvel::test
