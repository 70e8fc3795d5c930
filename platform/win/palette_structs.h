/// @file
/// The published logical-palette structures.
#pragma once

#include "types.h"

/// A logical palette's colour and its flags.
struct PALETTEENTRY {
    BYTE peRed;   ///< red, 0 to 255
    BYTE peGreen; ///< green, 0 to 255
    BYTE peBlue;  ///< blue, 0 to 255
    BYTE peFlags; ///< 0 or PC_RESERVED, PC_EXPLICIT, PC_NOCOLLAPSE
};

/// A logical palette is allocated with room for palNumEntries entries; the one-entry array is the
/// published way of declaring the variable-length tail.
struct LOGPALETTE {
    WORD palVersion;             ///< PALETTE_VERSION
    WORD palNumEntries;          ///< entries in palPalEntry
    PALETTEENTRY palPalEntry[1]; ///< the first entry
};

/// Pointer to a PALETTEENTRY.
using LPPALETTEENTRY = PALETTEENTRY*;
/// Pointer to a LOGPALETTE.
using LPLOGPALETTE = LOGPALETTE*;

static_assert(sizeof(PALETTEENTRY) == 4);
static_assert(sizeof(LOGPALETTE) == 8);

/// The version a LOGPALETTE carries.
constexpr WORD PALETTE_VERSION = 0x0300;

/// @name peFlags values
/// @{
// peFlags values.
constexpr BYTE PC_RESERVED = 0x01; ///< the entry may be animated
constexpr BYTE PC_EXPLICIT =
    0x02; ///< the low word of the entry is an index into the system palette
constexpr BYTE PC_NOCOLLAPSE = 0x04; ///< the colour goes into an unused system-palette entry
                                     ///< instead of matching an existing one
/// @}

/// Bytes needed for a LOGPALETTE with the given number of entries.
constexpr SIZE_T LogPaletteBytes(UINT entryCount) noexcept {
    return sizeof(LOGPALETTE) + (entryCount > 0 ? entryCount - 1 : 0) * sizeof(PALETTEENTRY);
}
