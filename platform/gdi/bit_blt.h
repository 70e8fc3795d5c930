/// @file
/// BitBlt and StretchBlt: copying pixels from one context's surface to another's (or within one),
/// through colours, with the raster operations of StretchDIBits.
#pragma once

#include "../export.h"
#include "../win/types.h"

/// Copies the width x height rectangle at (xSrc, ySrc) of `source` to (xDst, yDst) of `dc`, as
/// StretchBlt with equal extents.
ORVEL_PLATFORM_API BOOL WINAPI BitBlt(HDC dc, int xDst, int yDst, int width, int height, HDC source,
                                      int xSrc, int ySrc, DWORD rop) noexcept;

/// Draws the source rectangle of `source`'s surface into the destination rectangle of `dc`'s,
/// picking pixels, mirroring and clipping as StretchDIBits does (rectangles top-down in both).
/// Source pixels go through their colours: indexed sources through the palette selected into
/// `source` (monochrome: black and white), into the destination's format as SetPixel does. The
/// rectangles may overlap on one surface. `source` may be null for DSTINVERT, BLACKNESS and
/// WHITENESS. FALSE with ERROR_INVALID_HANDLE for a bad context, ERROR_INVALID_PARAMETER for an
/// unknown operation or an extent of 0, or ERROR_NOT_ENOUGH_MEMORY.
ORVEL_PLATFORM_API BOOL WINAPI StretchBlt(HDC dc, int xDst, int yDst, int dstWidth, int dstHeight,
                                          HDC source, int xSrc, int ySrc, int srcWidth,
                                          int srcHeight, DWORD rop) noexcept;
