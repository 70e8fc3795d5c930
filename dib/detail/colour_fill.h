// Filling the pixels of a blank picture with one colour.
#pragma once

#include "../../platform/win/types.h"

#include <array>

namespace orvel::dib::detail {

/// The byte that fills every byte of an indexed picture's image so that each of its pixels holds
/// `index`: 0xFF or 0x00 for 1 bit, the index in both nibbles for 4 bits, the index for 8 bits.
BYTE IndexedFillByte(UINT index, WORD bitCount) noexcept;

/// One pixel of a direct-colour picture, as the bytes it is stored in.
struct DirectPixel {
    std::array<BYTE, 4> bytes{};
    DWORD byteCount = 0; ///< 2, 3 or 4; 0 for depths that are not direct colour
};

/// The stored bytes of `colour` (a COLORREF) in a picture of `bitCount` bits: 16 bits 5-5-5 with
/// bit 15 clear, little-endian; 24 bits blue, green, red; 32 bits blue, green, red, 0. No bytes
/// for any other depth.
DirectPixel EncodeDirectPixel(COLORREF colour, WORD bitCount) noexcept;

/// Writes `pixel` into the first `width` pixels of each of `rows` rows that lie `stride` bytes
/// apart from `pixels`. The rest of each row (its padding) is not touched. The caller guarantees
/// width x byteCount <= stride and that the rows lie inside its block.
void FillDirectRows(BYTE* pixels, DWORD stride, DWORD rows, DWORD width,
                    const DirectPixel& pixel) noexcept;

} // namespace orvel::dib::detail
