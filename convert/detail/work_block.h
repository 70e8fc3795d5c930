// The sizes of a work block, checked before anything is allocated, and the check that a
// picture's block really holds the rows its header describes.
#pragma once

#include "../../platform/win/bitmap_structs.h"
#include "../../platform/win/types.h"

namespace orvel::convert::detail {

/// Where the parts of a work block go. `refusal` is 0 for a block the library can make, else the
/// platform error that explains why not: ERROR_INVALID_PARAMETER for a negative width or height
/// or an image size too small for the rows, ERROR_NOT_ENOUGH_MEMORY for a picture larger than a
/// picture may be.
struct WorkBlockLayout {
    DWORD refusal = 0;
    DWORD imageBytes = 0;  ///< biSizeImage when set, else stride x height
    WORD tableEntries = 0; ///< colour-table entries of the header
    DWORD totalBytes = 0;  ///< file header + information header + colour table + image
};

/// The layout of a work block for `header`.
WorkBlockLayout LayoutWorkBlock(const BITMAPINFOHEADER& header) noexcept;

/// Whether a locked block of `blockBytes` bytes at `base` holds its information header and every
/// row its header describes, from bfOffBits on. Guards the readers against a header edited
/// through a lent handle after the picture was installed.
bool BlockHoldsRows(const BYTE* base, SIZE_T blockBytes) noexcept;

} // namespace orvel::convert::detail
