#include "new_picture_header.h"

#include "../../foundation/CDibSupport.h"
#include "../../foundation/CHTErr.h"
#include "../../platform/win/error.h"
#include "../picture_limits.h"
#include "picture_geometry.h"

namespace orvel::dib::detail {

NewPictureVerdict CheckNewPictureHeader(const BITMAPINFOHEADER& header,
                                        NewPictureSizes& sizes) noexcept {
    const WORD bitCount = header.biBitCount;
    const bool knownDepth = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
                            bitCount == 24 || bitCount == 32;
    // A compressed header would send the zero pixels of a new picture through the run-length
    // decoders, and a negative height asks for top-down rows that a new picture never has.
    if (header.biSize != sizeof(BITMAPINFOHEADER) || header.biPlanes != 1 || !knownDepth ||
        header.biCompression != BI_RGB || header.biWidth < 0 || header.biHeight < 0) {
        return NewPictureVerdict::NotAPicture;
    }
    const auto geometry = CanonicalGeometry(header.biWidth, header.biHeight, bitCount);
    if (!geometry || header.biSizeImage > kDibMaxPixelBytes) {
        return NewPictureVerdict::TooLarge;
    }
    // An image size smaller than the rows would leave the last rows outside the block.
    if (header.biSizeImage != 0 && header.biSizeImage < geometry->pixelBytes) {
        return NewPictureVerdict::NotAPicture;
    }
    sizes.stride = geometry->stride;
    sizes.imageBytes = header.biSizeImage != 0 ? header.biSizeImage : geometry->pixelBytes;
    sizes.tableBytes = 4 * DWORD{CDibSupport::GetPaletteEntryNum(header)};
    return NewPictureVerdict::Accepted;
}

RefusalStatus StatusOfRefusal(NewPictureVerdict verdict) noexcept {
    if (verdict == NewPictureVerdict::TooLarge) {
        return {HTERR_SYSTEM, ERROR_NOT_ENOUGH_MEMORY};
    }
    return {HTERR_CLASS, 1};
}

} // namespace orvel::dib::detail
