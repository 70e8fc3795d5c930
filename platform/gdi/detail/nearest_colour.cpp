#include "nearest_colour.h"

#include <algorithm>
#include <list>

#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <unordered_set>

namespace orvel::platform::detail {
namespace {

constexpr std::int32_t Square(std::int32_t value) noexcept {
    return value * value;
}

// Squared distance from a value to the interval [low, high] of one channel.
constexpr std::int32_t SquaredGap(std::int32_t value, std::int32_t low,
                                  std::int32_t high) noexcept {
    return value < low ? Square(low - value) : (value > high ? Square(value - high) : 0);
}

// Squared distance from a value to the farther end of [low, high].
constexpr std::int32_t SquaredReach(std::int32_t value, std::int32_t low,
                                    std::int32_t high) noexcept {
    return std::max(Square(value - low), Square(value - high));
}

} // namespace

NearestColourSearch::NearestColourSearch(const PALETTEENTRY* entries, UINT entryCount) {
    std::unordered_set<std::uint32_t> seen;
    distinct_.reserve(entryCount);
    for (UINT i = 0; i < entryCount; ++i) {
        const PALETTEENTRY& entry = entries[i];
        const std::uint32_t key = entry.peRed | (entry.peGreen << 8U) | (entry.peBlue << 16U);
        if (seen.insert(key).second) {
            distinct_.push_back({entry.peRed, entry.peGreen, entry.peBlue, i});
        }
    }
    cellsPossible_.store(distinct_.size() > kScanOnlyEntries && entryCount <= kMaxCellEntries);
    for (UINT i = 0; i < entryCount && i < kMaxCellEntries; ++i) {
        colours_[i] = entries[i].peRed | (entries[i].peGreen << 8U) | (entries[i].peBlue << 16U);
    }
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

UINT NearestColourSearch::FindBeforeCells(BYTE red, BYTE green, BYTE blue) const noexcept {
    if (CellsReady()) {
        return Find(red, green, blue);
    }
    return FindByScan(red, green, blue);
}

bool NearestColourSearch::CellsReady() const noexcept {
    if (!cellsPossible_.load(std::memory_order_relaxed)) {
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
        // Without memory for the cells the scan still gives the exact answer.
        cellsPossible_.store(false, std::memory_order_relaxed);
        return false;
    }
    return true;
}

namespace {
// distance << 8 | index: the smallest key is the nearest entry, the lowest index among equals.
inline std::uint32_t Key(const std::uint32_t* colours, std::uint32_t index, std::int32_t red,
                         std::int32_t green, std::int32_t blue) noexcept {
    const std::uint32_t colour = colours[index];
    const std::int32_t distance =
        Square(static_cast<std::int32_t>(colour & 0xFFU) - red) +
        Square(static_cast<std::int32_t>((colour >> 8U) & 0xFFU) - green) +
        Square(static_cast<std::int32_t>(colour >> 16U) - blue);
    return (static_cast<std::uint32_t>(distance) << 8U) | index;
}

#if defined(__x86_64__)
// The four keys of a cell in one pass of SSE4.1: the candidates' channels widened to 16-bit
// lanes, differences squared and summed by pmaddwd, keys formed and the smallest taken.
__attribute__((target("sse4.1"))) UINT SmallestKeyOfCell(const std::uint32_t* colours,
                                                         std::uint32_t cell, BYTE red, BYTE green,
                                                         BYTE blue) noexcept {
    const __m128i candidates = _mm_setr_epi32(
        static_cast<int>(colours[cell & 0xFFU]), static_cast<int>(colours[(cell >> 8U) & 0xFFU]),
        static_cast<int>(colours[(cell >> 16U) & 0xFFU]), static_cast<int>(colours[cell >> 24U]));
    const __m128i zero = _mm_setzero_si128();
    const __m128i query = _mm_setr_epi16(red, green, blue, 0, red, green, blue, 0);
    const __m128i lowDiff = _mm_sub_epi16(_mm_unpacklo_epi8(candidates, zero), query);
    const __m128i highDiff = _mm_sub_epi16(_mm_unpackhi_epi8(candidates, zero), query);
    const __m128i distances =
        _mm_hadd_epi32(_mm_madd_epi16(lowDiff, lowDiff), _mm_madd_epi16(highDiff, highDiff));
    const __m128i indexes = _mm_cvtepu8_epi32(_mm_cvtsi32_si128(static_cast<int>(cell)));
    __m128i keys = _mm_or_si128(_mm_slli_epi32(distances, 8), indexes);
    keys = _mm_min_epu32(keys, _mm_shuffle_epi32(keys, _MM_SHUFFLE(1, 0, 3, 2)));
    keys = _mm_min_epu32(keys, _mm_shuffle_epi32(keys, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<UINT>(_mm_cvtsi128_si32(keys)) & 0xFFU;
}

#endif

// The same four keys, one by one, for processors without SSE4.1.
UINT SmallestKeyOfCellScalar(const std::uint32_t* colours, std::uint32_t cell, BYTE red, BYTE green,
                             BYTE blue) noexcept {
    const std::uint32_t a = Key(colours, cell & 0xFFU, red, green, blue);
    const std::uint32_t b = Key(colours, (cell >> 8U) & 0xFFU, red, green, blue);
    const std::uint32_t c = Key(colours, (cell >> 16U) & 0xFFU, red, green, blue);
    const std::uint32_t d = Key(colours, cell >> 24U, red, green, blue);
    return std::min(std::min(a, b), std::min(c, d)) & 0xFFU;
}

} // namespace

const NearestColourSearch::CellKernel NearestColourSearch::kSmallestKeyOfCell = [] {
#if defined(__x86_64__)
    // Chosen while the library loads, before the processor's features are necessarily known to
    // the runtime: ask for them first.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("sse4.1") != 0) {
        return static_cast<CellKernel>(SmallestKeyOfCell);
    }
#endif
    return static_cast<CellKernel>(SmallestKeyOfCellScalar);
}();

UINT NearestColourSearch::FindInOverflow(std::uint32_t overflowSlot, BYTE red, BYTE green,
                                         BYTE blue) const noexcept {
    std::uint32_t best = UINT32_MAX;
    for (std::uint32_t i = overflowStart_[overflowSlot]; i < overflowStart_[overflowSlot + 1];
         ++i) {
        best = std::min(best, Key(colours_, overflowIndexes_[i], red, green, blue));
    }
    return best & 0xFFU;
}

std::vector<NearestColourSearch::Entry>
NearestColourSearch::CellCandidates(const std::vector<Entry>& entries, int redLow, int greenLow,
                                    int blueLow, int side) {
    const std::int32_t redHigh = redLow + side - 1;
    const std::int32_t greenHigh = greenLow + side - 1;
    const std::int32_t blueHigh = blueLow + side - 1;
    auto reachOf = [&](const Entry& entry) {
        return SquaredReach(entry.red, redLow, redHigh) +
               SquaredReach(entry.green, greenLow, greenHigh) +
               SquaredReach(entry.blue, blueLow, blueHigh);
    };

    // Every colour of the cell is at most `bound` away from the entry whose farthest corner is
    // nearest; an entry whose nearest point of the cell is farther than that can never win.
    std::int32_t bound = INT32_MAX;
    for (const Entry& entry : entries) {
        bound = std::min(bound, reachOf(entry));
    }
    std::vector<Entry> survivors;
    for (const Entry& entry : entries) {
        const std::int32_t gap = SquaredGap(entry.red, redLow, redHigh) +
                                 SquaredGap(entry.green, greenLow, greenHigh) +
                                 SquaredGap(entry.blue, blueLow, blueHigh);
        if (gap <= bound) {
            survivors.push_back(entry);
        }
    }

    // Pairwise pruning: `strong` beats `weak` over the whole cell when, at every colour p of the
    // cell, strong is nearer, or equally near with a lower index. The difference of the squared
    // distances is linear in p, so its largest value over the cell is taken at one corner. An
    // entry beaten everywhere is never the answer, whatever else is removed.
    auto beatsEverywhere = [&](const Entry& strong, const Entry& weak) {
        const std::int32_t pr = strong.red > weak.red ? redLow : redHigh;
        const std::int32_t pg = strong.green > weak.green ? greenLow : greenHigh;
        const std::int32_t pb = strong.blue > weak.blue ? blueLow : blueHigh;
        const std::int32_t worst = Square(strong.red - pr) + Square(strong.green - pg) +
                                   Square(strong.blue - pb) - Square(weak.red - pr) -
                                   Square(weak.green - pg) - Square(weak.blue - pb);
        return worst < 0 || (worst == 0 && strong.index < weak.index);
    };
    std::vector<Entry> strongest = survivors;
    const std::size_t strongCount = std::min<std::size_t>(strongest.size(), 8);
    std::partial_sort(strongest.begin(),
                      strongest.begin() + static_cast<std::ptrdiff_t>(strongCount), strongest.end(),
                      [&](const Entry& a, const Entry& b) { return reachOf(a) < reachOf(b); });
    std::vector<Entry> kept;
    kept.reserve(survivors.size());
    for (const Entry& weak : survivors) {
        bool beaten = false;
        for (std::size_t s = 0; s < strongCount && !beaten; ++s) {
            beaten = strongest[s].index != weak.index && beatsEverywhere(strongest[s], weak);
        }
        if (!beaten) {
            kept.push_back(weak);
        }
    }
    // Scanning in index order with a strict comparison gives the lowest index among equals.
    std::sort(kept.begin(), kept.end(),
              [](const Entry& a, const Entry& b) { return a.index < b.index; });
    return kept;
}

void NearestColourSearch::BuildCells() const {
    std::lock_guard<std::mutex> guard(buildMutex_);
    if (cellsBuilt_.load(std::memory_order_relaxed)) {
        return;
    }
    constexpr int kCoarseSide = 1 << kCoarseShift;
    constexpr int kFineSide = 1 << kFineShift;
    std::vector<std::vector<Entry>> coarse(kCoarsePerSide * kCoarsePerSide * kCoarsePerSide);
    for (unsigned r = 0; r < kCoarsePerSide; ++r) {
        for (unsigned g = 0; g < kCoarsePerSide; ++g) {
            for (unsigned b = 0; b < kCoarsePerSide; ++b) {
                coarse[(r * kCoarsePerSide + g) * kCoarsePerSide + b] = CellCandidates(
                    distinct_, static_cast<int>(r) * kCoarseSide, static_cast<int>(g) * kCoarseSide,
                    static_cast<int>(b) * kCoarseSide, kCoarseSide);
            }
        }
    }
    std::vector<std::uint32_t> cells(kFineCells);
    std::vector<std::uint32_t> overflowStart{0};
    std::vector<std::uint8_t> overflowIndexes;
    constexpr unsigned kFinePerCoarse = kFinePerSide / kCoarsePerSide;
    for (unsigned cell = 0; cell < kFineCells; ++cell) {
        const unsigned r = cell >> 10U;
        const unsigned g = (cell >> 5U) & 31U;
        const unsigned b = cell & 31U;
        const std::vector<Entry>& parent =
            coarse[((r / kFinePerCoarse) * kCoarsePerSide + g / kFinePerCoarse) * kCoarsePerSide +
                   b / kFinePerCoarse];
        const std::vector<Entry> candidates =
            CellCandidates(parent, static_cast<int>(r) * kFineSide, static_cast<int>(g) * kFineSide,
                           static_cast<int>(b) * kFineSide, kFineSide);
        if (candidates.size() <= kSlotsPerCell) {
            std::uint32_t word = 0;
            for (unsigned slot = 0; slot < kSlotsPerCell; ++slot) {
                const std::uint32_t index =
                    candidates[std::min<std::size_t>(slot, candidates.size() - 1)].index;
                word |= index << (8U * slot);
            }
            cells[cell] = word;
        } else {
            // Marker: a low byte above the second byte, which a sorted list never has.
            cells[cell] = 1U | (static_cast<std::uint32_t>(overflowStart.size() - 1) << 16U);
            for (const Entry& entry : candidates) {
                overflowIndexes.push_back(static_cast<std::uint8_t>(entry.index));
            }
            overflowStart.push_back(static_cast<std::uint32_t>(overflowIndexes.size()));
        }
    }
    cells_ = std::move(cells);
    overflowStart_ = std::move(overflowStart);
    overflowIndexes_ = std::move(overflowIndexes);
    cellsBuilt_.store(true, std::memory_order_release);
}

std::shared_ptr<const NearestColourSearch> SharedNearestColourSearch(const PALETTEENTRY* entries,
                                                                     UINT entryCount) {
    // A handful of recently used searches stay alive even when no palette holds them: the
    // library makes a fresh halftone palette for every conversion, and its search is the same.
    constexpr std::size_t kKeptSearches = 4;
    struct Kept {
        std::vector<std::uint32_t> colours;
        std::shared_ptr<const NearestColourSearch> search;
    };
    static auto* mutex = new std::mutex;
    static auto* kept = new std::list<Kept>;

    std::vector<std::uint32_t> colours(entryCount);
    for (UINT i = 0; i < entryCount; ++i) {
        colours[i] = entries[i].peRed | (entries[i].peGreen << 8U) | (entries[i].peBlue << 16U);
    }
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
