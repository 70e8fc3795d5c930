#include "bit_blt.h"

#include "../win/error.h"
#include "detail/drawing_target.h"
#include "detail/pixel_colours.h"
#include "detail/raster_ops.h"
#include "detail/stretch_blitter.h"

#include <cstring>
#include <new>
#include <optional>
#include <vector>

using namespace orvel::platform::detail;

BOOL WINAPI BitBlt(HDC dc, int xDst, int yDst, int width, int height, HDC source, int xSrc,
                   int ySrc, DWORD rop) noexcept {
    return StretchBlt(dc, xDst, yDst, width, height, source, xSrc, ySrc, width, height, rop);
}

BOOL WINAPI StretchBlt(HDC dc, int xDst, int yDst, int dstWidth, int dstHeight, HDC source,
                       int xSrc, int ySrc, int srcWidth, int srcHeight, DWORD rop) noexcept {
    DrawingTarget target;
    if (!ResolveDrawingTarget(dc, target)) {
        return FALSE;
    }
    RasterOp op = RasterOp::SourceCopy;
    if (!RasterOpFromCode(rop, op) || dstWidth == 0 || dstHeight == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DrawingTarget from;
    if (UsesSource(op)) {
        if (!ResolveDrawingTarget(source, from)) {
            return FALSE;
        }
        if (srcWidth == 0 || srcHeight == 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (!RefreshFromScreen(from, xSrc, ySrc, srcWidth, srcHeight)) {
            return FALSE;
        }
    }
    try {
        const PixelColours colours(target.surface->BitsPerPixel(), target.palette);
        SourcePicture picture;
        std::optional<PixelColours> sourceColours;
        std::vector<BYTE> copy;
        if (UsesSource(op)) {
            const Surface& pixels = *from.surface;
            sourceColours.emplace(pixels.BitsPerPixel(), from.palette);
            picture.topRow = pixels.Row(0);
            // Drawing a surface onto itself reads a copy, so that rows already drawn are never
            // read again as source.
            if (from.surface == target.surface) {
                copy.assign(pixels.Row(0),
                            pixels.Row(0) +
                                pixels.Stride() * static_cast<std::size_t>(pixels.Height()));
                picture.topRow = copy.data();
            }
            picture.rowStep = static_cast<std::ptrdiff_t>(pixels.Stride());
            picture.width = pixels.Width();
            picture.height = pixels.Height();
            picture.bitsPerPixel = pixels.BitsPerPixel();
            picture.colours = sourceColours->Table();
            picture.colourCount = sourceColours->TableEntries();
        }
        const BlitRect to{xDst, yDst, dstWidth, dstHeight};
        const BlitRect fromRect{xSrc, ySrc, UsesSource(op) ? srcWidth : dstWidth,
                                UsesSource(op) ? srcHeight : dstHeight};
        if (!StretchBlit(*target.surface, colours, picture, to, fromRect, op)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    TargetChanged(target, xDst, yDst, dstWidth, dstHeight);
    return TRUE;
}
