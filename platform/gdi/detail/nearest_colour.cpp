#include "nearest_colour.h"

#include "../../detail/cpu_features.h"
#include "halftone_cells.h"
#include "halftone_palette.h"
#include "nearest_colour_sse41.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <list>
#include <unordered_set>

static_assert(std::endian::native == std::endian::little,
              "cells are filled a half at a time, as little-endian words");

namespace orvel::platform::detail {
namespace {

constexpr std::int32_t Square(std::int32_t value) noexcept {
    return value * value;
}

std::uint32_t PackColour(const PALETTEENTRY& entry) noexcept {
    return entry.peRed | (entry.peGreen << 8U) | (entry.peBlue << 16U);
}

// distance << 8 | index: the smallest key is the nearest entry, the lowest index among equals.
std::uint32_t Key(const std::uint32_t* colours, std::uint32_t index, COLORREF colour) noexcept {
    const std::uint32_t entry = colours[index];
    const std::int32_t distance = Square(static_cast<std::int32_t>(entry & 0xFFU) -
                                         static_cast<std::int32_t>(colour & 0xFFU)) +
                                  Square(static_cast<std::int32_t>((entry >> 8U) & 0xFFU) -
                                         static_cast<std::int32_t>((colour >> 8U) & 0xFFU)) +
                                  Square(static_cast<std::int32_t>((entry >> 16U) & 0xFFU) -
                                         static_cast<std::int32_t>((colour >> 16U) & 0xFFU));
    return (static_cast<std::uint32_t>(distance) << 8U) | index;
}

using CellKernel = UINT (*)(const NearestCell& cell, COLORREF colour) noexcept;

#if defined(__x86_64__)
__attribute__((target("sse4.1"))) UINT NearestOfCellSse41Call(const NearestCell& cell,
                                                              COLORREF colour) noexcept {
    return NearestOfCellSse41(cell, colour);
}
#endif

UINT NearestOfCellPortableCall(const NearestCell& cell, COLORREF colour) noexcept {
    return NearestOfCellPortable(cell, colour);
}

// The kernel of Find, for the drawing paths; GetNearestPaletteIndex chooses its own when the
// platform loads.
const CellKernel kNearestOfCell = []() noexcept {
#if defined(__x86_64__)
    if (CpuHasSse41()) {
        return static_cast<CellKernel>(NearestOfCellSse41Call);
    }
#endif
    return static_cast<CellKernel>(NearestOfCellPortableCall);
}();

} // namespace

NearestColourSearch::NearestColourSearch(const PALETTEENTRY* entries, UINT entryCount) {
    std::unordered_set<std::uint32_t> seen;
    distinct_.reserve(entryCount);
    for (UINT i = 0; i < entryCount; ++i) {
        const PALETTEENTRY& entry = entries[i];
        if (seen.insert(PackColour(entry)).second) {
            distinct_.push_back({entry.peRed, entry.peGreen, entry.peBlue, i});
        }
    }
    entryCount_ = std::min(entryCount, kMaxCellPaletteEntries);
    for (UINT i = 0; i < entryCount_; ++i) {
        colours_[i] = PackColour(entries[i]);
    }
    cellsPossible_ = !distinct_.empty() && entryCount <= kMaxCellPaletteEntries;
    if (cellsPossible_ && distinct_.size() <= kOneListEntries) {
        try {
            TakeOneList();
        } catch (const std::bad_alloc&) {
            // Without memory for the cells the scan still gives the exact answer.
            cellsPossible_ = false;
        }
    }
}

NearestColourSearch::NearestColourSearch(const PALETTEENTRY* entries, UINT entryCount,
                                         const CellCandidates& candidates)
    : NearestColourSearch(entries, entryCount) {
    if (cellsPossible_ && cells_.load(std::memory_order_relaxed) == nullptr) {
        TakeCells(candidates);
    }
}

void NearestColourSearch::TakeCells(const CellCandidates& candidates) const {
    // Each candidate's two byte pairs, ready to be placed in a cell's halves.
    std::uint16_t redGreen[kMaxCellPaletteEntries] = {};
    std::uint16_t blueIndex[kMaxCellPaletteEntries] = {};
    for (UINT index = 0; index < entryCount_; ++index) {
        redGreen[index] = static_cast<std::uint16_t>(colours_[index] & 0xFFFFU);
        blueIndex[index] =
            static_cast<std::uint16_t>(((colours_[index] >> 16U) & 0xFFU) | (index << 8U));
    }
    auto cells = std::make_unique_for_overwrite<NearestCell[]>(kCellCount);
    // Neighbouring cells mostly have the same candidates: such a cell is a copy.
    std::uint32_t previousWord = 0;
    NearestCell previous{};
    for (unsigned number = 0; number < kCellCount; ++number) {
        const std::uint32_t word = candidates.words[number];
        NearestCell& cell = cells[number];
        if (number != 0 && word == previousWord) {
            cell = previous;
            continue;
        }
        if (IsOverflowWord(word)) {
            const std::uint32_t list = word >> 16U;
            cell = {{static_cast<std::uint8_t>(list), static_cast<std::uint8_t>(list >> 8U)},
                    {0, 1, 0, 0}};
        } else {
            std::uint64_t redGreenHalf = 0;
            std::uint64_t blueIndexHalf = 0;
            for (unsigned slot = 0; slot < kCellSlots; ++slot) {
                const std::uint32_t index = (word >> (8U * slot)) & 0xFFU;
                redGreenHalf |= std::uint64_t{redGreen[index]} << (16U * slot);
                blueIndexHalf |= std::uint64_t{blueIndex[index]} << (16U * slot);
            }
            // Little-endian: byte 2 x slot of a half is the low byte of its pair.
            std::memcpy(cell.redGreen, &redGreenHalf, sizeof redGreenHalf);
            std::memcpy(cell.blueIndex, &blueIndexHalf, sizeof blueIndexHalf);
        }
        previousWord = word;
        previous = cell;
    }
    overflowStart_ = candidates.overflowStart;
    overflowIndexes_ = candidates.overflowIndexes;
    cellStorage_ = std::move(cells);
    cells_.store(cellStorage_.get(), std::memory_order_release);
}

void NearestColourSearch::TakeOneList() const {
    // Every cell lists every distinct colour, lowest index first, the last repeated.
    std::uint32_t word = 0;
    for (unsigned slot = 0; slot < kCellSlots; ++slot) {
        word |= distinct_[std::min<std::size_t>(slot, distinct_.size() - 1)].index << (8U * slot);
    }
    CellCandidates candidates;
    candidates.words.assign(kCellCount, word);
    candidates.overflowStart.push_back(0);
    TakeCells(candidates);
}

UINT NearestColourSearch::Find(BYTE red, BYTE green, BYTE blue) const noexcept {
    const COLORREF colour = RGB(red, green, blue);
    const NearestCell* cell = CellFor(colour);
    return cell != nullptr ? kNearestOfCell(*cell, colour) : FindWithoutCell(colour);
}

UINT NearestColourSearch::FindByScan(BYTE red, BYTE green, BYTE blue) const noexcept {
    std::int32_t bestDistance = INT32_MAX;
    UINT bestIndex = 0;
    for (const Entry& entry : distinct_) {
        const std::int32_t distance =
            Square(entry.red - red) + Square(entry.green - green) + Square(entry.blue - blue);
        if (distance < bestDistance) {
            bestDistance = distance;
            bestIndex = entry.index;
        }
    }
    return bestIndex;
}

UINT NearestColourSearch::FindWithoutCell(COLORREF colour) const noexcept {
    if (const NearestCell* cells = cells_.load(std::memory_order_acquire); cells != nullptr) {
        // The caller may have looked before another thread published the cells: then the
        // colour's cell can be an ordinary one, which has no overflow list.
        const NearestCell& cell = cells[CellOf(colour)];
        if (HasOverflowList(cell)) {
            return FindInOverflow(cell, colour);
        }
        return Find(GetRValue(colour), GetGValue(colour), GetBValue(colour));
    }
    if (CellsReady()) {
        return Find(GetRValue(colour), GetGValue(colour), GetBValue(colour));
    }
    return FindByScan(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

bool NearestColourSearch::CellsReady() const noexcept {
    if (!cellsPossible_) {
        return false;
    }
    // The count is advanced with a plain load and store, not an atomic increment: a lost update
    // between threads only delays the build, and the scan path stays free of locked instructions.
    const std::uint32_t queries = queries_.load(std::memory_order_relaxed);
    if (queries < kScanQueriesBeforeCells) {
        queries_.store(queries + 1, std::memory_order_relaxed);
        return false;
    }
    try {
        BuildCells();
    } catch (const std::bad_alloc&) {
        // Without memory for the cells the scan still gives the exact answer; the count stays
        // where it is, so the next query tries again.
        return false;
    }
    return true;
}

void NearestColourSearch::BuildCells() const {
    std::lock_guard<std::mutex> guard(buildMutex_);
    if (cells_.load(std::memory_order_relaxed) != nullptr) {
        return;
    }
    std::vector<PALETTEENTRY> entries(entryCount_);
    for (UINT i = 0; i < entryCount_; ++i) {
        entries[i] = {static_cast<BYTE>(colours_[i]), static_cast<BYTE>(colours_[i] >> 8U),
                      static_cast<BYTE>(colours_[i] >> 16U), 0};
    }
    TakeCells(BuildCellCandidates(entries.data(), entryCount_));
}

UINT NearestColourSearch::FindInOverflow(const NearestCell& cell, COLORREF colour) const noexcept {
    const std::uint32_t list = cell.redGreen[0] | (cell.redGreen[1] << 8U);
    std::uint32_t best = UINT32_MAX;
    for (std::uint32_t i = overflowStart_[list]; i < overflowStart_[list + 1]; ++i) {
        best = std::min(best, Key(colours_, overflowIndexes_[i], colour));
    }
    return best & 0xFFU;
}

std::shared_ptr<const NearestColourSearch> SharedNearestColourSearch(const PALETTEENTRY* entries,
                                                                     UINT entryCount) {
    std::vector<std::uint32_t> colours(entryCount);
    for (UINT i = 0; i < entryCount; ++i) {
        colours[i] = PackColour(entries[i]);
    }
    // The halftone palette's search is made once, with the cells computed when the platform was
    // built, and lives as long as the process.
    if (entryCount == kHalftoneEntryCount &&
        std::equal(colours.begin(), colours.end(), kHalftoneEntries.begin(),
                   [](std::uint32_t colour, const PALETTEENTRY& entry) {
                       return colour == PackColour(entry);
                   })) {
        static const auto* halftone = new std::shared_ptr<const NearestColourSearch>(
            std::make_shared<const NearestColourSearch>(kHalftoneEntries.data(),
                                                        static_cast<UINT>(kHalftoneEntryCount),
                                                        HalftoneCellCandidates()));
        return *halftone;
    }

    // A handful of recently used searches stay alive even when no palette holds them: the
    // library makes a fresh palette for every conversion, and its search is the same.
    constexpr std::size_t kKeptSearches = 4;
    struct Kept {
        std::vector<std::uint32_t> colours;
        std::shared_ptr<const NearestColourSearch> search;
    };
    static auto* mutex = new std::mutex;
    static auto* kept = new std::list<Kept>;
    std::lock_guard<std::mutex> guard(*mutex);
    for (auto it = kept->begin(); it != kept->end(); ++it) {
        if (it->colours == colours) {
            kept->splice(kept->begin(), *kept, it);
            return kept->front().search;
        }
    }
    auto search = std::make_shared<const NearestColourSearch>(entries, entryCount);
    kept->push_front({std::move(colours), search});
    if (kept->size() > kKeptSearches) {
        kept->pop_back();
    }
    return search;
}

} // namespace orvel::platform::detail
