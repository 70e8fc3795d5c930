#include "installed_picture.h"

#include "../../foundation/CDibSupport.h"

#include <cstdint>
#include <cstring>

namespace orvel::dib::detail {

std::optional<InstalledPicture> ReadInstalledPicture(const BYTE* block,
                                                     SIZE_T blockBytes) noexcept {
    constexpr SIZE_T kHeadersBytes = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    if (block == nullptr || blockBytes < kHeadersBytes) {
        return std::nullopt;
    }
    BITMAPFILEHEADER file;
    std::memcpy(&file, block, sizeof file);
    InstalledPicture picture;
    std::memcpy(&picture.header, block + sizeof file, sizeof picture.header);
    const BITMAPINFOHEADER& header = picture.header;
    if (header.biSize != sizeof(BITMAPINFOHEADER) || header.biCompression != BI_RGB ||
        header.biHeight < 0) {
        return std::nullopt;
    }
    const auto geometry = CanonicalGeometry(header.biWidth, header.biHeight, header.biBitCount);
    if (!geometry) {
        return std::nullopt;
    }
    picture.geometry = *geometry;
    picture.entryCount = CDibSupport::GetPaletteEntryNum(header);
    picture.pixelOffset = file.bfOffBits;
    // A biSizeImage other than the rows' own would make the image size of the header arithmetic
    // disagree with the rows drawn and copied.
    const bool imageSizeIsRows =
        header.biSizeImage == 0 || header.biSizeImage == picture.geometry.pixelBytes;
    const std::uint64_t tableEnd = kHeadersBytes + std::uint64_t{4} * picture.entryCount;
    const std::uint64_t pixelEnd = std::uint64_t{file.bfOffBits} + picture.geometry.pixelBytes;
    if (!imageSizeIsRows || file.bfOffBits != tableEnd || pixelEnd > blockBytes) {
        return std::nullopt;
    }
    return picture;
}

} // namespace orvel::dib::detail
