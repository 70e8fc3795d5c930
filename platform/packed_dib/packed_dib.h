/// @file
/// The rows and colour table of a packed DIB handed to an encoder, found and checked once.
///
/// The PNG and JPEG writers take the same packed DIBs: a 40-byte BI_RGB header, one of the six
/// depths, the colour table biClrUsed says (0: the depth's full table), then rows bottom-up for a
/// positive height and top-down for a negative one. This is the one place that checks such a DIB
/// fits the bytes it is said to have.
#pragma once

#include "../win/bitmap_structs.h"
#include "../win/types.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvel::packed {

/// Where the parts of a checked packed DIB are.
struct PackedDib {
    std::uint32_t width = 0;        ///< in pixels, at least 1
    std::uint32_t height = 0;       ///< in rows, at least 1
    int bitCount = 0;               ///< 1, 4, 8, 16, 24 or 32
    bool topDown = false;           ///< rows stored top row first (negative height)
    const RGBQUAD* table = nullptr; ///< the colour entries biClrUsed says
    int tableEntries = 0;           ///< 0 for direct-colour depths
    const BYTE* rows = nullptr;     ///< the first stored row
    std::uint64_t stride = 0;       ///< bytes of a row with its padding
    bool hasAlpha = false;          ///< 32 bits with some non-zero fourth byte
    LONG xPelsPerMeter = 0;         ///< resolution, 0 when unknown
    LONG yPelsPerMeter = 0;         ///< resolution, 0 when unknown

    /// The top row, and the step from one row to the row below it.
    const BYTE* TopRow(std::ptrdiff_t& stepDown) const noexcept {
        const auto signedStride = static_cast<std::ptrdiff_t>(stride);
        stepDown = topDown ? signedStride : -signedStride;
        return topDown ? rows : rows + (height - 1) * stride;
    }
};

/// Finds the table and rows of the packed DIB at `header` and checks that they lie within
/// `byteCount` bytes. False with `reason` set ("a header of 108 bytes, not 40") when the DIB is
/// not in that form; an empty picture is refused too, since neither PNG nor JPEG has one.
bool FindPackedDib(const BITMAPINFOHEADER* header, std::size_t byteCount, PackedDib& dib,
                   std::string& reason);

/// A row of 5-5-5 pixels as 8-bit RGB, each field widened so that 31 becomes 255.
void WidenRow555(const BYTE* row, std::uint32_t width, BYTE* rgb) noexcept;

} // namespace orvel::packed
