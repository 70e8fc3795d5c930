// The published logical-palette structures.
#pragma once

#include "types.h"

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

// A logical palette is allocated with room for palNumEntries entries; the one-entry array is the
// published way of declaring the variable-length tail.
struct LOGPALETTE {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
};

using LPPALETTEENTRY = PALETTEENTRY*;
using LPLOGPALETTE = LOGPALETTE*;

static_assert(sizeof(PALETTEENTRY) == 4);
static_assert(sizeof(LOGPALETTE) == 8);

constexpr WORD PALETTE_VERSION = 0x0300;

// peFlags values.
constexpr BYTE PC_RESERVED = 0x01;
constexpr BYTE PC_EXPLICIT = 0x02;
constexpr BYTE PC_NOCOLLAPSE = 0x04;

// Bytes needed for a LOGPALETTE with the given number of entries.
constexpr SIZE_T LogPaletteBytes(UINT entryCount) noexcept {
    return sizeof(LOGPALETTE) + (entryCount > 0 ? entryCount - 1 : 0) * sizeof(PALETTEENTRY);
}
