// The nearest-neighbour blitter behind StretchDIBits and DrawDibDraw: picks source pixels for
// the destination rectangle, converts them to the destination's pixel values and combines them
// with the destination by a raster operation.
#pragma once

#include "../../win/bitmap_structs.h"
#include "../../win/types.h"
#include "pixel_colours.h"
#include "raster_ops.h"
#include "surface.h"

#include <cstddef>

namespace orvel::platform::detail {

/// A picture to draw from, seen top-down whatever its row order in memory.
struct SourcePicture {
    const BYTE* topRow = nullptr; ///< the picture's top row
    std::ptrdiff_t rowStep = 0;   ///< bytes from one row to the one below (negative bottom-up)
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    const RGBQUAD* colours = nullptr; ///< indexed pictures: the colour table
    int colourCount = 0;              ///< entries of the table that exist (at most 2^depth)
};

/// A rectangle by corner and extents; a negative extent covers the pixels before the corner.
/// Source rectangles are in the picture's top-down coordinates.
struct BlitRect {
    long long x = 0;
    long long y = 0;
    long long width = 0;
    long long height = 0;
};

/// Draws `source` rectangle `from` into `to` of `target`. Extents must not be 0. False only when
/// the row buffers cannot be allocated (nothing drawn).
bool StretchBlit(Surface& target, const PixelColours& targetColours, const SourcePicture& source,
                 BlitRect to, BlitRect from, RasterOp op) noexcept;

} // namespace orvel::platform::detail
