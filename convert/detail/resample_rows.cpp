#include "resample_rows.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

namespace orvel::convert::detail {
namespace {

// Columns repeated at most this often are written without a branch per copy.
constexpr int kMostUnconditionalCopies = 4;

// How the columns of every row are written, decided once per resampling.
struct ColumnPlan {
    LONG keptEnd = 0; // one past the last column with a count above 0: nothing after it is read
    int copies = 0;   // copies written at each column before the last kept one; 0: exact writes
};

// Every column but the last kept one may write `largest` copies and advance by its own count:
// what lands beyond its count is overwritten by the columns after it, since writes go left to
// right. That holds as long as no column's copies reach past the row's total, checked here once.
ColumnPlan PlanColumns(const int* counts, LONG width) {
    ColumnPlan plan;
    int largest = 0;
    long long total = 0;
    for (LONG x = 0; x < width; ++x) {
        if (counts[x] > 0) {
            plan.keptEnd = x + 1;
        }
        largest = std::max(largest, counts[x]);
        total += counts[x];
    }
    if (largest < 1 || largest > kMostUnconditionalCopies) {
        return plan;
    }
    long long start = 0;
    for (LONG x = 0; x + 1 < plan.keptEnd; ++x) {
        if (start + largest > total) {
            return plan;
        }
        start += counts[x];
    }
    plan.copies = largest;
    return plan;
}

using RowWriter = void (*)(const BYTE* source, BYTE* target, const int* counts, LONG keptEnd);

template <std::size_t kBytes>
void WriteCopies(BYTE*& target, const BYTE* pixel, int count) {
    for (; count > 0; --count) {
        std::memcpy(target, pixel, kBytes);
        target += kBytes;
    }
}

template <std::size_t kBytes>
void RepeatPixelsExactly(const BYTE* source, BYTE* target, const int* counts, LONG keptEnd) {
    for (LONG x = 0; x < keptEnd; ++x, source += kBytes) {
        WriteCopies<kBytes>(target, source, counts[x]);
    }
}

template <std::size_t kBytes, int kCopies>
void RepeatPixelsUnconditionally(const BYTE* source, BYTE* target, const int* counts,
                                 LONG keptEnd) {
    // The advance for each count, so that no count is multiplied per pixel.
    static constexpr auto kAdvance = [] {
        std::array<std::size_t, kCopies + 1> advance{};
        for (std::size_t count = 0; count < advance.size(); ++count) {
            advance[count] = count * kBytes;
        }
        return advance;
    }();
    const LONG last = keptEnd - 1;
    for (LONG x = 0; x < last; ++x) {
        BYTE pixel[kBytes];
        std::memcpy(pixel, source, kBytes);
        source += kBytes;
        for (std::size_t copy = 0; copy < kCopies; ++copy) {
            std::memcpy(target + copy * kBytes, pixel, kBytes);
        }
        target += kAdvance[counts[x]];
    }
    WriteCopies<kBytes>(target, source, counts[last]);
}

template <std::size_t kBytes>
RowWriter PixelRowWriter(int copies) {
    switch (copies) {
    case 1:
        return &RepeatPixelsUnconditionally<kBytes, 1>;
    case 2:
        return &RepeatPixelsUnconditionally<kBytes, 2>;
    case 3:
        return &RepeatPixelsUnconditionally<kBytes, 3>;
    case 4:
        return &RepeatPixelsUnconditionally<kBytes, 4>;
    default:
        return &RepeatPixelsExactly<kBytes>;
    }
}

// Pixels of kBits bits (1 or 4), the leftmost in the most significant bits of a byte. The target
// byte is built in a register and stored when full; bits that no source pixel reaches keep the 0
// of the work block.
template <unsigned kBits>
void RepeatPackedPixels(const BYTE* source, BYTE* target, const int* counts, LONG keptEnd) {
    constexpr unsigned kMask = (1U << kBits) - 1;
    constexpr unsigned kFirstShift = 8 - kBits;
    unsigned sourceShift = kFirstShift;
    unsigned pending = 0;
    unsigned pendingBits = 0;
    for (LONG x = 0; x < keptEnd; ++x) {
        const unsigned pixel = (*source >> sourceShift) & kMask;
        if (sourceShift == 0) {
            sourceShift = kFirstShift;
            ++source;
        } else {
            sourceShift -= kBits;
        }
        for (int repeat = counts[x]; repeat > 0; --repeat) {
            pending = (pending << kBits) | pixel;
            pendingBits += kBits;
            if (pendingBits == 8) {
                *target++ = static_cast<BYTE>(pending);
                pending = 0;
                pendingBits = 0;
            }
        }
    }
    if (pendingBits != 0) {
        *target = static_cast<BYTE>(pending << (8 - pendingBits));
    }
}

} // namespace

void ResampleRows(const RowPair& rows, const int* columnCounts, const int* rowCounts,
                  WORD bitCount) noexcept {
    const ColumnPlan plan = PlanColumns(columnCounts, rows.width);
    RowWriter writeRow = nullptr;
    switch (bitCount) {
    case 1:
        writeRow = &RepeatPackedPixels<1>;
        break;
    case 4:
        writeRow = &RepeatPackedPixels<4>;
        break;
    case 8:
        writeRow = PixelRowWriter<1>(plan.copies);
        break;
    case 16:
        writeRow = PixelRowWriter<2>(plan.copies);
        break;
    case 24:
        writeRow = PixelRowWriter<3>(plan.copies);
        break;
    case 32:
        writeRow = PixelRowWriter<4>(plan.copies);
        break;
    default:
        return;
    }
    const BYTE* sourceRow = rows.sourceRow;
    BYTE* targetRow = rows.targetRow;
    for (LONG y = 0; y < rows.height; ++y, sourceRow += rows.sourceStride) {
        const int repeat = rowCounts[y];
        if (repeat <= 0) {
            continue;
        }
        writeRow(sourceRow, targetRow, columnCounts, plan.keptEnd);
        for (int copy = 1; copy < repeat; ++copy) {
            std::memcpy(targetRow + rows.targetStride, targetRow, rows.targetStride);
            targetRow += rows.targetStride;
        }
        targetRow += rows.targetStride;
    }
}

} // namespace orvel::convert::detail
