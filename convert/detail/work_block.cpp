#include "work_block.h"

#include "../../dib/detail/picture_geometry.h"
#include "../../foundation/CDibSupport.h"
#include "../../platform/win/error.h"

#include <cstdint>
#include <cstring>

namespace orvel::convert::detail {

namespace {
constexpr std::uint64_t kHeadersBytes = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
} // namespace

WorkBlockLayout LayoutWorkBlock(const BITMAPINFOHEADER& header) noexcept {
    WorkBlockLayout layout;
    const LONG width = header.biWidth;
    const LONG height = header.biHeight;
    if (width < 0 || height < 0) {
        // Rows are bottom-up with a positive height; a negative size has no work block.
        layout.refusal = ERROR_INVALID_PARAMETER;
        return layout;
    }
    // The same bound every picture meets on its way into an object: a work block the picture
    // replacement would then refuse must not cost the old picture.
    const auto geometry = orvel::dib::detail::CanonicalGeometry(width, height, header.biBitCount);
    if (!geometry) {
        layout.refusal = ERROR_NOT_ENOUGH_MEMORY;
        return layout;
    }
    const DWORD declaredBytes = header.biSizeImage;
    if (declaredBytes != 0 && declaredBytes < geometry->pixelBytes) {
        // The converters write every row; a smaller image would put rows outside the block.
        layout.refusal = ERROR_INVALID_PARAMETER;
        return layout;
    }
    layout.imageBytes = declaredBytes != 0 ? declaredBytes : geometry->pixelBytes;
    layout.tableEntries = CDibSupport::GetPaletteEntryNum(header);
    const std::uint64_t total =
        std::uint64_t{layout.imageBytes} + 4U * std::uint64_t{layout.tableEntries} + kHeadersBytes;
    if (total > UINT32_MAX) {
        layout.refusal = ERROR_NOT_ENOUGH_MEMORY;
        return layout;
    }
    layout.totalBytes = static_cast<DWORD>(total);
    return layout;
}

bool BlockHoldsRows(const BYTE* base, SIZE_T blockBytes) noexcept {
    if (base == nullptr || blockBytes < kHeadersBytes) {
        return false;
    }
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER header;
    std::memcpy(&file, base, sizeof file);
    std::memcpy(&header, base + sizeof file, sizeof header);
    if (header.biWidth < 0 || header.biHeight < 0) {
        return false;
    }
    // In 64 bits: a width too large for the 32-bit stride must not wrap into a small one.
    const std::uint64_t rowBits = static_cast<std::uint64_t>(header.biWidth) * header.biBitCount;
    const std::uint64_t stride = ((rowBits + 31) >> 3U) & ~std::uint64_t{3};
    const std::uint64_t rows = static_cast<std::uint64_t>(header.biHeight);
    if (file.bfOffBits > blockBytes) {
        return false;
    }
    return rows == 0 || stride <= (blockBytes - file.bfOffBits) / rows;
}

} // namespace orvel::convert::detail
