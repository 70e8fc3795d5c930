// The exact nearest-colour search behind GetNearestPaletteIndex.
//
// "Nearest" is the smallest squared Euclidean distance in RGB, and among equally near entries the
// lowest index: exactly what a plain scan of the palette in index order with a strict comparison
// returns, for every colour.
//
// Colour conversion asks once per pixel, so the search is accelerated: RGB space is cut into
// 32 x 32 x 32 cells, and each cell lists the only entries that can be the answer for some colour
// inside it (nearest_colour_cells.h). Almost every cell has at most four, and a cell keeps those
// four with their colours in 16 bytes, so that a query reads one cell and computes four distances
// at once without a branch: the answer is the smallest (distance << 8 | index), which orders by
// distance and then by index. The few cells with more candidates keep them in an overflow list.
//
// Building the cells of a palette costs some milliseconds, so a palette answers its first
// queries by the plain scan and builds them only once it proves busy; the halftone palette's
// cells are computed when the platform is built and ready from the first query, and a palette of
// at most four colours has one list for every cell, made at once.
#pragma once

#include "../../win/palette_structs.h"
#include "../../win/types.h"
#include "nearest_colour_cells.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace orvel::platform::detail {

/// A cell's four candidates as a query compares them: red and green of each candidate, then blue
/// and palette index of each. A cell whose list is longer has an index pair out of order
/// (blueIndex[1] above blueIndex[3]) and the number of its overflow list in redGreen[0..1].
struct alignas(16) NearestCell {
    std::uint8_t redGreen[8];
    std::uint8_t blueIndex[8];
};

class NearestColourSearch {
public:
    /// The search for `entryCount` entries (any number; a palette without entries answers 0).
    NearestColourSearch(const PALETTEENTRY* entries, UINT entryCount);
    /// The search with cells already computed for these entries (at most 256 of them).
    NearestColourSearch(const PALETTEENTRY* entries, UINT entryCount,
                        const CellCandidates& candidates);
    NearestColourSearch(const NearestColourSearch&) = delete;
    NearestColourSearch& operator=(const NearestColourSearch&) = delete;

    /// Index of the entry nearest to (red, green, blue).
    UINT Find(BYTE red, BYTE green, BYTE blue) const noexcept;

    /// The colour's cell, when the cells are built and the cell lists at most four candidates;
    /// otherwise null, and FindWithoutCell answers. Inline for GetNearestPaletteIndex, whose
    /// callers ask once per pixel.
    const NearestCell* CellFor(COLORREF colour) const noexcept {
        const NearestCell* cells = cells_.load(std::memory_order_acquire);
        if (cells == nullptr) [[unlikely]] {
            return nullptr;
        }
        const NearestCell* cell = cells + CellOf(colour);
        if (HasOverflowList(*cell)) [[unlikely]] {
            return nullptr;
        }
        return cell;
    }

    /// Whether a cell names an overflow list rather than listing its candidates.
    static bool HasOverflowList(const NearestCell& cell) noexcept {
        return cell.blueIndex[1] > cell.blueIndex[3];
    }

    /// The answer for a colour whose cell CellFor does not give: from the overflow list, or,
    /// before the cells are built, by the scan (building them once the palette is busy).
    UINT FindWithoutCell(COLORREF colour) const noexcept;

    /// The same answer by a plain scan of every entry.
    UINT FindByScan(BYTE red, BYTE green, BYTE blue) const noexcept;

private:
    struct Entry {
        std::int32_t red;
        std::int32_t green;
        std::int32_t blue;
        std::uint32_t index;
    };

    // Queries answered by the scan before the cells are built: about the cost of building them.
    static constexpr std::uint32_t kScanQueriesBeforeCells = 16384;
    // Palettes with at most this many distinct colours have the same candidates in every cell.
    static constexpr std::size_t kOneListEntries = kCellSlots;

    // Publishes the cells; under buildMutex_ or in the constructor.
    void TakeCells(const CellCandidates& candidates) const;
    void TakeOneList() const;
    bool CellsReady() const noexcept;
    void BuildCells() const;
    UINT FindInOverflow(const NearestCell& cell, COLORREF colour) const noexcept;

    // The palette with later duplicates of a colour removed: only the first of equal colours can
    // ever be the answer.
    std::vector<Entry> distinct_;
    bool cellsPossible_ = false;

    mutable std::atomic<std::uint32_t> queries_{0};
    mutable std::mutex buildMutex_;
    // Null until the cells are built; then cellStorage_'s cells, which never change again.
    mutable std::atomic<const NearestCell*> cells_{nullptr};
    mutable std::unique_ptr<NearestCell[]> cellStorage_;
    mutable std::vector<std::uint32_t> overflowStart_;
    mutable std::vector<std::uint8_t> overflowIndexes_;
    // Entry colours by palette index, packed red | green << 8 | blue << 16: what the cells are
    // built from, and what overflow lists are compared with.
    UINT entryCount_ = 0;
    std::uint32_t colours_[kMaxCellPaletteEntries] = {};
};

/// The nearest of a cell's four candidates, compared one by one: the smallest
/// (distance << 8 | index).
inline UINT NearestOfCellPortable(const NearestCell& cell, COLORREF colour) noexcept {
    const std::int32_t red = static_cast<std::int32_t>(colour & 0xFFU);
    const std::int32_t green = static_cast<std::int32_t>((colour >> 8U) & 0xFFU);
    const std::int32_t blue = static_cast<std::int32_t>((colour >> 16U) & 0xFFU);
    std::uint32_t best = UINT32_MAX;
    for (unsigned slot = 0; slot < kCellSlots; ++slot) {
        const std::int32_t dr = cell.redGreen[2 * slot] - red;
        const std::int32_t dg = cell.redGreen[2 * slot + 1] - green;
        const std::int32_t db = cell.blueIndex[2 * slot] - blue;
        const auto distance = static_cast<std::uint32_t>(dr * dr + dg * dg + db * db);
        const std::uint32_t key = distance << 8U | cell.blueIndex[2 * slot + 1];
        best = key < best ? key : best;
    }
    return best & 0xFFU;
}

/// The search for a palette's entries, shared by every palette with the same colours in the same
/// order, so that the cells built for one serve the next. The halftone palette's search comes
/// with its cells.
std::shared_ptr<const NearestColourSearch> SharedNearestColourSearch(const PALETTEENTRY* entries,
                                                                     UINT entryCount);

} // namespace orvel::platform::detail
