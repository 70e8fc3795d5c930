// The exact nearest-colour search behind GetNearestPaletteIndex.
//
// "Nearest" is the smallest squared Euclidean distance in RGB, and among equally near entries the
// lowest index: exactly what a plain scan of the palette in index order with a strict comparison
// returns, for every colour.
//
// Colour conversion asks once per pixel, so the search is accelerated: RGB space is cut into
// 32 x 32 x 32 cells of 8 x 8 x 8 colours, and each cell lists the only entries that can be the
// answer for some colour inside it. Almost every cell has at most four, so a cell is one 32-bit
// word of four entry indexes, and a query computes four distances without a branch: the answer is
// the smallest (distance << 8 | index), which orders by distance and then by index. The few cells
// with more candidates keep them in an overflow list. The lists are built in two levels (coarse
// cells of 32 x 32 x 32 colours first, each fine cell then filtered from its coarse cell's list).
// Building costs some milliseconds, so a palette answers its first queries by the plain scan and
// builds the cells only once it proves busy.
#pragma once

#include "../../win/palette_structs.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace orvel::platform::detail {

class NearestColourSearch {
public:
    NearestColourSearch(const PALETTEENTRY* entries, UINT entryCount);
    NearestColourSearch(const NearestColourSearch&) = delete;
    NearestColourSearch& operator=(const NearestColourSearch&) = delete;

    /// Index of the entry nearest to (red, green, blue); 0 for a palette without entries.
    /// Inline: once the cells are built a query is one table read and four distances.
    UINT Find(BYTE red, BYTE green, BYTE blue) const noexcept {
        if (!cellsBuilt_.load(std::memory_order_acquire)) [[unlikely]] {
            return FindBeforeCells(red, green, blue);
        }
        const std::uint32_t cell = cells_[((red >> kFineShift) << 10U) |
                                          ((green >> kFineShift) << 5U) | (blue >> kFineShift)];
        if ((cell & 0xFFU) > ((cell >> 8U) & 0xFFU)) [[unlikely]] {
            return FindInOverflow(cell >> 16U, red, green, blue);
        }
        return kSmallestKeyOfCell(colours_, cell, red, green, blue);
    }

    /// The same answer by a plain scan of every entry.
    UINT FindByScan(BYTE red, BYTE green, BYTE blue) const noexcept;

private:
    struct Entry {
        std::int32_t red;
        std::int32_t green;
        std::int32_t blue;
        std::uint32_t index;
    };

    static constexpr unsigned kFineShift = 3; // fine cells: 8 colour values a side
    static constexpr unsigned kFinePerSide = 256 >> kFineShift;
    static constexpr unsigned kFineCells = kFinePerSide * kFinePerSide * kFinePerSide;
    static constexpr unsigned kCoarseShift = 5; // coarse cells: 32 colour values a side
    static constexpr unsigned kCoarsePerSide = 256 >> kCoarseShift;
    // Palettes this small are scanned: a scan is as fast as a cell lookup.
    static constexpr std::size_t kScanOnlyEntries = 12;
    // Cells hold 8-bit indexes; larger palettes are always scanned.
    static constexpr unsigned kSlotsPerCell = 4;
    static constexpr std::size_t kMaxCellEntries = 256;
    // Queries answered by the scan before the cells are built: about the cost of building them.
    static constexpr std::uint32_t kScanQueriesBeforeCells = 16384;

    // The path of a palette whose cells are not built: counts the query, builds the cells once
    // the palette is busy, and otherwise scans. Kept out of line so Find stays small.
    [[gnu::noinline]] UINT FindBeforeCells(BYTE red, BYTE green, BYTE blue) const noexcept;
    bool CellsReady() const noexcept;
    void BuildCells() const;
    static std::vector<Entry> CellCandidates(const std::vector<Entry>& entries, int redLow,
                                             int greenLow, int blueLow, int side);

    // The palette with later duplicates of a colour removed: only the first of equal colours can
    // ever be the answer.
    std::vector<Entry> distinct_;
    mutable std::atomic<bool> cellsPossible_{false};

    mutable std::atomic<std::uint32_t> queries_{0};
    mutable std::atomic<bool> cellsBuilt_{false};
    mutable std::mutex buildMutex_;

    // The nearest of a cell's four candidates; the SSE4.1 form where the processor has it.
    using CellKernel = UINT (*)(const std::uint32_t* colours, std::uint32_t cell, BYTE red,
                                BYTE green, BYTE blue) noexcept;
    static const CellKernel kSmallestKeyOfCell;

    UINT FindInOverflow(std::uint32_t overflowSlot, BYTE red, BYTE green, BYTE blue) const noexcept;

    // Entry colours by palette index, packed red | green << 8 | blue << 16.
    std::uint32_t colours_[kMaxCellEntries] = {};
    // One word per cell: four candidate indexes in non-decreasing order (a shorter list repeats
    // its last index). A cell whose low byte is above its second byte overflows instead: its top
    // 16 bits number its list in overflowStart_ / overflowIndexes_.
    mutable std::vector<std::uint32_t> cells_;
    mutable std::vector<std::uint32_t> overflowStart_;
    mutable std::vector<std::uint8_t> overflowIndexes_;
};

/// The search for a palette's entries, shared by every palette with the same colours in the same
/// order, so that the cells built for one (the halftone palette above all) serve the next.
std::shared_ptr<const NearestColourSearch> SharedNearestColourSearch(const PALETTEENTRY* entries,
                                                                     UINT entryCount);

} // namespace orvel::platform::detail
