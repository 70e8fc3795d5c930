#include "layout_rebuild.h"

#include "../../foundation/CDibInfo.h"
#include "../../foundation/CDibSupport.h"
#include "../../platform/memory/global_memory.h"
#include "../../platform/win/error.h"
#include "bitfields.h"

#include <cstddef>
#include <cstring>

namespace orvel::dib::detail {
namespace {

// The stored row that becomes the bottom row, and the step to the row above it. A top-down
// picture stores its bottom row last.
const BYTE* BottomSourceRow(const BYTE* pixels, const BlockLayout& layout,
                            std::ptrdiff_t& sourceStep) noexcept {
    const std::ptrdiff_t stride = layout.stored.stride;
    if (!layout.topDown || layout.geometry.rows == 0) {
        sourceStep = stride;
        return pixels;
    }
    sourceStep = -stride;
    return pixels + stride * static_cast<std::ptrdiff_t>(layout.stored.rows - 1);
}

void CopyRows(const BYTE* pixels, BYTE* target, const BlockLayout& layout) noexcept {
    const PictureGeometry& geometry = layout.geometry;
    const bool sameBytes =
        layout.coding == PixelCoding::Rgb || layout.coding == PixelCoding::Masks555;
    if (sameBytes && !layout.topDown) {
        std::memcpy(target, pixels, geometry.pixelBytes);
        return;
    }
    std::ptrdiff_t sourceStep = 0;
    const BYTE* sourceRow = BottomSourceRow(pixels, layout, sourceStep);
    const auto width = static_cast<DWORD>(layout.width);
    for (DWORD row = 0; row < geometry.rows; ++row) {
        switch (layout.coding) {
        case PixelCoding::Masks565:
            RepackRow565To24(sourceRow, target, width);
            break;
        case PixelCoding::Masks32:
            RepackRow32ToBgr0(sourceRow, target, width, layout.channelByte);
            break;
        default:
            std::memcpy(target, sourceRow, geometry.stride);
            break;
        }
        sourceRow += sourceStep;
        target += geometry.stride;
    }
}

} // namespace

HGLOBAL BuildCanonicalBlock(const BYTE* source, const BlockLayout& layout) noexcept {
    BITMAPINFOHEADER header;
    std::memcpy(&header, source + sizeof(BITMAPFILEHEADER), sizeof header);
    header.biHeight = static_cast<LONG>(layout.geometry.rows);
    header.biBitCount = layout.canonicalBitCount;
    header.biCompression = BI_RGB;
    header.biSizeImage = layout.geometry.pixelBytes;
    const BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);

    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, file.bfSize);
    if (block == nullptr) {
        return nullptr;
    }
    auto* target = static_cast<BYTE*>(GlobalLock(block));
    if (target == nullptr) {
        const DWORD lockError = GetLastError();
        GlobalFree(block);
        SetLastError(lockError);
        return nullptr;
    }
    std::memcpy(target, &file, sizeof file);
    std::memcpy(target + sizeof file, &header, sizeof header);
    std::memcpy(target + sizeof file + sizeof header, source + layout.tableOffset,
                std::size_t{4} * layout.storedEntries);
    CopyRows(source + layout.pixelOffset, target + file.bfOffBits, layout);
    FullUnlock(block);
    return block;
}

} // namespace orvel::dib::detail
