#include "packed_dib.h"

#include "../../foundation/CDibSupport.h"
#include "picture_geometry.h"

#include <cstdint>
#include <cstring>

namespace orvel::dib::detail {

std::optional<WORD> PackedDibColourCount(const BYTE* packed, SIZE_T availableBytes) noexcept {
    if (packed == nullptr || availableBytes < sizeof(BITMAPINFOHEADER)) {
        return std::nullopt;
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, packed, sizeof header);
    if (header.biSize != sizeof(BITMAPINFOHEADER)) {
        return std::nullopt;
    }
    const std::int64_t rows =
        header.biHeight < 0 ? -std::int64_t{header.biHeight} : header.biHeight;
    const auto geometry = CanonicalGeometry(header.biWidth, rows, header.biBitCount);
    if (!geometry) {
        return std::nullopt;
    }
    // 64-bit sums of 32-bit terms: none of them can overflow.
    const std::uint64_t imageBytes =
        header.biSizeImage != 0 ? header.biSizeImage : geometry->pixelBytes;
    const std::uint64_t maskBytes = header.biCompression == BI_BITFIELDS ? 12 : 0;
    const std::uint64_t fixedBytes = sizeof(BITMAPINFOHEADER) + maskBytes + imageBytes;
    const WORD entries = CDibSupport::GetPaletteEntryNum(header);
    if (availableBytes >= fixedBytes + std::uint64_t{4} * entries) {
        return WORD{0};
    }
    if (header.biBitCount <= 8 && header.biClrUsed != 0 && header.biClrUsed < entries &&
        availableBytes >= fixedBytes + std::uint64_t{4} * header.biClrUsed) {
        return static_cast<WORD>(header.biClrUsed);
    }
    return std::nullopt;
}

} // namespace orvel::dib::detail
