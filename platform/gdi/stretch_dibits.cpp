#include "stretch_dibits.h"

#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "detail/dib_source.h"
#include "detail/drawing_target.h"
#include "detail/pixel_colours.h"
#include "detail/raster_ops.h"
#include "detail/stretch_blitter.h"

#include <algorithm>
#include <new>
#include <optional>

using namespace orvel::platform::detail;

namespace {

// Rows of a picture `limit` high that a rectangle (corner, extent; a negative extent reaches
// back from the corner) covers.
long long CoveredLines(long long corner, long long extent, long long limit) noexcept {
    const long long low = extent < 0 ? corner + extent : corner;
    const long long high = extent < 0 ? corner : corner + extent;
    return std::max<long long>(0, std::min(high, limit) - std::max<long long>(low, 0));
}

} // namespace

int WINAPI StretchDIBits(HDC dc, int xDst, int yDst, int dstWidth, int dstHeight, int xSrc,
                         int ySrc, int srcWidth, int srcHeight, const void* bits,
                         const BITMAPINFO* info, UINT usage, DWORD rop) noexcept {
    DrawingTarget target;
    if (!ResolveDrawingTarget(dc, target)) {
        return 0;
    }
    SourcePicture picture;
    if (!DescribeDib(info, bits, picture)) {
        return 0;
    }
    RasterOp op = RasterOp::SourceCopy;
    if (usage != DIB_RGB_COLORS || !RasterOpFromCode(rop, op) || dstWidth == 0 || dstHeight == 0 ||
        srcWidth == 0 || srcHeight == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // A bottom-up DIB counts ySrc up from its bottom row; the blitter sees every picture
    // top-down, where the same rectangle starts at height - ySrc - srcHeight (for either sign of
    // srcHeight).
    const long long pictureHeight = picture.height;
    const long long topY =
        IsTopDown(info) ? static_cast<long long>(ySrc) : pictureHeight - ySrc - srcHeight;
    const long long lines = CoveredLines(topY, srcHeight, pictureHeight);
    if (lines == 0 || CoveredLines(xSrc, srcWidth, picture.width) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (orvel::testing::ShouldFail(orvel::testing::kFaultStretchDIBits)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    std::optional<PixelColours> colours;
    try {
        colours.emplace(target.surface->BitsPerPixel(), target.palette);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    const BlitRect to{xDst, yDst, dstWidth, dstHeight};
    const BlitRect from{xSrc, topY, srcWidth, srcHeight};
    if (!StretchBlit(*target.surface, *colours, picture, to, from, op)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    TargetChanged(target, xDst, yDst, dstWidth, dstHeight);
    return static_cast<int>(lines);
}
