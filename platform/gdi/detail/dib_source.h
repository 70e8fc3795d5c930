// Reading a caller's DIB description: the checks every function that draws from a DIB makes
// before it touches the bits.
#pragma once

#include "../../win/bitmap_structs.h"
#include "../../win/types.h"
#include "stretch_blitter.h"

namespace orvel::platform::detail {

/// Describes the DIB of `info` and `bits` as a source picture. False with
/// ERROR_INVALID_PARAMETER when either is null, the header is not a BITMAPINFOHEADER (or a later,
/// larger one) of a positive width, a non-zero height, one plane, 1, 4, 8, 16, 24 or 32 bits and
/// BI_RGB, or its rows cannot be addressed.
bool DescribeDib(const BITMAPINFO* info, const void* bits, SourcePicture& picture) noexcept;

/// Whether the DIB's rows run top-down (negative biHeight).
bool IsTopDown(const BITMAPINFO* info) noexcept;

} // namespace orvel::platform::detail
