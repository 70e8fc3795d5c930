// Nearest colours on the palettes a conversion is handed most, by arithmetic instead of a search.
//
// Each mapping gives exactly what the platform's nearest-colour search gives — smallest squared
// RGB distance, lowest index among equally near entries — because each palette is made of a few
// pieces whose own nearest entry follows from the colour directly:
// - black and white: white is nearer exactly when r + g + b > 382.5, so no colour is a tie;
// - the sixteen colours: the cube of the levels 0 and 128, the cube of 0 and 255, and silver;
//   each cube's nearest entry is its nearest level per channel, and the answer is the best of the
//   three candidates;
// - the halftone palette: the 6 x 6 x 6 cube (its nearest entry is the nearest level per channel)
//   and greys, the nearest of which depends only on r + g + b; the answer is the better of the two.
#pragma once

#include "../../platform/win/palette_structs.h"
#include "../../platform/win/types.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvel::convert::detail {

/// The palettes mapped by arithmetic, or None for any other.
enum class FixedPalette { None, TwoColour, SixteenColour, Halftone };

/// distance << 8 | index: the smaller key is the nearer entry, the lower index among equals.
constexpr std::uint32_t NearestKey(std::uint32_t distance, std::uint32_t index) noexcept {
    return distance << 8U | index;
}

/// Black (0) or white (1).
struct TwoColourMapping {
    static unsigned Index(unsigned red, unsigned green, unsigned blue) noexcept {
        return red + green + blue >= 383 ? 1U : 0U;
    }
};

/// The sixteen colours in the library's order: 0 black, 1 to 7 the cube of 0 and 128, 8 silver,
/// 9 to 15 the cube of 0 and 255.
///
/// Per channel value, a table holds that channel's share of a candidate's key: its squared
/// distance to the nearest level in the key's distance bits, and for the cubes the corner's bit
/// (red 4, green 2, blue 1) in its index bits. Three lookups and two additions give a cube's
/// nearest corner with its distance; the corner becomes the entry's index by one more lookup.
class SixteenColourMapping {
public:
    SixteenColourMapping() noexcept;

    unsigned Index(unsigned red, unsigned green, unsigned blue) const noexcept {
        const std::uint32_t dark = darkRed_[red] + darkGreen_[green] + darkBlue_[blue];
        const std::uint32_t bright = brightRed_[red] + brightGreen_[green] + brightBlue_[blue];
        const std::uint32_t darkKey = (dark & ~0xFFU) | kDarkIndex[dark & 7U];
        const std::uint32_t brightKey = (bright & ~0xFFU) | kBrightIndex[bright & 7U];
        const std::uint32_t silverKey = silver_[red] + silver_[green] + silver_[blue] + 8U;
        std::uint32_t best = darkKey < brightKey ? darkKey : brightKey;
        best = silverKey < best ? silverKey : best;
        return best & 0xFFU;
    }

private:
    // Entry of each cube corner, by red << 2 | green << 1 | blue.
    static constexpr std::uint8_t kDarkIndex[8] = {0, 1, 2, 4, 3, 5, 6, 7};
    static constexpr std::uint8_t kBrightIndex[8] = {0, 9, 10, 12, 11, 13, 14, 15};
    std::uint32_t darkRed_[256];
    std::uint32_t darkGreen_[256];
    std::uint32_t darkBlue_[256];
    std::uint32_t brightRed_[256];
    std::uint32_t brightGreen_[256];
    std::uint32_t brightBlue_[256];
    std::uint32_t silver_[256];
};

/// A palette whose first 216 entries are the 6 x 6 x 6 cube of the levels 0, 51, ..., 255
/// (entry = 36 x red + 6 x green + blue level) and whose other entries, up to 256, are greys.
///
/// The cube's key is the sum of three per-channel shares (squared distance to the nearest level,
/// and the level's part of the entry number, which never carries into the distance). A grey q's
/// squared distance is r^2 + g^2 + b^2 + (3q^2 - 2qs) with s = r + g + b, so the nearest grey's
/// key is three squares plus one entry of a table by s.
class HalftoneMapping {
public:
    /// The mapping for these entries, which must have the shape above (IsHalftoneShape).
    HalftoneMapping(const PALETTEENTRY* entries, unsigned entryCount) noexcept;

    static bool IsHalftoneShape(const PALETTEENTRY* entries, unsigned entryCount) noexcept;

    unsigned Index(unsigned red, unsigned green, unsigned blue) const noexcept {
        const std::uint32_t cubeKey = cubeRed_[red] + cubeGreen_[green] + cubeBlue_[blue];
        // The sum is never negative: r^2 + g^2 + b^2 >= s^2 / 3 >= 2qs - 3q^2.
        const auto greyKey = static_cast<std::uint32_t>(
            squares_[red] + squares_[green] + squares_[blue] + nearestGrey_[red + green + blue]);
        return (cubeKey < greyKey ? cubeKey : greyKey) & 0xFFU;
    }

    /// Maps the first pixels of a run of `count` pixels of `pixelBytes` (3 or 4) bytes each, blue,
    /// green, red first, to one index byte each, eight at a time where the processor has AVX2.
    /// Returns how many it mapped: a multiple of eight, 0 without AVX2. Nothing beyond the
    /// `count` pixels is read or written.
    std::size_t MapEightAtATime(const BYTE* source, std::size_t pixelBytes, BYTE* target,
                                std::size_t count) const noexcept;

private:
    static constexpr unsigned kSumCount = 3 * 255 + 1;

    std::size_t MapEightAtATimeAvx2(const BYTE* source, std::size_t pixelBytes, BYTE* target,
                                    std::size_t count) const noexcept;

    std::uint32_t cubeRed_[256];
    std::uint32_t cubeGreen_[256];
    std::uint32_t cubeBlue_[256];
    // v^2 in the distance bits.
    std::int32_t squares_[256];
    // Per r + g + b, of the nearest grey of the palette (cube greys included, the lowest index
    // among equally near ones): (3q^2 - 2qs) in the distance bits, its index in the low byte.
    std::array<std::int32_t, kSumCount> nearestGrey_;
};

/// Which fixed palette these entries are, colour for colour; None for any other.
FixedPalette RecogniseFixedPalette(const PALETTEENTRY* entries, unsigned entryCount) noexcept;

} // namespace orvel::convert::detail
