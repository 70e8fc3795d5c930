// The entries of the platform's halftone palette, shared by CreateHalftonePalette and by the
// build step that computes the palette's nearest-colour cells ahead of time.
#pragma once

#include "../../win/palette_structs.h"

#include <array>
#include <cstddef>

namespace orvel::platform::detail {

inline constexpr std::size_t kHalftoneEntryCount = 256;

/// The 6 x 6 x 6 cube of the levels 0, 51, ..., 255 (entry = 36 x red + 6 x green + blue level),
/// then the 40 greys 255 x k / 45 (k = 1 .. 44, rounded) that are not cube greys, increasing.
constexpr std::array<PALETTEENTRY, kHalftoneEntryCount> MakeHalftoneEntries() noexcept {
    std::array<PALETTEENTRY, kHalftoneEntryCount> table{};
    std::size_t next = 0;
    for (int red = 0; red < 6; ++red) {
        for (int green = 0; green < 6; ++green) {
            for (int blue = 0; blue < 6; ++blue) {
                table[next++] = {static_cast<BYTE>(red * 51), static_cast<BYTE>(green * 51),
                                 static_cast<BYTE>(blue * 51), 0};
            }
        }
    }
    for (int step = 1; step < 45; ++step) {
        if (step % 9 != 0) {
            const auto grey = static_cast<BYTE>((255 * step + 22) / 45);
            table[next++] = {grey, grey, grey, 0};
        }
    }
    return table;
}

inline constexpr std::array<PALETTEENTRY, kHalftoneEntryCount> kHalftoneEntries =
    MakeHalftoneEntries();

} // namespace orvel::platform::detail
