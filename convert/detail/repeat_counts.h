// Nearest-neighbour resampling by repeat counts: how many target columns (rows) show each source
// column (row), and the row loops that apply them.
//
// Every placement is decided once, in the two count arrays, before any pixel moves; the loops
// then use running pointers and counters only. A repeated row is written once from the source and
// copied whole for each repetition.
#pragma once

#include "../../platform/win/types.h"
#include "row_walk.h"

#include <cstddef>
#include <cstring>

namespace orvel::convert::detail {

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

/// Repeats whole pixels of kBytes bytes: source column x is written columnCounts[x] times.
template <std::size_t kBytes>
void RepeatPixels(const BYTE* source, BYTE* target, const int* columnCounts, LONG width) {
    for (LONG x = 0; x < width; ++x) {
        BYTE pixel[kBytes];
        std::memcpy(pixel, source, kBytes);
        source += kBytes;
        for (int repeat = columnCounts[x]; repeat > 0; --repeat) {
            std::memcpy(target, pixel, kBytes);
            target += kBytes;
        }
    }
}

/// Repeats packed pixels of kBits bits (1 or 4), the leftmost in the most significant bits. The
/// target byte is built in a register and stored when full; the bits no source pixel reaches
/// keep the 0 of the work block.
template <unsigned kBits>
void RepeatPackedPixels(const BYTE* source, BYTE* target, const int* columnCounts, LONG width) {
    static_assert(kBits == 1 || kBits == 4);
    constexpr unsigned kMask = (1U << kBits) - 1;
    constexpr unsigned kFirstShift = 8 - kBits;
    unsigned sourceShift = kFirstShift;
    unsigned targetShift = kFirstShift;
    unsigned targetByte = 0;
    for (LONG x = 0; x < width; ++x) {
        const unsigned pixel = (*source >> sourceShift) & kMask;
        if (sourceShift == 0) {
            sourceShift = kFirstShift;
            ++source;
        } else {
            sourceShift -= kBits;
        }
        for (int repeat = columnCounts[x]; repeat > 0; --repeat) {
            targetByte |= pixel << targetShift;
            if (targetShift == 0) {
                *target++ = static_cast<BYTE>(targetByte);
                targetByte = 0;
                targetShift = kFirstShift;
            } else {
                targetShift -= kBits;
            }
        }
    }
    if (targetShift != kFirstShift) {
        *target = static_cast<BYTE>(targetByte);
    }
}

/// Walks the source rows in memory order: a row with count 0 is dropped, any other is written
/// once by writeRow and then copied whole, padding included, onto the next count - 1 target rows.
template <class RowWriter>
void RepeatRows(const RowPair& rows, const int* rowCounts, RowWriter&& writeRow) {
    const BYTE* sourceRow = rows.sourceRow;
    BYTE* targetRow = rows.targetRow;
    for (LONG y = 0; y < rows.height; ++y, sourceRow += rows.sourceStride) {
        const int repeat = rowCounts[y];
        if (repeat <= 0) {
            continue;
        }
        writeRow(sourceRow, targetRow);
        for (int copy = 1; copy < repeat; ++copy) {
            std::memcpy(targetRow + rows.targetStride, targetRow, rows.targetStride);
            targetRow += rows.targetStride;
        }
        targetRow += rows.targetStride;
    }
}

} // namespace orvel::convert::detail
