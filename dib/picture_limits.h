/// @file
/// The largest picture a CDib accepts.
#pragma once

#include "../platform/win/types.h"

/// The largest pixel area, in bytes, of a picture that a CDib accepts: 1 GiB, which admits
/// 16384 x 16384 pixels at 32 bits per pixel. A picture whose bottom-up rows (stride x height)
/// would need more, or whose single row would, is refused with class error 1 before any block is
/// made for it. Row counts are bounded alike (a quarter of this, the rows of the smallest
/// non-empty stride), so that an empty picture of width 0 cannot claim an absurd height.
constexpr DWORD kDibMaxPixelBytes = DWORD{1} << 30;
