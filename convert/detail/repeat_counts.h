// Repeat counts of nearest-neighbour resampling: how many target columns (rows) show each source
// column (row). Every placement is decided here, once, before any pixel moves.
#pragma once

#include "../../platform/win/types.h"

#include <cstdint>

namespace orvel::convert::detail {

/// The bytes of both repeat-count arrays of a picture `width` x `height`: one int per source
/// column and per source row.
inline std::uint64_t RepeatCountBytes(LONG width, LONG height) noexcept {
    const std::uint64_t columns = width > 0 ? static_cast<std::uint64_t>(width) : 0;
    const std::uint64_t rows = height > 0 ? static_cast<std::uint64_t>(height) : 0;
    return sizeof(int) * (columns + rows);
}

/// Fills counts[0 .. sourceCount - 1] so that they spread `targetCount` over `sourceCount`:
/// every entry is the whole ratio, and one more where the running fraction crosses an integer.
/// The fraction is summed by repeated addition in double precision, and the entries follow that
/// arithmetic exactly (6 to 8 gives 2, 1, 1, 1, 2, 1: after three additions of 1/3 the sum is
/// 0.9999999999999998, so the second 2 falls on entry 4). Nothing is written for a sourceCount
/// below 1.
inline void FillRepeatCounts(LONG sourceCount, LONG targetCount, int* counts) noexcept {
    if (sourceCount < 1) {
        return;
    }
    const double ratio = static_cast<double>(targetCount) / static_cast<double>(sourceCount);
    const int whole = static_cast<int>(ratio);
    const double part = ratio - whole;
    if (part == 0.0) {
        for (LONG i = 0; i < sourceCount; ++i) {
            counts[i] = whole;
        }
        return;
    }
    double sum = 0.0;
    int previous = -1;
    for (LONG i = 0; i < sourceCount; ++i) {
        const int crossed = static_cast<int>(sum);
        if (crossed != previous) {
            counts[i] = whole + 1;
            previous = crossed;
        } else {
            counts[i] = whole;
        }
        sum += part;
    }
}

/// Lowers counts so that their total never exceeds `limit` and none is negative. For counts made
/// by FillRepeatCounts the total is the target size and nothing changes; for very long rows the
/// rounding of the running sum could otherwise add one repetition too many and write past the
/// work block.
inline void CapRepeatCounts(int* counts, LONG count, LONG limit) noexcept {
    long long remaining = limit < 0 ? 0 : limit;
    for (LONG i = 0; i < count; ++i) {
        if (counts[i] < 0) {
            counts[i] = 0;
        } else if (counts[i] > remaining) {
            counts[i] = static_cast<int>(remaining);
        }
        remaining -= counts[i];
    }
}

} // namespace orvel::convert::detail
