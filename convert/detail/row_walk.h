// Walking the pixel rows of a picture block and a work block side by side.
//
// Every converter and resampler reads rows from the picture's pixel area and writes rows into the
// work block's. Rows are bottom-up in both and each block has its own stride, so the two running
// row pointers advance independently; nothing is addressed from (x, y). A target row depends on
// its source row alone, so a large picture's rows are shared among the worker threads, and the
// result is the same byte for byte however they are shared.
#pragma once

#include "../../foundation/CDibInfo.h"
#include "../../foundation/CDibSupport.h"
#include "../../platform/win/bitmap_structs.h"
#include "../../platform/workers/worker_pool.h"

#include <cstddef>
#include <cstdint>

namespace orvel::convert::detail {

/// The pixel areas of a picture and of the work block made from it, with the picture's width and
/// row count and each block's own row stride.
struct RowPair {
    const BYTE* sourceRow = nullptr;
    BYTE* targetRow = nullptr;
    LONG width = 0;
    LONG height = 0;
    std::size_t sourceStride = 0;
    std::size_t targetStride = 0;
};

/// The rows of two open views. Width and height are the source header's; the work block was made
/// from that header, so they are the target's too.
inline RowPair RowsOf(const CDibInfo& source, const CDibInfo& target) noexcept {
    const BITMAPINFOHEADER sourceHeader = source.GetBI()->bmiHeader;
    const BITMAPINFOHEADER targetHeader = target.GetBI()->bmiHeader;
    RowPair rows;
    rows.sourceRow = source.GetImage();
    rows.targetRow = target.GetImage();
    rows.width = sourceHeader.biWidth;
    rows.height = sourceHeader.biHeight;
    rows.sourceStride = CDibSupport::GetBytePerLine(sourceHeader);
    rows.targetStride = CDibSupport::GetBytePerLine(targetHeader);
    return rows;
}

/// The `count` rows from row `first` (in memory order) of a pair.
inline RowPair RowsFrom(const RowPair& rows, std::size_t first, std::size_t count) noexcept {
    RowPair part = rows;
    part.sourceRow += first * rows.sourceStride;
    part.targetRow += first * rows.targetStride;
    part.height = static_cast<LONG>(count);
    return part;
}

/// Bytes read and written by a walk over every row: what decides whether it is shared among the
/// worker threads. Saturates rather than wraps for pictures of absurd claimed sizes.
inline std::size_t BytesOfWork(const RowPair& rows) noexcept {
    if (rows.width < 1 || rows.height < 1) {
        return 0;
    }
    std::size_t bytes = 0;
    if (__builtin_add_overflow(rows.sourceStride, rows.targetStride, &bytes) ||
        __builtin_mul_overflow(bytes, static_cast<std::size_t>(rows.height), &bytes)) {
        return SIZE_MAX;
    }
    return bytes;
}

/// Calls convertPart(part) for disjoint runs of rows that together cover the pair, on the worker
/// threads when the pair is large enough to share. Each part is a pair of its own (its first rows,
/// its height), so a part's walk may keep state of its own — the last colour looked up, say —
/// that no other thread sees. Nothing happens for a height or width below 1.
template <class PartFunction>
void ForEachPart(const RowPair& rows, PartFunction&& convertPart) {
    if (rows.width < 1 || rows.height < 1) {
        return;
    }
    orvel::platform::ForEachSlice(static_cast<std::size_t>(rows.height), BytesOfWork(rows),
                                  [&](std::size_t begin, std::size_t end) noexcept {
                                      convertPart(RowsFrom(rows, begin, end - begin));
                                  });
}

/// Calls convertRow(sourceRow, targetRow) for each row of a part in memory order, bottom row
/// first. A height below 1 converts nothing, and so does a width below 1: rows without a pixel
/// are not walked at all, for a picture without columns may still claim hundreds of millions of
/// rows.
template <class RowFunction>
void ForEachRowInOrder(const RowPair& rows, RowFunction&& convertRow) {
    if (rows.width < 1) {
        return;
    }
    const BYTE* sourceRow = rows.sourceRow;
    BYTE* targetRow = rows.targetRow;
    for (LONG y = 0; y < rows.height; ++y) {
        convertRow(sourceRow, targetRow);
        sourceRow += rows.sourceStride;
        targetRow += rows.targetStride;
    }
}

/// Calls convertRow(sourceRow, targetRow) once for every row, shared among the worker threads
/// for a large picture: rows may be converted at the same time, in any order, so convertRow
/// must not change anything but its target row.
template <class RowFunction>
void ForEachRow(const RowPair& rows, RowFunction&& convertRow) {
    ForEachPart(rows, [&](const RowPair& part) { ForEachRowInOrder(part, convertRow); });
}

} // namespace orvel::convert::detail
