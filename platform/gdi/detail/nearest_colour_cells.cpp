#include "nearest_colour_cells.h"

#include <algorithm>
#include <array>
#include <climits>

namespace orvel::platform::detail {
namespace {

struct Entry {
    std::int32_t red;
    std::int32_t green;
    std::int32_t blue;
    std::uint32_t index;
};

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

// A cube of colours: [low, low + side - 1] in each channel.
struct Cube {
    std::int32_t redLow;
    std::int32_t greenLow;
    std::int32_t blueLow;
    std::int32_t side;
};

// The entries that can be nearest to some colour of the cube, in the order of `entries` (index
// order), written to `kept`. `survivors` is scratch space.
void CubeCandidates(const std::vector<Entry>& entries, const Cube& cube,
                    std::vector<Entry>& survivors, std::vector<Entry>& kept) {
    const std::int32_t redHigh = cube.redLow + cube.side - 1;
    const std::int32_t greenHigh = cube.greenLow + cube.side - 1;
    const std::int32_t blueHigh = cube.blueLow + cube.side - 1;
    auto reachOf = [&](const Entry& entry) {
        return SquaredReach(entry.red, cube.redLow, redHigh) +
               SquaredReach(entry.green, cube.greenLow, greenHigh) +
               SquaredReach(entry.blue, cube.blueLow, blueHigh);
    };

    // Every colour of the cube is at most `bound` away from the entry whose farthest corner is
    // nearest; an entry whose nearest point of the cube is farther than that can never win.
    std::int32_t bound = INT32_MAX;
    for (const Entry& entry : entries) {
        bound = std::min(bound, reachOf(entry));
    }
    survivors.clear();
    for (const Entry& entry : entries) {
        const std::int32_t gap = SquaredGap(entry.red, cube.redLow, redHigh) +
                                 SquaredGap(entry.green, cube.greenLow, greenHigh) +
                                 SquaredGap(entry.blue, cube.blueLow, blueHigh);
        if (gap <= bound) {
            survivors.push_back(entry);
        }
    }

    // Pairwise pruning: `strong` beats `weak` over the whole cube when, at every colour p of the
    // cube, strong is nearer, or equally near with a lower index. The difference of the squared
    // distances is linear in p, so its largest value over the cube is taken at one corner. An
    // entry beaten everywhere is never the answer, whatever else is removed. The strongest
    // challengers are the entries whose farthest corner is nearest.
    auto beatsEverywhere = [&](const Entry& strong, const Entry& weak) {
        const std::int32_t pr = strong.red > weak.red ? cube.redLow : redHigh;
        const std::int32_t pg = strong.green > weak.green ? cube.greenLow : greenHigh;
        const std::int32_t pb = strong.blue > weak.blue ? cube.blueLow : blueHigh;
        const std::int32_t worst = Square(strong.red - pr) + Square(strong.green - pg) +
                                   Square(strong.blue - pb) - Square(weak.red - pr) -
                                   Square(weak.green - pg) - Square(weak.blue - pb);
        return worst < 0 || (worst == 0 && strong.index < weak.index);
    };
    constexpr std::size_t kChallengers = 8;
    std::array<const Entry*, kChallengers> strongest{};
    std::array<std::int32_t, kChallengers> strongestReach{};
    std::size_t strongCount = 0;
    for (const Entry& entry : survivors) {
        const std::int32_t reach = reachOf(entry);
        // Insertion into the short list, nearest reach first; later entries lose ties, as a
        // stable sort would order them.
        std::size_t at = strongCount;
        while (at > 0 && strongestReach[at - 1] > reach) {
            --at;
        }
        if (at == kChallengers) {
            continue;
        }
        const std::size_t last = std::min(strongCount, kChallengers - 1);
        for (std::size_t move = last; move > at; --move) {
            strongest[move] = strongest[move - 1];
            strongestReach[move] = strongestReach[move - 1];
        }
        strongest[at] = &entry;
        strongestReach[at] = reach;
        strongCount = std::min(strongCount + 1, kChallengers);
    }
    kept.clear();
    for (const Entry& weak : survivors) {
        bool beaten = false;
        for (std::size_t s = 0; s < strongCount && !beaten; ++s) {
            beaten = strongest[s]->index != weak.index && beatsEverywhere(*strongest[s], weak);
        }
        if (!beaten) {
            kept.push_back(weak);
        }
    }
}

} // namespace

CellCandidates BuildCellCandidates(const PALETTEENTRY* entries, UINT entryCount) {
    // Only the first of equal colours can ever be the answer; the rest are left out.
    std::vector<Entry> distinct;
    distinct.reserve(entryCount);
    for (UINT i = 0; i < entryCount && i < kMaxCellPaletteEntries; ++i) {
        const PALETTEENTRY& entry = entries[i];
        const bool repeated = std::any_of(distinct.begin(), distinct.end(), [&](const Entry& e) {
            return e.red == entry.peRed && e.green == entry.peGreen && e.blue == entry.peBlue;
        });
        if (!repeated) {
            distinct.push_back({entry.peRed, entry.peGreen, entry.peBlue, i});
        }
    }

    // Two levels: coarse cubes of 32 values a side from the whole palette, then each cell from
    // its coarse cube's list.
    constexpr std::int32_t kCoarseSide = 32;
    constexpr std::int32_t kCoarsePerSide = 256 / kCoarseSide;
    constexpr std::int32_t kCellSide = 1 << kCellShift;
    constexpr std::int32_t kCellsPerCoarse = kCoarseSide / kCellSide;
    std::vector<Entry> survivors;
    std::vector<Entry> coarse;
    std::vector<Entry> fine;
    CellCandidates cells;
    cells.words.assign(kCellCount, 0);
    cells.overflowStart.push_back(0);
    for (std::int32_t red = 0; red < kCoarsePerSide; ++red) {
        for (std::int32_t green = 0; green < kCoarsePerSide; ++green) {
            for (std::int32_t blue = 0; blue < kCoarsePerSide; ++blue) {
                CubeCandidates(
                    distinct,
                    {red * kCoarseSide, green * kCoarseSide, blue * kCoarseSide, kCoarseSide},
                    survivors, coarse);
                for (std::int32_t r = 0; r < kCellsPerCoarse; ++r) {
                    for (std::int32_t g = 0; g < kCellsPerCoarse; ++g) {
                        for (std::int32_t b = 0; b < kCellsPerCoarse; ++b) {
                            const Cube cell{red * kCoarseSide + r * kCellSide,
                                            green * kCoarseSide + g * kCellSide,
                                            blue * kCoarseSide + b * kCellSide, kCellSide};
                            CubeCandidates(coarse, cell, survivors, fine);
                            const unsigned number =
                                CellOf(static_cast<COLORREF>(cell.redLow) |
                                       static_cast<COLORREF>(cell.greenLow) << 8U |
                                       static_cast<COLORREF>(cell.blueLow) << 16U);
                            if (fine.size() <= kCellSlots) {
                                std::uint32_t word = 0;
                                for (unsigned slot = 0; slot < kCellSlots; ++slot) {
                                    const std::size_t from =
                                        std::min<std::size_t>(slot, fine.size() - 1);
                                    word |= fine[from].index << (8U * slot);
                                }
                                cells.words[number] = word;
                            } else {
                                const auto list =
                                    static_cast<std::uint32_t>(cells.overflowStart.size() - 1);
                                cells.words[number] = kOverflowMarker | list << 16U;
                                for (const Entry& entry : fine) {
                                    cells.overflowIndexes.push_back(
                                        static_cast<std::uint8_t>(entry.index));
                                }
                                cells.overflowStart.push_back(
                                    static_cast<std::uint32_t>(cells.overflowIndexes.size()));
                            }
                        }
                    }
                }
            }
        }
    }
    return cells;
}

} // namespace orvel::platform::detail
