// The zlib stream a PNG's IDAT chunks carry, made from its rows in strips on the worker threads.
//
// A PNG's image data is one zlib stream of filtered rows. zlib compresses on one thread, and at
// the usual level it is most of the time a PNG takes to write. The rows are cut into strips of a
// fixed size in bytes (so the output does not depend on the number of threads); each strip is
// compressed on its own into deflate blocks that end on a byte boundary, primed with the 32 KiB
// of filtered bytes before it as its dictionary, and the strips' checksums are combined. The
// joined strips are one valid stream, within a few bytes a strip of what one stream would be.
#pragma once

#include "../../win/types.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvel::png::detail {

/// A picture's rows as PNG stores them before filtering, top row first.
struct PngRows {
    std::uint32_t count = 0;
    std::size_t rowBytes = 0;     ///< bytes of a row, without the filter byte
    std::size_t pixelBytes = 1;   ///< bytes of a pixel, at least 1 (filters look that far left)
    bool adaptiveFilters = false; ///< choose a filter per row; otherwise every row is unfiltered
    /// Writes row `y` (0: the top row) into `out`, rowBytes long.
    void (*make)(const void* context, std::uint32_t y, BYTE* out) noexcept = nullptr;
    const void* context = nullptr;
};

/// Receives the stream's bytes in order, one call at a time but not always on the caller's thread;
/// false when it cannot take them (no memory).
using StreamSink = bool (*)(void* context, const std::uint8_t* bytes, std::size_t count) noexcept;

/// The most bytes CompressRows can give for `rows`.
std::size_t CompressedBound(const PngRows& rows) noexcept;

/// The zlib stream of `rows` at compression `level` (0 to 9), handed to `sink` in pieces (a
/// strip's at a time). False when memory ran out or the sink refused a piece.
bool CompressRows(const PngRows& rows, int level, StreamSink sink, void* context) noexcept;

} // namespace orvel::png::detail
