// The one check every DIB block passes before anything uses its headers.
//
// InspectBlock reads the file header and the information header (40-byte or OS/2 core) of a
// block, checks every size the headers imply against the block's real size, and describes where
// the colour table and the pixels are and what must be done to make the block canonical. No
// later step reads a header field as an offset or a size without this description.
#pragma once

#include "../../platform/win/types.h"
#include "picture_geometry.h"

#include <array>
#include <cstdint>

namespace orvel::dib::detail {

/// How the stored pixels are coded.
enum class PixelCoding : std::uint8_t {
    Rgb,      ///< rows as the library keeps them (BI_RGB)
    Rle8,     ///< BI_RLE8 stream
    Rle4,     ///< BI_RLE4 stream
    Masks555, ///< BI_BITFIELDS 16-bit with the library's own 5-5-5 masks
    Masks565, ///< BI_BITFIELDS 16-bit 5-6-5, kept as 24 bits
    Masks32,  ///< BI_BITFIELDS 32-bit, one whole byte per channel in some order
};

/// Where a checked block keeps its parts, and what the canonical picture looks like.
struct BlockLayout {
    bool coreHeader = false; ///< a 12-byte BITMAPCOREHEADER (three-byte colour entries)
    PixelCoding coding = PixelCoding::Rgb;
    bool topDown = false;       ///< rows stored top row first (negative height)
    WORD bitCount = 0;          ///< as stored
    WORD canonicalBitCount = 0; ///< of the canonical block: 24 for 5-6-5, else bitCount
    LONG width = 0;
    PictureGeometry geometry; ///< of the canonical, bottom-up pixel area
    PictureGeometry stored;   ///< of the rows as stored (uncompressed pictures)

    DWORD entries = 0;       ///< colour-table entries of the canonical block
    DWORD tableOffset = 0;   ///< where the stored colour entries start
    DWORD storedEntries = 0; ///< entries really stored there (at most `entries`)
    DWORD pixelOffset = 0;   ///< bfOffBits
    DWORD streamBytes = 0;   ///< run-length pictures: bytes from bfOffBits to the block's end
    std::array<BYTE, 3> channelByte{}; ///< Masks32: byte of blue, green and red in a pixel

    /// The block is already canonical and is kept byte for byte.
    bool canonical = false;
};

/// Checks a block of `blockBytes` bytes at `block`. False when its headers are not a picture the
/// library accepts or do not fit the block; `layout` then holds nothing of use.
bool InspectBlock(const BYTE* block, SIZE_T blockBytes, BlockLayout& layout) noexcept;

} // namespace orvel::dib::detail
