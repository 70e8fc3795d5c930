#include "CDib.h"

#include "../foundation/CDibSupport.h"
#include "../platform/memory/global_memory.h"
#include "detail/picture_geometry.h"
#include "picture_limits.h"

#include <cstdint>
#include <cstring>

// Builds a DIB block from a 40-byte header and its colours and pixels, given separately or, when
// null, taken from a packed DIB right after the header.
//
// The header is checked before anything is allocated: it must be a 40-byte header of a picture
// within kDibMaxPixelBytes, and what it says is read from the caller is bounded by that limit.
// A packed DIB carries, after the header, a BI_BITFIELDS picture's three masks (the normalisation
// step repacks them), then `count` colours — when count is 0, the full table of
// GetPaletteEntryNum entries, whatever biClrUsed says: the library's own packed DIBs (the
// clipboard copy of a picture, a conversion's work block) always hold the full table even when
// their header keeps a smaller biClrUsed, so reading biClrUsed colours would misplace their
// pixels. A caller that knows a packed DIB stores fewer colours passes that count.
HGLOBAL CDib::MakeDib(BITMAPINFOHEADER* header, void* pixels, RGBQUAD* colours, WORD count) {
    if (header == nullptr) {
        SetProgError(14);
        return nullptr;
    }
    // The header's size comes first: a shorter header (an OS/2 core one) is refused before
    // anything past it is read.
    DWORD headerBytes = 0;
    std::memcpy(&headerBytes, header, sizeof headerBytes);
    if (headerBytes != sizeof(BITMAPINFOHEADER)) {
        SetClassError(1);
        return nullptr;
    }
    BITMAPINFOHEADER copy;
    std::memcpy(&copy, header, sizeof copy);
    const std::int64_t rows = copy.biHeight < 0 ? -std::int64_t{copy.biHeight} : copy.biHeight;
    const auto geometry =
        orvel::dib::detail::CanonicalGeometry(copy.biWidth, rows, copy.biBitCount);
    if (!geometry || copy.biSizeImage > kDibMaxPixelBytes) {
        SetClassError(1);
        return nullptr;
    }
    // A run-length stream's length cannot be told from the picture's size: only biSizeImage
    // says how much of the caller's memory is the stream, so without it the stream cannot be
    // read safely.
    const bool runLength = copy.biCompression == BI_RLE8 || copy.biCompression == BI_RLE4;
    if (runLength && copy.biSizeImage == 0) {
        SetClassError(1);
        return nullptr;
    }
    // The rows of a top-down picture take as many bytes as bottom-up ones.
    if (copy.biSizeImage == 0) {
        copy.biSizeImage = geometry->pixelBytes;
    }
    const bool packed = colours == nullptr;
    const DWORD entries = CDibSupport::GetPaletteEntryNum(copy);
    const DWORD storedEntries = count != 0 ? count : entries;
    const DWORD maskBytes = packed && copy.biCompression == BI_BITFIELDS ? 12 : 0;
    const auto* packedBytes = reinterpret_cast<const BYTE*>(header);
    const BYTE* tableSource =
        packed ? packedBytes + sizeof copy + maskBytes : reinterpret_cast<const BYTE*>(colours);
    const BYTE* pixelSource = pixels != nullptr
                                  ? static_cast<const BYTE*>(pixels)
                                  : packedBytes + sizeof copy + maskBytes + 4 * storedEntries;

    BITMAPFILEHEADER file = CDibSupport::MakeBFH(&copy);
    file.bfOffBits += maskBytes;
    file.bfSize += maskBytes;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, file.bfSize);
    if (block == nullptr) {
        SetSystemError();
        return nullptr;
    }
    CDibInfo view(block);
    BYTE* target = view.GetDIB();
    if (target == nullptr) {
        SetSystemError();
        view.Load(nullptr);
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(target, &file, sizeof file);
    std::memcpy(target + sizeof file, &copy, sizeof copy);
    BYTE* table = target + sizeof file + sizeof copy;
    if (maskBytes != 0) {
        std::memcpy(table, packedBytes + sizeof copy, maskBytes);
        table += maskBytes;
    }
    // Never more colours than the table has room for, whatever count says.
    const DWORD copiedEntries = storedEntries < entries ? storedEntries : entries;
    std::memcpy(table, tableSource, std::size_t{4} * copiedEntries);
    std::memcpy(target + file.bfOffBits, pixelSource, copy.biSizeImage);
    return block;
}
