// The decoders of a BMP's pixels, one per encoding, each writing canonical bottom-up rows.
#pragma once

#include "../../platform/win/types.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvel::formats::detail {

/// The canonical rows being filled: zero-filled, bottom row first.
struct Canvas {
    BYTE* rows = nullptr;
    std::size_t stride = 0;
    std::size_t rowCount = 0;
    std::size_t width = 0;
};

/// The stored rows of an uncompressed picture, walked from the bottom row up.
struct SourceRows {
    const BYTE* bottom = nullptr; ///< the stored row that becomes the canonical bottom row
    std::ptrdiff_t stepUp = 0;    ///< from that row to the one above it (negative: top-down)
};

/// Rows whose stored bytes are already the canonical ones (every depth but 2 bits and bit
/// fields): the pixel bytes are copied and the bits past the last pixel cleared, so the padding
/// of the canonical rows stays zero.
void CopyRows(SourceRows source, WORD bitCount, const Canvas& canvas) noexcept;

/// 2-bit rows widened to 4 bits a pixel, index for index.
void WidenRows2To4(SourceRows source, const Canvas& canvas) noexcept;

/// One bit field scaled to 8 bits through a table.
struct FieldScale {
    DWORD mask = 0;
    int shift = 0;            ///< of the field's lowest bit, plus what wide fields drop first
    std::vector<BYTE> levels; ///< 8-bit value of each field value; one 0 entry for no field
};

/// The scale of a field under `mask`: fields of up to 8 bits repeat their bits downwards, as the
/// library widens its own 5-bit fields; wider fields keep their top 8 bits.
FieldScale MakeFieldScale(DWORD mask);

/// Rows of 16- or 32-bit pixels under bit fields, scaled into blue, green, red (24-bit canvas)
/// or blue, green, red, alpha (32-bit canvas).
void ScaleFieldRows(SourceRows source, WORD sourceBits, const std::array<FieldScale, 4>& fields,
                    WORD canvasBits, const Canvas& canvas) noexcept;

/// The global block that holds a stream, when the reader owns it and needs none of its bytes
/// after decoding: the memory of the parts already decoded then goes back while the rest are.
struct StreamBlock {
    HGLOBAL block = nullptr; ///< null: the bytes are the caller's and stay as they are
    std::size_t offset = 0;  ///< of the stream's first byte in the block
};

/// A BI_RLE8, BI_RLE4 or OS/2 RLE24 stream of `streamBytes` bytes (`bitCount` 8, 4 or 24). Runs and
/// deltas that would leave the picture are clipped to it; decoding stops at the end-of-picture
/// code, past the top row or at the stream's end, whichever comes first, leaving the rest of the
/// canvas as it is.
void DecodeRunLengths(const BYTE* stream, std::size_t streamBytes, WORD bitCount,
                      const Canvas& canvas, StreamBlock owned = {}) noexcept;

} // namespace orvel::formats::detail
