// A sample picture of the tool's own, for the demo and for trying the tool without files.
#pragma once

#include <cstdint>
#include <vector>

namespace orvel::cli {

/// A 24-bit test card as the bytes of a BMP file: colour bars, smooth red, green, blue and grey
/// ramps, one-pixel lines and checks, a circle, a diagonal and lettering, inside a one-pixel
/// white border. Each feature shows a different fault at a glance: swapped channels in the bars,
/// banding in the ramps, resampling in the fine lines, flipped rows in the lettering, clipping
/// at the border. Width and height must be at least 64 and 48.
std::vector<std::uint8_t> MakeTestCard(int width, int height);

} // namespace orvel::cli
