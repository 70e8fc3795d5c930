// The check a header passes before the library makes a new picture for it (a blank picture, or
// the copy of a device-dependent bitmap).
#pragma once

#include "../../platform/win/bitmap_structs.h"
#include "../../platform/win/types.h"

#include <cstdint>

namespace orvel::dib::detail {

/// What the check found.
enum class NewPictureVerdict : std::uint8_t {
    Accepted,    ///< the picture can be made; the sizes are filled in
    NotAPicture, ///< the header describes no picture the library makes
    TooLarge,    ///< the pixels would exceed kDibMaxPixelBytes or 32-bit sizes
};

/// The sizes of an accepted picture.
struct NewPictureSizes {
    DWORD stride = 0;     ///< bytes per row, a multiple of 4
    DWORD imageBytes = 0; ///< biSizeImage when given, else stride x biHeight
    DWORD tableBytes = 0; ///< 4 x the colour-table entries
};

/// Checks a 40-byte header for a new, uncompressed picture: biSize 40, one plane, BI_RGB, a
/// depth of 1, 4, 8, 16, 24 or 32 bits, a width and height of 0 or more, and a biSizeImage that
/// is 0 or at least the rows' own size. Nothing is allocated and nothing is read beyond `header`.
NewPictureVerdict CheckNewPictureHeader(const BITMAPINFOHEADER& header,
                                        NewPictureSizes& sizes) noexcept;

/// The (kind, code) pair a refused picture records.
struct RefusalStatus {
    unsigned int kind = 0;
    DWORD code = 0;
};

/// A header that describes no picture is class error 1, as a header the normalisation step does
/// not know. A picture too large to hold is a system error with ERROR_NOT_ENOUGH_MEMORY: the
/// status the block's allocation would have left, reported before anything is allocated.
RefusalStatus StatusOfRefusal(NewPictureVerdict verdict) noexcept;

} // namespace orvel::dib::detail
