// The parts of an installed picture's block, read once by the operations that work on it.
#pragma once

#include "../../platform/win/bitmap_structs.h"
#include "../../platform/win/types.h"
#include "picture_geometry.h"

#include <optional>

namespace orvel::dib::detail {

/// Where the normalisation step put the parts of a picture: a 40-byte header, a full colour table
/// right after it and bottom-up BI_RGB rows right after that.
struct InstalledPicture {
    BITMAPINFOHEADER header{}; ///< a copy of the information header at offset 14
    DWORD entryCount = 0;      ///< colour-table entries (GetPaletteEntryNum)
    DWORD pixelOffset = 0;     ///< bfOffBits
    PictureGeometry geometry;  ///< stride, rows and size of the pixel area
};

/// Reads the headers of a picture's block of `blockBytes` bytes and checks that they still
/// describe the canonical layout and that the pixel area lies inside the block. The block is
/// lent out through GetSafeHandle, so its owner may have written over it since it was installed:
/// nothing, rather than a read or write past its end, for a block that no longer holds what its
/// headers say.
std::optional<InstalledPicture> ReadInstalledPicture(const BYTE* block, SIZE_T blockBytes) noexcept;

} // namespace orvel::dib::detail
