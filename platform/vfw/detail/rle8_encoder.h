// The BI_RLE8 encoder of the "mrle" compressor.
#pragma once

#include "../../win/types.h"

#include <cstddef>
#include <cstdint>

namespace orvel::platform::detail {

/// The most bytes an encoded frame can take: no pixel costs more than two bytes, and each row
/// ends with a two-byte code.
std::uint64_t Rle8FrameBound(std::uint32_t width, std::uint32_t height) noexcept;

/// Encodes `height` rows of `width` 8-bit pixels, `stride` bytes apart (bottom row first, as
/// stored), into a BI_RLE8 stream: each row in encoded and absolute runs that never cross its end,
/// then an end-of-line code, the last row an end-of-picture code instead. `out` must have room
/// for Rle8FrameBound(width, height) bytes. Returns the bytes written.
std::size_t EncodeRle8Frame(const BYTE* pixels, std::size_t stride, std::uint32_t width,
                            std::uint32_t height, BYTE* out) noexcept;

} // namespace orvel::platform::detail
