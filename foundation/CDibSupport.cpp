#include "CDibSupport.h"

#include "../platform/afx/dc.h"
#include "../platform/afx/gdi_object.h"
#include "../platform/afx/object_allocator.h"
#include "../platform/gdi/gdi_object.h"
#include "../platform/gdi/palette.h"
#include "../platform/memory/global_memory.h"
#include "CDibInfo.h"

#include <algorithm>
#include <cstring>

const PALETTEENTRY kTwoColourPalette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};

// Blue comes before red: entry 1 is dark blue, entry 3 dark red, entry 9 blue, entry 11 red.
const PALETTEENTRY kSixteenColourPalette[16] = {
    {0, 0, 0, 0},       {0, 0, 128, 0},   {0, 128, 0, 0},   {128, 0, 0, 0},
    {0, 128, 128, 0},   {128, 0, 128, 0}, {128, 128, 0, 0}, {128, 128, 128, 0},
    {192, 192, 192, 0}, {0, 0, 255, 0},   {0, 255, 0, 0},   {255, 0, 0, 0},
    {0, 255, 255, 0},   {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0},
};

namespace {

// The 32-bit stride: the row's bits rounded up to a multiple of 32, in bytes. Computed in 64
// bits and narrowed, so headers too large for 32-bit arithmetic give a defined value.
std::int64_t Stride(const BITMAPINFOHEADER& header) noexcept {
    const std::int64_t rowBits = static_cast<std::int64_t>(header.biWidth) * header.biBitCount;
    return ((rowBits + 31) >> 3) & ~std::int64_t{3};
}

DWORD Narrow(std::int64_t value) noexcept {
    return static_cast<DWORD>(value);
}

// a x b modulo 2^32: the value the 32-bit product has, computed without signed overflow.
DWORD WrappingProduct(std::int64_t a, std::int64_t b) noexcept {
    return static_cast<DWORD>(static_cast<std::uint64_t>(a) * static_cast<std::uint64_t>(b));
}

// Builds a palette from a fixed table into `palette`. A failed allocation or creation leaves the
// palette empty; the caller's result does not depend on it.
void MakeFixedPalette(CPalette& palette, const PALETTEENTRY* entries, WORD count) noexcept {
    auto* logPalette = static_cast<LOGPALETTE*>(AfxAllocateBytes(LogPaletteBytes(count)));
    if (logPalette == nullptr) {
        return;
    }
    logPalette->palVersion = PALETTE_VERSION;
    logPalette->palNumEntries = count;
    for (WORD i = 0; i < count; ++i) {
        logPalette->palPalEntry[i] = {entries[i].peRed, entries[i].peGreen, entries[i].peBlue, 0};
    }
    palette.CreatePalette(logPalette);
    AfxFreeBytes(logPalette);
}

} // namespace

WORD CDibSupport::GetPaletteEntryNum(const BITMAPINFOHEADER* header) noexcept {
    return header != nullptr ? GetPaletteEntryNum(*header) : 0;
}

WORD CDibSupport::GetPaletteEntryNum(const BITMAPINFOHEADER& header) noexcept {
    if (header.biBitCount <= 8) {
        return static_cast<WORD>(1U << header.biBitCount);
    }
    if (header.biClrImportant != 0) {
        return static_cast<WORD>(header.biClrImportant);
    }
    return static_cast<WORD>(header.biClrUsed);
}

DWORD CDibSupport::GetColorNum(const BITMAPINFOHEADER& header) noexcept {
    return DWORD{1} << (header.biBitCount % 32U);
}

DWORD CDibSupport::GetImageSize(const BITMAPINFOHEADER& header) noexcept {
    if (header.biSizeImage != 0) {
        return header.biSizeImage;
    }
    return WrappingProduct(Stride(header), header.biHeight);
}

DWORD CDibSupport::GetBytePerLine(const BITMAPINFOHEADER& header) noexcept {
    return Narrow(Stride(header));
}

DWORD CDibSupport::GetDIBSize(const BITMAPINFOHEADER& header) noexcept {
    return GetImageSize(header) + 4U * GetPaletteEntryNum(header) + sizeof(BITMAPFILEHEADER) +
           sizeof(BITMAPINFOHEADER);
}

DWORD CDibSupport::GetBISize(const BITMAPINFOHEADER& header) noexcept {
    return sizeof(BITMAPINFOHEADER) + 4U * GetPaletteEntryNum(header);
}

