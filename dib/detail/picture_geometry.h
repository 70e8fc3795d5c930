// The size of a picture's canonical pixel area, computed with checked arithmetic.
#pragma once

#include "../../platform/win/types.h"

#include <cstdint>
#include <optional>

namespace orvel::dib::detail {

/// The bottom-up rows of a picture as the library stores them.
struct PictureGeometry {
    DWORD stride = 0;     ///< bytes per row, a multiple of 4
    DWORD rows = 0;       ///< number of rows (the absolute height)
    DWORD pixelBytes = 0; ///< stride x rows
};

/// The geometry of a picture `width` pixels wide with `rows` rows of `bitCount` bits per pixel;
/// nothing when the width or row count is negative or the picture exceeds kDibMaxPixelBytes.
std::optional<PictureGeometry> CanonicalGeometry(std::int64_t width, std::int64_t rows,
                                                 WORD bitCount) noexcept;

} // namespace orvel::dib::detail
