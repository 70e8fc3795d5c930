#include "pixel_reader.h"

namespace orvel::fuzz {
namespace {

std::size_t StrideOf(const PictureContent& content) {
    const std::size_t rowBits = static_cast<std::size_t>(content.width) * content.bitCount;
    return (rowBits + 31) / 32 * 4;
}

} // namespace

bool Comparable(const PictureContent& content) {
    if (content.width <= 0 || content.height <= 0 ||
        static_cast<std::size_t>(content.width) * static_cast<std::size_t>(content.height) >
            kComparedPixelsMax) {
        return false;
    }
    const std::size_t entries = content.bitCount <= 8 ? std::size_t{1} << content.bitCount : 0;
    return content.rows.size() == StrideOf(content) * static_cast<std::size_t>(content.height) &&
           content.colours.size() >= 4 * entries;
}

DWORD StoredPixel(const PictureContent& content, LONG x, LONG y) {
    // Rows are stored bottom-up.
    const BYTE* row =
        content.rows.data() + StrideOf(content) * static_cast<std::size_t>(content.height - 1 - y);
    const auto column = static_cast<std::size_t>(x);
    switch (content.bitCount) {
    case 1:
        return (row[column / 8] >> (7 - column % 8)) & 1U;
    case 4:
        return column % 2 == 0 ? row[column / 2] >> 4 : row[column / 2] & 0x0FU;
    case 8:
        return row[column];
    case 16:
        return row[2 * column] | (DWORD{row[2 * column + 1]} << 8);
    default: {
        const BYTE* pixel = row + column * (content.bitCount / 8U);
        return pixel[0] | (DWORD{pixel[1]} << 8) | (DWORD{pixel[2]} << 16);
    }
    }
}

COLORREF ShownColour(const PictureContent& content, LONG x, LONG y) {
    const DWORD value = StoredPixel(content, x, y);
    if (content.bitCount <= 8) {
        const BYTE* entry = content.colours.data() + 4 * std::size_t{value};
        return RGB(entry[2], entry[1], entry[0]);
    }
    auto channel = [value](unsigned shift, DWORD mask, unsigned widen) {
        return static_cast<BYTE>(((value >> shift) & mask) << widen);
    };
    if (content.bitCount == 16) {
        return RGB(channel(10, 31, 3), channel(5, 31, 3), channel(0, 31, 3));
    }
    return RGB(channel(16, 0xFF, 0), channel(8, 0xFF, 0), channel(0, 0xFF, 0));
}

} // namespace orvel::fuzz
