// Undoing a PNG row's filter: the bytes of the row as the picture has them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvel::png::detail {

/// Adds back to `row` (rowBytes long, without its filter byte) the prediction its `filter` took
/// away. `above` is the row above, already unfiltered (zeros for a picture's top row);
/// `pixelBytes` is how far to the left the prediction looks: 1, 3 or 4, the pixels of 8-bit
/// pictures. False, with the row left as it was, when `filter` is not one of the five or the
/// pixel size is another (None and Up do not look left and take any).
bool UnfilterRow(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* above,
                 std::size_t rowBytes, std::size_t pixelBytes) noexcept;

} // namespace orvel::png::detail
