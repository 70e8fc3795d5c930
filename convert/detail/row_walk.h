// Walking the pixel rows of a picture block and a work block side by side.
//
// Every converter and resampler reads rows from the picture's pixel area and writes rows into the
// work block's. Rows are bottom-up in both and each block has its own stride, so the two running
// row pointers advance independently; nothing is addressed from (x, y).
#pragma once

#include "../../foundation/CDibInfo.h"
#include "../../foundation/CDibSupport.h"
#include "../../platform/win/bitmap_structs.h"

#include <cstddef>

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

/// Calls convertRow(sourceRow, targetRow) for each row in memory order, bottom row first. A
/// height below 1 converts nothing, and so does a width below 1: rows without a pixel are not
/// walked at all, for a picture without columns may still claim hundreds of millions of rows.
template <class RowFunction>
void ForEachRow(const RowPair& rows, RowFunction&& convertRow) {
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

} // namespace orvel::convert::detail
