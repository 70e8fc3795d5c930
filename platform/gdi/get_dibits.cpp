#include "bitmap.h"

#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "detail/bitmap_object.h"
#include "detail/drawing_target.h"
#include "detail/gdi_objects.h"
#include "detail/pixel_colours.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>

using namespace orvel::platform::detail;

namespace {

std::size_t DibStride(long long width, int depth) noexcept {
    return static_cast<std::size_t>((width * depth + 31) / 32 * 4);
}

// The value a colour (COLORREF) has in a direct-colour DIB of `depth` bits.
DWORD EncodeDirect(COLORREF colour, int depth) noexcept {
    if (depth == 16) {
        return PixelColours::Encode555(GetRValue(colour), GetGValue(colour), GetBValue(colour));
    }
    return static_cast<DWORD>(GetBValue(colour) | (GetGValue(colour) << 8) |
                              (GetRValue(colour) << 16));
}

// Writes the colour table of a DIB of `depth` bits (2^depth entries) from the bitmap's colours;
// entries a bitmap of lower depth cannot reach are black.
void WriteColourTable(LPBITMAPINFO info, int depth, const PixelColours& colours) noexcept {
    if (depth > 8) {
        return;
    }
    const BITMAPINFOHEADER header = info->bmiHeader;
    BYTE* table = reinterpret_cast<BYTE*>(info) + header.biSize;
    const int entries = 1 << depth;
    const int known = std::min(entries, colours.TableEntries());
    std::memcpy(table, colours.Table(), static_cast<std::size_t>(known) * sizeof(RGBQUAD));
    std::memset(table + static_cast<std::size_t>(known) * sizeof(RGBQUAD), 0,
                static_cast<std::size_t>(entries - known) * sizeof(RGBQUAD));
}

// One scan line of the bitmap (a surface row) as a DIB row of `depth` bits, `width` pixels of
// which come from the bitmap.
void CopyLine(const Surface& surface, int surfaceRow, BYTE* dibRow, std::size_t dibStride,
              int width, int depth, const PixelColours& colours) noexcept {
    std::memset(dibRow, 0, dibStride);
    const BYTE* row = surface.Row(surfaceRow);
    const int ownDepth = surface.BitsPerPixel();
    if (ownDepth == depth) {
        const std::size_t bytes =
            (static_cast<std::size_t>(width) * static_cast<std::size_t>(depth) + 7) / 8;
        std::memcpy(dibRow, row, bytes);
        return;
    }
    // A wider index keeps its value: the table reported repeats the bitmap's entries first.
    const bool indexToIndex = ownDepth <= 8 && depth <= 8;
    for (int x = 0; x < width; ++x) {
        const DWORD value = ReadPixel(row, x, ownDepth);
        WritePixel(dibRow, x, depth,
                   indexToIndex ? value : EncodeDirect(colours.Decode(value), depth));
    }
}

} // namespace

int WINAPI GetDIBits(HDC dc, HBITMAP bitmap, UINT firstScan, UINT lineCount, LPVOID bits,
                     LPBITMAPINFO info, UINT usage) noexcept {
    const DeviceContext* context = FindDeviceContext(dc);
    if (context == nullptr) {
        return 0;
    }
    const PaletteObject* palette = FindPalette(context->palette);
    const BitmapObject* object = FindBitmap(bitmap);
    if (palette == nullptr || object == nullptr) {
        return 0;
    }
    if (info == nullptr || usage != DIB_RGB_COLORS ||
        info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // A bitmap selected into a memory context is that context's to draw on; reading it through
    // another context would give its indexes that context's colours.
    HDC selectedInto = object->selectedInto.load(std::memory_order_acquire);
    if (selectedInto != nullptr && selectedInto != dc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (orvel::testing::ShouldFail(orvel::testing::kFaultGetDIBits)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    const Surface& surface = object->Pixels();
    BITMAPINFOHEADER header = info->bmiHeader;
    if (header.biBitCount == 0) {
        if (bits != nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        header.biWidth = surface.Width();
        header.biHeight = surface.Height();
        header.biPlanes = 1;
        header.biBitCount = static_cast<WORD>(surface.BitsPerPixel());
        header.biCompression = BI_RGB;
        header.biSizeImage = static_cast<DWORD>(DibStride(header.biWidth, header.biBitCount) *
                                                static_cast<std::size_t>(surface.Height()));
        header.biClrUsed = 0;
        header.biClrImportant = 0;
        info->bmiHeader = header;
        return surface.Height();
    }
    const int depth = header.biBitCount;
    if (!IsSupportedDepth(depth) || depth < surface.BitsPerPixel() ||
        header.biCompression != BI_RGB || header.biPlanes != 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::optional<PixelColours> colours;
    try {
        colours.emplace(surface.BitsPerPixel(), palette);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    const bool topDown = header.biHeight < 0;
    if (bits == nullptr) {
        header.biWidth = surface.Width();
        header.biHeight = topDown ? -surface.Height() : surface.Height();
        header.biSizeImage = static_cast<DWORD>(DibStride(header.biWidth, depth) *
                                                static_cast<std::size_t>(surface.Height()));
        header.biClrUsed = 0;
        header.biClrImportant = 0;
        info->bmiHeader = header;
        WriteColourTable(info, depth, *colours);
        return surface.Height();
    }
    const auto scanLines = static_cast<UINT>(surface.Height());
    // Sides past 2^24 cannot be a request for a bitmap's lines, and keep the sizes below exact.
    constexpr LONG kLargestSide = 1 << 24;
    if (header.biWidth <= 0 || header.biWidth > kLargestSide || header.biHeight == 0 ||
        header.biHeight > kLargestSide || header.biHeight < -kLargestSide ||
        firstScan >= scanLines || lineCount == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int lines = static_cast<int>(std::min(lineCount, scanLines - firstScan));
    const std::size_t stride = DibStride(header.biWidth, depth);
    const int width = std::min<int>(header.biWidth, surface.Width());
    auto* out = static_cast<BYTE*>(bits);
    for (int k = 0; k < lines; ++k) {
        // Scan line 0 is the bitmap's bottom row; a top-down DIB gets the highest line first.
        const int scan = static_cast<int>(firstScan) + (topDown ? lines - 1 - k : k);
        CopyLine(surface, surface.Height() - 1 - scan, out + static_cast<std::size_t>(k) * stride,
                 stride, width, depth, *colours);
    }
    header.biSizeImage =
        static_cast<DWORD>(stride * static_cast<std::size_t>(std::abs(header.biHeight)));
    header.biClrUsed = 0;
    header.biClrImportant = 0;
    info->bmiHeader = header;
    WriteColourTable(info, depth, *colours);
    return lines;
}
