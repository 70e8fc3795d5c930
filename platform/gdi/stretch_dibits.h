/// @file
/// StretchDIBits: drawing a DIB, stretched, into a device context, with raster operations.
#pragma once

#include "../export.h"
#include "../win/bitmap_structs.h"
#include "../win/types.h"

/// @name Raster operations
/// @{
// The ternary raster-operation codes StretchDIBits accepts.
constexpr DWORD SRCCOPY = 0x00CC0020;     ///< destination = source
constexpr DWORD SRCPAINT = 0x00EE0086;    ///< destination = source OR destination
constexpr DWORD SRCAND = 0x008800C6;      ///< destination = source AND destination
constexpr DWORD SRCINVERT = 0x00660046;   ///< destination = source XOR destination
constexpr DWORD SRCERASE = 0x00440328;    ///< destination = source AND NOT destination
constexpr DWORD NOTSRCCOPY = 0x00330008;  ///< destination = NOT source
constexpr DWORD NOTSRCERASE = 0x001100A6; ///< destination = NOT (source OR destination)
constexpr DWORD DSTINVERT = 0x00550009;   ///< destination = NOT destination
constexpr DWORD BLACKNESS = 0x00000042;   ///< every destination bit 0
constexpr DWORD WHITENESS = 0x00FF0062;   ///< every destination bit 1
/// @}

/// Draws the source rectangle (xSrc, ySrc, srcWidth, srcHeight) of a DIB into the destination
/// rectangle (xDst, yDst, dstWidth, dstHeight) of a context's surface, combining source and
/// destination pixels by `rop`.
///
/// The source rectangle is in DIB coordinates: for a bottom-up DIB (positive biHeight) ySrc
/// counts rows up from the bottom row and the rectangle reaches up from there; for a top-down DIB
/// it counts down from the top row. Pixels are picked by nearest neighbour: destination pixel i of
/// a row shows source pixel floor(i x srcWidth / dstWidth), so enlarging repeats pixels and
/// shrinking drops them. A negative width or height covers the pixels from x + width to x - 1
/// (or the like in y) and mirrors the picture along that axis when the source and destination
/// extents differ in sign. Destination pixels outside the surface, and those whose source pixel
/// lies outside the DIB, are left alone. Indexed DIB pixels take their colours from the colour
/// table (biClrUsed entries, or 2^depth when 0; black beyond them).
///
/// Returns the number of source scan lines drawn (the source rectangle's rows inside the DIB),
/// whatever part of the destination the surface shows. 0 on failure: ERROR_INVALID_HANDLE for a
/// bad context; ERROR_INVALID_PARAMETER for a null bits pointer or header, a header that is not a
/// BITMAPINFOHEADER of 1, 4, 8, 16, 24 or 32 bits and BI_RGB, a usage other than DIB_RGB_COLORS,
/// an unknown raster operation, an extent of 0, or a source rectangle wholly outside the DIB;
/// ERROR_NOT_ENOUGH_MEMORY when the platform cannot serve the call.
ORVEL_PLATFORM_API int WINAPI StretchDIBits(HDC dc, int xDst, int yDst, int dstWidth, int dstHeight,
                                            int xSrc, int ySrc, int srcWidth, int srcHeight,
                                            const void* bits, const BITMAPINFO* info, UINT usage,
                                            DWORD rop) noexcept;
