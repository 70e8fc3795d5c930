#include "CDib.h"

#include "../platform/memory/global_memory.h"
#include "detail/installed_picture.h"

#include <cstdint>
#include <cstring>

using orvel::dib::detail::InstalledPicture;
using orvel::dib::detail::ReadInstalledPicture;

namespace {

// Pictures whose pixels are whole bytes; 1- and 4-bit pixels cannot be placed at any column.
bool PastesWholeBytes(WORD bitCount) noexcept {
    return bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
}

} // namespace

// A null source is refused like a source without a picture.
BOOL CDib::Attach(CDib* source, CPoint position) {
    if (source == nullptr) {
        return SetProgError(14);
    }
    return Attach(*source, position);
}

// Pastes the source's pixels into this picture with the source's top-left corner at `position`
// (origin at this picture's top-left corner, y downward), clipped to this picture. The depths
// must match; pixel values are copied as they stand, so indexes take this picture's colours.
//
// The order of the checks is part of the contract: a position right of or below this picture
// succeeds without copying before the depths are compared.
BOOL CDib::Attach(const CDib& source, CPoint position) {
    if (source.IsFailed()) {
        return SetProgError(14);
    }
    // Without a picture of its own there is no block to paste into.
    if (m_hDib == nullptr) {
        return SetProgError(14);
    }
    // When the source is this very object both views lock the same block; they end together.
    CDibInfo sourceView(source.m_hDib);
    CDibInfo targetView(m_hDib);
    const BYTE* sourceBase = sourceView.GetDIB();
    BYTE* targetBase = targetView.GetDIB();
    if (sourceBase == nullptr) {
        return SetProgError(14);
    }
    if (targetBase == nullptr) {
        return SetSystemError();
    }
    const std::optional<InstalledPicture> from =
        ReadInstalledPicture(sourceBase, GlobalSize(source.m_hDib));
    const std::optional<InstalledPicture> to = ReadInstalledPicture(targetBase, GlobalSize(m_hDib));
    if (!from || !to) {
        return SetClassError(1);
    }

    // 64-bit throughout: a position near the ends of the int range must clip, not overflow.
    const std::int64_t x = position.x;
    const std::int64_t y = position.y;
    const std::int64_t sourceWidth = from->header.biWidth;
    const std::int64_t sourceHeight = from->header.biHeight;
    const std::int64_t targetWidth = to->header.biWidth;
    const std::int64_t targetHeight = to->header.biHeight;
    if (x > targetWidth || y > targetHeight) {
        return SetNoError();
    }
    const WORD bitCount = to->header.biBitCount;
    if (from->header.biBitCount != bitCount || bitCount == 1 || bitCount == 4) {
        return SetProgError(14);
    }
    if (!PastesWholeBytes(bitCount)) {
        return SetNoError();
    }

    // Source columns and rows cut off at the left and top, and the part that lands inside.
    const std::int64_t bytesPerPixel = bitCount / 8;
    const std::int64_t skipColumns = x < 0 ? -x : 0;
    const std::int64_t skipRows = y < 0 ? -y : 0;
    const std::int64_t clippedWidth = targetWidth > x + sourceWidth ? sourceWidth : targetWidth - x;
    const std::int64_t clippedHeight =
        targetHeight > y + sourceHeight ? sourceHeight : targetHeight - y;
    const std::int64_t rowBytes = (clippedWidth - skipColumns) * bytesPerPixel;
    const std::int64_t rowCount = clippedHeight - skipRows;
    if (rowBytes <= 0 || rowCount <= 0) {
        return SetNoError();
    }
    const std::int64_t targetX = x > 0 ? x : 0;
    const std::int64_t targetY = y > 0 ? y : 0;

    // Rows are stored bottom-up: the row k rows from the top lies at (height - 1 - k) strides.
    // Offsets rather than pointers run along the rows, so that stepping past the last row never
    // forms a pointer outside the block.
    const std::int64_t sourceStride = from->geometry.stride;
    const std::int64_t targetStride = to->geometry.stride;
    std::int64_t sourceOffset = from->pixelOffset + (sourceHeight - 1 - skipRows) * sourceStride +
                                skipColumns * bytesPerPixel;
    std::int64_t targetOffset =
        to->pixelOffset + (targetHeight - 1 - targetY) * targetStride + targetX * bytesPerPixel;
    std::int64_t sourceStep = -sourceStride;
    std::int64_t targetStep = -targetStride;
    // Pasting a picture into itself: when the rows written lie below the rows read, walking down
    // would overwrite rows before they are read, so the rows are walked up from the bottom
    // instead; memmove settles overlap within a row.
    if (sourceBase == targetBase && targetY > skipRows) {
        sourceOffset += (rowCount - 1) * sourceStep;
        targetOffset += (rowCount - 1) * targetStep;
        sourceStep = sourceStride;
        targetStep = targetStride;
    }
    const auto copyBytes = static_cast<std::size_t>(rowBytes);
    for (std::int64_t row = 0; row < rowCount; ++row) {
        std::memmove(targetBase + targetOffset, sourceBase + sourceOffset, copyBytes);
        sourceOffset += sourceStep;
        targetOffset += targetStep;
    }
    return SetNoError();
}
