// The five ways a PNG row is predicted from the bytes before it, shared by the writer that
// chooses among them and the reader that undoes them.
#pragma once

#include <cstdlib>

namespace orvel::png::detail {

/// A row's filter byte: which prediction was taken away from its bytes.
enum Filter : unsigned char { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

/// Of the byte to the left, the one above and the one above-left, the one nearest to
/// left + above - aboveLeft; ties go left, then above.
inline int Paeth(int left, int above, int aboveLeft) noexcept {
    const int toLeft = std::abs(above - aboveLeft);
    const int toAbove = std::abs(left - aboveLeft);
    const int toAboveLeft = std::abs(left + above - 2 * aboveLeft);
    if (toLeft <= toAbove && toLeft <= toAboveLeft) {
        return left;
    }
    return toAbove <= toAboveLeft ? above : aboveLeft;
}

} // namespace orvel::png::detail
