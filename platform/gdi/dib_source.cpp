#include "detail/dib_source.h"

#include "../win/error.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace orvel::platform::detail {

bool IsTopDown(const BITMAPINFO* info) noexcept {
    return info->bmiHeader.biHeight < 0;
}

bool DescribeDib(const BITMAPINFO* info, const void* bits, SourcePicture& picture) noexcept {
    if (info == nullptr || bits == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const BITMAPINFOHEADER header = info->bmiHeader;
    const long long height = header.biHeight;
    const int depth = header.biBitCount;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biWidth <= 0 || height == 0 ||
        height == INT32_MIN || header.biPlanes != 1 || !IsSupportedDepth(depth) ||
        header.biCompression != BI_RGB) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const long long rows = height < 0 ? -height : height;
    const long long stride = (static_cast<long long>(header.biWidth) * depth + 31) / 32 * 4;
    // The caller vouches for the bits; the platform only makes sure the rows can be addressed.
    if (stride > PTRDIFF_MAX / rows) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const auto* first = static_cast<const BYTE*>(bits);
    picture.width = header.biWidth;
    picture.height = static_cast<int>(rows);
    picture.bitsPerPixel = depth;
    if (height < 0) {
        picture.topRow = first;
        picture.rowStep = static_cast<std::ptrdiff_t>(stride);
    } else {
        picture.topRow = first + static_cast<std::ptrdiff_t>(stride) * (rows - 1);
        picture.rowStep = -static_cast<std::ptrdiff_t>(stride);
    }
    picture.colours = nullptr;
    picture.colourCount = 0;
    if (depth <= 8) {
        // The colour table follows the header, whatever the header's size.
        const int reachable = 1 << depth;
        picture.colours =
            reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(info) + header.biSize);
        picture.colourCount = header.biClrUsed == 0
                                  ? reachable
                                  : static_cast<int>(std::min<DWORD>(
                                        header.biClrUsed, static_cast<DWORD>(reachable)));
    }
    return true;
}

} // namespace orvel::platform::detail
