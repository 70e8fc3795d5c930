/// @file
/// The system palette: the 256 colours a palette device can show at once, shared by every
/// application. Entries 0 to 9 and 246 to 255 hold the 20 static colours and never change; the 236
/// entries between them are free until a palette realised in the foreground takes them.
///
/// On an 8-bit PseudoColor X screen the system palette is the X colormap that the process's
/// windows use: a foreground realisation stores the entries it changed there, and the entries and
/// nearest colours read back are what the server holds. Elsewhere the model below stands alone.
///
/// The screen surface itself holds 32-bit colours, so the system palette never changes a pixel;
/// it is kept so that palette-aware applications see realisation behave as on a palette device:
/// foreground realisation takes free (and then non-static) entries for the palette's colours and
/// reports how many entries changed, and realising the same palette again changes nothing.
#pragma once

#include "../export.h"
#include "../win/palette_structs.h"
#include "../win/types.h"

/// Entries in the system palette.
constexpr UINT kSystemPaletteEntries = 256;
/// Static entries at each end of the system palette.
constexpr UINT kSystemPaletteStaticEach = 10;

/// Copies system-palette entries first .. first + count - 1 and returns how many were copied;
/// with a null buffer, returns 256. 0 with ERROR_INVALID_HANDLE for a bad context.
ORVEL_PLATFORM_API UINT WINAPI GetSystemPaletteEntries(HDC dc, UINT first, UINT count,
                                                       LPPALETTEENTRY entries) noexcept;

/// The colour the screen shows for `colour`: on a palette screen the nearest system-palette entry
/// (smallest squared RGB distance, lowest index among equals), elsewhere the colour itself.
/// CLR_INVALID for a bad context.
ORVEL_PLATFORM_API COLORREF WINAPI GetNearestColor(HDC dc, COLORREF colour) noexcept;

namespace orvel::testing {
/// Gives the system palette back its start state (static colours, every free entry unused and
/// black), so that tests of realisation do not depend on earlier ones.
ORVEL_PLATFORM_API void ResetSystemPalette() noexcept;
} // namespace orvel::testing
