#include "fixed_palette_mapping.h"

#include "../../foundation/CDibSupport.h"

#include <algorithm>

namespace orvel::convert::detail {
namespace {

constexpr unsigned kCubeLevels = 6;
constexpr unsigned kCubeStep = 51;
constexpr unsigned kCubeEntries = kCubeLevels * kCubeLevels * kCubeLevels;
constexpr unsigned kMaxEntries = 256;

struct Grey {
    std::int32_t value;
    std::uint32_t index;
};

constexpr std::uint32_t Square(std::int32_t value) noexcept {
    return static_cast<std::uint32_t>(value * value);
}

bool SameColour(const PALETTEENTRY& a, const PALETTEENTRY& b) noexcept {
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
}

bool SameColours(const PALETTEENTRY* entries, const PALETTEENTRY* fixed, unsigned count) noexcept {
    return std::equal(entries, entries + count, fixed, SameColour);
}

} // namespace

SixteenColourMapping::SixteenColourMapping() noexcept {
    for (std::int32_t value = 0; value < 256; ++value) {
        // A channel exactly halfway (64) between 0 and 128 takes 0: among the equally near dark
        // entries that gives the one with fewest channels set, which has the lowest index.
        const bool dark = value > 64;
        const bool bright = value > 127;
        const std::uint32_t darkShare = NearestKey(Square(value - (dark ? 128 : 0)), 0);
        const std::uint32_t brightShare = NearestKey(Square(value - (bright ? 255 : 0)), 0);
        darkRed_[value] = darkShare | (dark ? 4U : 0U);
        darkGreen_[value] = darkShare | (dark ? 2U : 0U);
        darkBlue_[value] = darkShare | (dark ? 1U : 0U);
        brightRed_[value] = brightShare | (bright ? 4U : 0U);
        brightGreen_[value] = brightShare | (bright ? 2U : 0U);
        brightBlue_[value] = brightShare | (bright ? 1U : 0U);
        silver_[value] = NearestKey(Square(value - 192), 0);
    }
}

bool HalftoneMapping::IsHalftoneShape(const PALETTEENTRY* entries, unsigned entryCount) noexcept {
    if (entryCount < kCubeEntries || entryCount > kMaxEntries) {
        return false;
    }
    for (unsigned index = 0; index < kCubeEntries; ++index) {
        const PALETTEENTRY cube{static_cast<BYTE>(index / 36 * kCubeStep),
                                static_cast<BYTE>(index / 6 % 6 * kCubeStep),
                                static_cast<BYTE>(index % 6 * kCubeStep), 0};
        if (!SameColour(entries[index], cube)) {
            return false;
        }
    }
    return std::all_of(entries + kCubeEntries, entries + entryCount, [](const PALETTEENTRY& e) {
        return e.peRed == e.peGreen && e.peGreen == e.peBlue;
    });
}

HalftoneMapping::HalftoneMapping(const PALETTEENTRY* entries, unsigned entryCount) noexcept {
    for (unsigned value = 0; value < 256; ++value) {
        const unsigned level = (value + kCubeStep / 2) / kCubeStep;
        const std::uint32_t distance = NearestKey(
            Square(static_cast<std::int32_t>(value) - static_cast<std::int32_t>(level * kCubeStep)),
            0);
        cubeRed_[value] = distance | level * 36;
        cubeGreen_[value] = distance | level * 6;
        cubeBlue_[value] = distance | level;
        squares_[value] =
            static_cast<std::int32_t>(NearestKey(Square(static_cast<std::int32_t>(value)), 0));
    }
    // The lowest index of each grey the palette holds, cube greys included; greys by value.
    constexpr std::uint32_t kAbsent = UINT32_MAX;
    std::array<std::uint32_t, 256> greyIndex;
    greyIndex.fill(kAbsent);
    for (unsigned index = entryCount; index-- > 0;) {
        const PALETTEENTRY& e = entries[index];
        if (e.peRed == e.peGreen && e.peGreen == e.peBlue) {
            greyIndex[e.peRed] = index;
        }
    }
    std::array<Grey, 256> greys{};
    unsigned greyCount = 0;
    for (unsigned value = 0; value < 256; ++value) {
        if (greyIndex[value] != kAbsent) {
            greys[greyCount++] = {static_cast<std::int32_t>(value), greyIndex[value]};
        }
    }
    // The nearest grey is the one whose 3q is nearest to s, the lower index when the greys just
    // below and just above are equally near. The cube's black and white are greys, so there is
    // always one below and one above.
    unsigned above = 0;
    for (std::int32_t sum = 0; sum < static_cast<std::int32_t>(kSumCount); ++sum) {
        while (3 * greys[above].value < sum) {
            ++above;
        }
        const Grey high = greys[above];
        const Grey low = above > 0 ? greys[above - 1] : high;
        const std::int32_t highGap = 3 * high.value - sum;
        const std::int32_t lowGap = sum - 3 * low.value;
        const Grey nearest = lowGap < highGap         ? low
                             : highGap < lowGap       ? high
                             : low.index < high.index ? low
                                                      : high;
        nearestGrey_[sum] = (3 * nearest.value * nearest.value - 2 * nearest.value * sum) * 256 +
                            static_cast<std::int32_t>(nearest.index);
    }
}

FixedPalette RecogniseFixedPalette(const PALETTEENTRY* entries, unsigned entryCount) noexcept {
    if (entryCount == 2 && SameColours(entries, kTwoColourPalette, 2)) {
        return FixedPalette::TwoColour;
    }
    if (entryCount == 16 && SameColours(entries, kSixteenColourPalette, 16)) {
        return FixedPalette::SixteenColour;
    }
    return HalftoneMapping::IsHalftoneShape(entries, entryCount) ? FixedPalette::Halftone
                                                                 : FixedPalette::None;
}

} // namespace orvel::convert::detail