DWORD CDibSupport::GetPixelOffset(const BITMAPINFOHEADER& header, LONG x, LONG y) noexcept {
    const std::int64_t row = static_cast<std::int64_t>(header.biHeight) - y - 1;
    return WrappingProduct(Stride(header), row) + WrappingProduct(header.biBitCount >> 3, x);
}

BITMAPINFOHEADER CDibSupport::MakeBIH(LONG width, LONG height, WORD bitCount, DWORD compression,
                                      DWORD imageSize, LONG xPelsPerMeter, LONG yPelsPerMeter,
                                      DWORD colorsUsed, DWORD colorsImportant) noexcept {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = bitCount;
    header.biCompression = compression;
    header.biSizeImage = imageSize;
    header.biXPelsPerMeter = xPelsPerMeter;
    header.biYPelsPerMeter = yPelsPerMeter;
    header.biClrUsed = colorsUsed;
    header.biClrImportant = colorsImportant;
    return header;
}

BITMAPFILEHEADER CDibSupport::MakeBFH(const BITMAPINFOHEADER* header) noexcept {
    // The 54 is the 14-byte file header and a 40-byte information header, whatever biSize says:
    // the blocks the library builds always carry a 40-byte header.
    const DWORD tableBytes = 4U * GetPaletteEntryNum(header);
    BITMAPFILEHEADER file{};
    file.bfType = DIB_SIGNATURE;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + tableBytes;
    file.bfSize = (header != nullptr ? GetImageSize(*header) : 0) + file.bfOffBits;
    file.bfReserved1 = 0;
    file.bfReserved2 = 0;
    return file;
}

BOOL CDibSupport::GetBIHFromBFH(HGLOBAL block, HGLOBAL* packed) noexcept {
    if (block == nullptr || packed == nullptr) {
        return FALSE;
    }
    auto* source = static_cast<BYTE*>(GlobalLock(block));
    if (source == nullptr) {
        return FALSE;
    }
    const SIZE_T blockBytes = GlobalSize(block);
    // A block too small to hold a file header has no packed form; the size stays unsigned-safe.
    const SIZE_T packedBytes =
        blockBytes > sizeof(BITMAPFILEHEADER) ? blockBytes - sizeof(BITMAPFILEHEADER) : 0;
    *packed = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DISCARDABLE, packedBytes);
    if (*packed == nullptr) {
        GlobalUnlock(block);
        return FALSE;
    }
    auto* target = static_cast<BYTE*>(GlobalLock(*packed));
    if (target == nullptr) {
        GlobalUnlock(block);
        GlobalFree(*packed);
        *packed = nullptr;
        return FALSE;
    }
    std::memcpy(target, source + sizeof(BITMAPFILEHEADER), packedBytes);
    GlobalUnlock(*packed);
    GlobalUnlock(block);
    return TRUE;
}

BOOL CDibSupport::MakeNewPalette(CPalette& palette, WORD bitCount) noexcept {
    switch (bitCount) {
    case 1:
        MakeFixedPalette(palette, kTwoColourPalette, 2);
        return TRUE;
    case 4:
        MakeFixedPalette(palette, kSixteenColourPalette, 16);
        return TRUE;
    case 8: {
        CWindowDC screen(nullptr);
        palette.CreateHalftonePalette(&screen);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

BOOL CDibSupport::GetRGBQUAD(CPalette* palette, RGBQUAD* table, int bitCount) noexcept {
    constexpr int kScratchEntries = 256;
    if (palette == nullptr || table == nullptr || bitCount < 0) {
        return TRUE;
    }
    WORD count = 0;
    ::GetObjectA(palette->m_hObject, sizeof count, &count);
    int entries = count;
    if (bitCount != 0 && bitCount < 16) {
        entries = std::min(1 << bitCount, static_cast<int>(count));
    }
    entries = std::min(entries, kScratchEntries);
    PALETTEENTRY scratch[kScratchEntries];
    const UINT copied = ::GetPaletteEntries(*palette, 0, static_cast<UINT>(entries), scratch);
    for (UINT i = 0; i < copied; ++i) {
        table[i].rgbBlue = scratch[i].peBlue;
        table[i].rgbGreen = scratch[i].peGreen;
        table[i].rgbRed = scratch[i].peRed;
        table[i].rgbReserved = 0;
    }
    return TRUE;
}
