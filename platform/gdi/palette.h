/// @file
/// The palette service: logical palettes, the halftone palette and the nearest-colour search.
#pragma once

#include "../export.h"
#include "../win/palette_structs.h"
#include "../win/types.h"

/// GetNearestPaletteIndex's failure result.
constexpr UINT CLR_INVALID = 0xFFFFFFFF;

/// Entries in the halftone palette that CreateHalftonePalette makes.
constexpr UINT kHalftonePaletteEntries = 256;

/// Makes a palette whose entry i is entry i of `logPalette`. Null with ERROR_INVALID_PARAMETER for
/// a null record, a palVersion other than 0x300 or palNumEntries 0, or ERROR_NOT_ENOUGH_MEMORY.
ORVEL_PLATFORM_API HPALETTE WINAPI CreatePalette(const LOGPALETTE* logPalette) noexcept;

/// Makes the halftone palette for a device context. This platform has one halftone palette for
/// every device: 256 entries, all distinct. Entries 0 to 215 are the 6 x 6 x 6 colour cube with
/// the levels 0, 51, 102, 153, 204 and 255 (entry = 36 x red level + 6 x green level + blue
/// level), so they hold black (entry 0), white (entry 215) and the pure primaries and
/// secondaries; entries 216 to 255 are a grey ramp of the 40 greys 255 x k / 45 for k = 1 to 44
/// (rounded to the nearest integer) that are not already cube greys (k not a multiple of 9), in
/// increasing order. Null with
/// ERROR_INVALID_HANDLE for a bad device context.
ORVEL_PLATFORM_API HPALETTE WINAPI CreateHalftonePalette(HDC dc) noexcept;

/// Copies entries first .. first + count - 1 into `entries` and returns how many were copied
/// (fewer when the palette ends first). With a null buffer, returns the palette's entry count.
/// 0 with ERROR_INVALID_HANDLE for a bad handle.
ORVEL_PLATFORM_API UINT WINAPI GetPaletteEntries(HPALETTE palette, UINT first, UINT count,
                                                 LPPALETTEENTRY entries) noexcept;

/// The index of the palette entry nearest to `colour` (its red, green and blue bytes; the top
/// byte is ignored): the smallest squared RGB distance, and the lowest index among equally near
/// entries. CLR_INVALID with ERROR_INVALID_HANDLE for a bad handle.
ORVEL_PLATFORM_API UINT WINAPI GetNearestPaletteIndex(HPALETTE palette, COLORREF colour) noexcept;
