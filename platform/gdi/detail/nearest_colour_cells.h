// Which palette entries can be the nearest to some colour of each cell of RGB space.
//
// RGB space is cut into 32 x 32 x 32 cells of 8 x 8 x 8 colours. For each cell the builder keeps
// every entry that is the exact answer (smallest squared distance, lowest index among equals) for
// at least one colour of the cell, and may keep a few more; it never drops one that is needed.
// Almost every cell of a 256-colour palette keeps at most four entries, which a query compares at
// once; the rest keep a longer list.
//
// The builder is shared by the nearest-colour search, which runs it for a busy palette, and by
// the build step that runs it once for the halftone palette and compiles the result in.
#pragma once

#include "../../win/palette_structs.h"
#include "../../win/types.h"

#include <cstdint>
#include <vector>

namespace orvel::platform::detail {

inline constexpr unsigned kCellShift = 3; // a cell spans 8 values of each channel
inline constexpr unsigned kCellCount = 32768;
inline constexpr unsigned kCellSlots = 4;           // candidates compared at once
inline constexpr UINT kMaxCellPaletteEntries = 256; // candidates are 8-bit indexes

/// The cell of a colour (red in the low byte, the top byte ignored): the top five bits of red,
/// green and blue, red lowest, so that shifts and masks of the colour value find it.
constexpr unsigned CellOf(COLORREF colour) noexcept {
    return ((colour >> 3U) & 0x1FU) | ((colour >> 6U) & 0x3E0U) | ((colour >> 9U) & 0x7C00U);
}

/// The candidates of every cell, by palette index.
struct CellCandidates {
    /// One word per cell. A cell with at most four candidates holds their indexes in its bytes,
    /// lowest byte first, in increasing order, the last repeated to fill four bytes. A cell with
    /// more holds kOverflowMarker in its low 16 bits and the number of its list in the high 16.
    std::vector<std::uint32_t> words;
    /// List n is overflowIndexes[overflowStart[n] .. overflowStart[n + 1] - 1], increasing.
    std::vector<std::uint32_t> overflowStart;
    std::vector<std::uint8_t> overflowIndexes;
};

/// Low byte above the second: no list in increasing order looks like this.
inline constexpr std::uint32_t kOverflowMarker = 0x0001;

constexpr bool IsOverflowWord(std::uint32_t word) noexcept {
    return (word & 0xFFU) > ((word >> 8U) & 0xFFU);
}

/// The cells of a palette of 1 to kMaxCellPaletteEntries entries. Throws std::bad_alloc.
CellCandidates BuildCellCandidates(const PALETTEENTRY* entries, UINT entryCount);

} // namespace orvel::platform::detail
