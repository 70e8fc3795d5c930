#include "colour_fill.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace orvel::dib::detail {

BYTE IndexedFillByte(UINT index, WORD bitCount) noexcept {
    switch (bitCount) {
    case 1:
        return (index & 1U) != 0 ? BYTE{0xFF} : BYTE{0x00};
    case 4: {
        const auto nibble = static_cast<BYTE>(index & 0x0FU);
        return static_cast<BYTE>(nibble << 4 | nibble);
    }
    default:
        return static_cast<BYTE>(index);
    }
}

DirectPixel EncodeDirectPixel(COLORREF colour, WORD bitCount) noexcept {
    const BYTE red = GetRValue(colour);
    const BYTE green = GetGValue(colour);
    const BYTE blue = GetBValue(colour);
    DirectPixel pixel;
    switch (bitCount) {
    case 16: {
        const auto value = static_cast<WORD>((red >> 3) << 10 | (green >> 3) << 5 | blue >> 3);
        pixel.bytes = {static_cast<BYTE>(value & 0xFF), static_cast<BYTE>(value >> 8), 0, 0};
        pixel.byteCount = 2;
        break;
    }
    case 24:
        pixel.bytes = {blue, green, red, 0};
        pixel.byteCount = 3;
        break;
    case 32:
        pixel.bytes = {blue, green, red, 0};
        pixel.byteCount = 4;
        break;
    default:
        break;
    }
    return pixel;
}

void FillDirectRows(BYTE* pixels, DWORD stride, DWORD rows, DWORD width,
                    const DirectPixel& pixel) noexcept {
    if (rows == 0 || width == 0 || pixel.byteCount == 0) {
        return;
    }
    // The first row is built by doubling: one pixel, then the filled part copied onto the part
    // after it. The filled length stays a whole number of pixels, so the pattern never shifts.
    const std::size_t rowBytes = std::size_t{width} * pixel.byteCount;
    BYTE* firstRow = pixels;
    std::memcpy(firstRow, pixel.bytes.data(), pixel.byteCount);
    std::size_t filled = pixel.byteCount;
    while (filled < rowBytes) {
        const std::size_t chunk = std::min(filled, rowBytes - filled);
        std::memcpy(firstRow + filled, firstRow, chunk);
        filled += chunk;
    }
    // Every other row is the same bytes.
    BYTE* row = firstRow;
    for (DWORD remaining = rows - 1; remaining != 0; --remaining) {
        row += stride;
        std::memcpy(row, firstRow, rowBytes);
    }
}

} // namespace orvel::dib::detail
