// The RLE8 and RLE4 decoders, which write into a zero-filled pixel area.
#pragma once

#include "../../platform/win/types.h"

#include <cstddef>

namespace orvel::dib::detail {

/// Decodes a BI_RLE8 stream into `pixelBytes` bytes of bottom-up rows of `stride` bytes.
void DecodeRle8(const BYTE* stream, std::size_t streamBytes, BYTE* pixels, std::size_t pixelBytes,
                std::size_t stride) noexcept;

/// Decodes a BI_RLE4 stream into `pixelBytes` bytes of bottom-up rows of `stride` bytes, the left
/// pixel of each byte in its high nibble.
void DecodeRle4(const BYTE* stream, std::size_t streamBytes, BYTE* pixels, std::size_t pixelBytes,
                std::size_t stride) noexcept;

} // namespace orvel::dib::detail
