#include "resample_rows.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace orvel::convert::detail {
namespace {

// Columns repeated at most this often are written without a branch per copy.
constexpr int kMostUnconditionalCopies = 4;

// How the columns of every row are written, decided once per resampling.
struct ColumnPlan {
    LONG keptEnd = 0; // one past the last column with a count above 0: nothing after it is read
    int largest = 0;  // the largest count
    int copies = 0;   // copies written at each column before the last kept one; 0: exact writes
};

// Every column but the last kept one may write `largest` copies and advance by its own count:
// what lands beyond its count is overwritten by the columns after it, since writes go left to
// right. That holds as long as no column's copies reach past the row's total, checked here once.
ColumnPlan PlanColumns(const int* counts, LONG width) {
    ColumnPlan plan;
    long long total = 0;
    for (LONG x = 0; x < width; ++x) {
        if (counts[x] > 0) {
            plan.keptEnd = x + 1;
        }
        plan.largest = std::max(plan.largest, counts[x]);
        total += counts[x];
    }
    const int largest = plan.largest;
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

// Pixels of kBits bits (1 or 4), the leftmost in the most significant bits of a byte, read a
// whole source byte at a time. With kPatterned, the copies of a column are one pattern from a
// table made at compile time (counts up to kMostUnconditionalCopies); otherwise they go one copy
// at a time. Target pixels gather in a register stored four bytes at a time; bits that no source
// pixel reaches keep the 0 of the work block.
template <unsigned kBits, bool kPatterned>
void RepeatPackedPixels(const BYTE* source, BYTE* target, const int* counts, LONG keptEnd) {
    constexpr unsigned kMask = (1U << kBits) - 1;
    constexpr unsigned kFirstShift = 8 - kBits;
    constexpr LONG kPixelsPerByte = 8 / kBits;
    struct Patterns {
        std::uint32_t bits[kMostUnconditionalCopies + 1][kMask + 1];
        unsigned width[kMostUnconditionalCopies + 1];
    };
    static constexpr Patterns kPatterns = [] {
        Patterns patterns{};
        for (unsigned copies = 0; copies <= kMostUnconditionalCopies; ++copies) {
            patterns.width[copies] = copies * kBits;
            for (unsigned pixel = 0; pixel <= kMask; ++pixel) {
                for (unsigned copy = 0; copy < copies; ++copy) {
                    patterns.bits[copies][pixel] = (patterns.bits[copies][pixel] << kBits) | pixel;
                }
            }
        }
        return patterns;
    }();

    std::uint64_t pending = 0; // target pixels not yet stored, the leftmost highest
    unsigned pendingBits = 0;
    auto append = [&](unsigned bits, unsigned width) {
        pending = (pending << width) | bits;
        pendingBits += width;
        if (pendingBits >= 32) {
            pendingBits -= 32;
            const auto word = static_cast<std::uint32_t>(pending >> pendingBits);
            target[0] = static_cast<BYTE>(word >> 24U);
            target[1] = static_cast<BYTE>(word >> 16U);
            target[2] = static_cast<BYTE>(word >> 8U);
            target[3] = static_cast<BYTE>(word);
            target += 4;
        }
    };
    auto column = [&](unsigned pixel, int count) {
        if constexpr (kPatterned) {
            append(kPatterns.bits[count][pixel], kPatterns.width[count]);
        } else {
            for (; count > 0; --count) {
                append(pixel, kBits);
            }
        }
    };
    LONG x = 0;
    for (; x + kPixelsPerByte <= keptEnd; x += kPixelsPerByte) {
        const unsigned value = *source++;
        [&]<std::size_t... kPixel>(std::index_sequence<kPixel...>) {
            (column((value >> (kFirstShift - kPixel * kBits)) & kMask, counts[x + kPixel]), ...);
        }
        (std::make_index_sequence<kPixelsPerByte>{});
    }
    const unsigned last = x < keptEnd ? *source : 0U;
    for (unsigned shift = kFirstShift; x < keptEnd; ++x, shift -= kBits) {
        column((last >> shift) & kMask, counts[x]);
    }
    for (; pendingBits >= 8; pendingBits -= 8) {
        *target++ = static_cast<BYTE>(pending >> (pendingBits - 8));
    }
    if (pendingBits != 0) {
        *target = static_cast<BYTE>(pending << (8 - pendingBits));
    }
}

template <unsigned kBits>
RowWriter PackedRowWriter(int largest) {
    return largest <= kMostUnconditionalCopies ? &RepeatPackedPixels<kBits, true>
                                               : &RepeatPackedPixels<kBits, false>;
}

// Walks the source rows from `first` to `end` in memory order: a row with count 0 is dropped,
// any other is written once and then copied whole, padding included, onto the next count - 1
// target rows. The part's first target row follows the target rows of every source row before it.
template <class WriteRow>
void RepeatRows(const RowPair& rows, const int* rowCounts, std::size_t first, std::size_t end,
                WriteRow&& writeRow) {
    std::size_t targetRowsBefore = 0;
    for (std::size_t y = 0; y < first; ++y) {
        targetRowsBefore += static_cast<std::size_t>(std::max(rowCounts[y], 0));
    }
    const BYTE* sourceRow = rows.sourceRow + first * rows.sourceStride;
    BYTE* targetRow = rows.targetRow + targetRowsBefore * rows.targetStride;
    for (std::size_t y = first; y < end; ++y, sourceRow += rows.sourceStride) {
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

// Bytes read and written: the source rows and as many target rows as the counts make, which
// are at most the work block's and never more than the counts' sum.
std::size_t ResampleBytes(const RowPair& rows, const int* rowCounts) noexcept {
    std::size_t targetRows = 0;
    for (LONG y = 0; y < rows.height; ++y) {
        targetRows += static_cast<std::size_t>(std::max(rowCounts[y], 0));
    }
    std::size_t source = 0;
    std::size_t target = 0;
    std::size_t bytes = 0;
    if (__builtin_mul_overflow(rows.sourceStride, static_cast<std::size_t>(rows.height), &source) ||
        __builtin_mul_overflow(rows.targetStride, targetRows, &target) ||
        __builtin_add_overflow(source, target, &bytes)) {
        return SIZE_MAX;
    }
    return bytes;
}

} // namespace

void ResampleRows(const RowPair& rows, const int* columnCounts, const int* rowCounts,
                  WORD bitCount) noexcept {
    const ColumnPlan plan = PlanColumns(columnCounts, rows.width);
    RowWriter writeRow = nullptr;
    switch (bitCount) {
    case 1:
        writeRow = PackedRowWriter<1>(plan.largest);
        break;
    case 4:
        writeRow = PackedRowWriter<4>(plan.largest);
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
    if (rows.height < 1) {
        return;
    }
    // Source rows are shared among the worker threads for a large picture; each part finds its
    // first target row from the counts before it, so the result is the same however it is cut.
    orvel::platform::ForEachSlice(
        static_cast<std::size_t>(rows.height), ResampleBytes(rows, rowCounts),
        [&](std::size_t first, std::size_t end) noexcept {
            RepeatRows(rows, rowCounts, first, end, [&](const BYTE* sourceRow, BYTE* targetRow) {
                writeRow(sourceRow, targetRow, columnCounts, plan.keptEnd);
            });
        });
}

} // namespace orvel::convert::detail
