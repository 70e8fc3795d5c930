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
// A packed DIB is laid out as its header says: a BI_BITFIELDS picture keeps its three masks
// after the header (the normalisation step repacks them), and an indexed picture whose biClrUsed
// is below its depth's colour count stores only that many colours, so its pixels are found right
// after them and the table is widened with zero entries.
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
    // The rows of a top-down picture take as many bytes as bottom-up ones.
    if (copy.biSizeImage == 0) {
        copy.biSizeImage = geometry->pixelBytes;
    }
    const bool packed = colours == nullptr;
    const DWORD entries = CDibSupport::GetPaletteEntryNum(copy);
    DWORD storedEntries = count != 0 ? count : entries;
    if (packed && count == 0 && copy.biBitCount <= 8 && copy.biClrUsed != 0 &&
        copy.biClrUsed < entries) {
        storedEntries = copy.biClrUsed;
    }
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
