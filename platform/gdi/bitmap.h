/// @file
/// Device-dependent bitmaps: creation and reading their pixels back as a DIB.
#pragma once

#include "../export.h"
#include "../win/bitmap_structs.h"
#include "../win/types.h"

/// Makes a bitmap of width x height pixels at planes x bitsPerPixel bits per pixel (rounded up to
/// 1, 4, 8, 16, 24 or 32), filled from `bits` when not null: rows top-down, each padded to an even
/// number of bytes (the bmWidthBytes of the BITMAP record), pixels in the DIB formats. A width or
/// height of 0 gives the stock 1 x 1 monochrome bitmap, as published. Null with
/// ERROR_INVALID_PARAMETER for negative sizes or more than 32 bits per pixel, or
/// ERROR_NOT_ENOUGH_MEMORY (also for sides above 65536 pixels or above 1 GiB of pixels).
ORVEL_PLATFORM_API HBITMAP WINAPI CreateBitmap(int width, int height, UINT planes,
                                               UINT bitsPerPixel, const void* bits) noexcept;

/// Makes a zero-filled bitmap in the format of a context's surface: 32 bits for the screen and
/// windows, the selected bitmap's depth for a memory context (monochrome for a fresh one, as
/// published). Null with ERROR_INVALID_HANDLE for a bad context, or as CreateBitmap.
ORVEL_PLATFORM_API HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int width, int height) noexcept;

/// Reads scan lines of a bitmap as a DIB described by `info` (biBitCount at least the bitmap's
/// own depth; BI_RGB; DIB_RGB_COLORS). Scan line 0 is the bitmap's bottom row.
///
/// With a null `bits`, completes the header: a biBitCount of 0 takes the bitmap's own format;
/// otherwise biWidth and biHeight (keeping its sign) become the bitmap's, biSizeImage is set and,
/// up to 8 bits per pixel, the colour table is filled. Returns the bitmap's height.
///
/// With `bits`, copies lines firstScan .. firstScan + lineCount - 1 into consecutive DIB rows
/// (bottom-up, or top-down for a negative biHeight) of the stride of biWidth, fills the colour
/// table, and returns the number of lines copied. Indexed bitmaps report the colours of the
/// palette selected into `dc` (monochrome bitmaps: black and white).
///
/// 0 on failure: ERROR_INVALID_HANDLE for a bad context or bitmap; ERROR_INVALID_PARAMETER for a
/// bad header, depth, usage, or a first scan line beyond the bitmap, or for a bitmap selected
/// into a context other than `dc`; ERROR_NOT_ENOUGH_MEMORY when the platform cannot serve it.
ORVEL_PLATFORM_API int WINAPI GetDIBits(HDC dc, HBITMAP bitmap, UINT firstScan, UINT lineCount,
                                        LPVOID bits, LPBITMAPINFO info, UINT usage) noexcept;
