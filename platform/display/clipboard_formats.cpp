#include "clipboard_formats.h"

#include "../memory/global_memory.h"
#include "../win/bitmap_structs.h"
#include "../win/error.h"

#include <cstring>
#include <new>

namespace orvel::platform::detail {
namespace {

constexpr std::size_t kFileHeaderBytes = sizeof(BITMAPFILEHEADER);
constexpr std::size_t kInfoHeaderBytes = sizeof(BITMAPINFOHEADER);
constexpr std::size_t kMaskBytes = 12;

DWORD ReadDword(const BYTE* bytes) noexcept {
    DWORD value = 0;
    std::memcpy(&value, bytes, 4);
    return value;
}

WORD ReadWord(const BYTE* bytes) noexcept {
    WORD value = 0;
    std::memcpy(&value, bytes, 2);
    return value;
}

// The bytes between the information header and the pixels: the colour table, and the three
// masks of a 40-byte BI_BITFIELDS header. Colour counts beyond any depth's table are left for
// the clipboard's readers to refuse; here they only must not overflow.
std::size_t TableBytes(const BYTE* header, std::size_t headerBytes) noexcept {
    if (headerBytes == sizeof(BITMAPCOREHEADER)) {
        const WORD bits = ReadWord(header + 10);
        return bits <= 8 ? (std::size_t{1} << bits) * sizeof(RGBTRIPLE) : 0;
    }
    const WORD bits = ReadWord(header + 14);
    const DWORD compression = ReadDword(header + 16);
    const DWORD used = ReadDword(header + 32);
    std::size_t entries = used != 0 ? used : (bits <= 8 ? std::size_t{1} << bits : 0);
    if (bits > 8 && used == 0) {
        entries = 0;
    }
    const std::size_t masks =
        headerBytes == kInfoHeaderBytes && compression == BI_BITFIELDS ? kMaskBytes : 0;
    return entries * sizeof(RGBQUAD) + masks;
}

bool KnownHeaderSize(std::size_t headerBytes) noexcept {
    return headerBytes == sizeof(BITMAPCOREHEADER) || headerBytes == kInfoHeaderBytes ||
           headerBytes == 52 || headerBytes == 56 || headerBytes == 108 || headerBytes == 124;
}

HGLOBAL BlockOf(const std::vector<BYTE>& bytes) noexcept {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (block == nullptr) {
        return nullptr;
    }
    void* target = GlobalLock(block);
    if (target == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(target, bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

} // namespace

std::shared_ptr<const std::vector<BYTE>>
BmpFromPackedDib(const std::vector<BYTE>& packedDib) noexcept {
    if (packedDib.size() < 4) {
        return nullptr;
    }
    const std::size_t headerBytes = ReadDword(packedDib.data());
    if (!KnownHeaderSize(headerBytes) || packedDib.size() < headerBytes) {
        return nullptr;
    }
    const std::size_t offBits =
        kFileHeaderBytes + headerBytes + TableBytes(packedDib.data(), headerBytes);
    const std::size_t fileBytes = kFileHeaderBytes + packedDib.size();
    if (offBits > fileBytes || fileBytes > 0xFFFFFFFFU) {
        return nullptr;
    }
    try {
        auto file = std::make_shared<std::vector<BYTE>>(fileBytes);
        BITMAPFILEHEADER fileHeader{0x4D42, static_cast<DWORD>(fileBytes), 0, 0,
                                    static_cast<DWORD>(offBits)};
        std::memcpy(file->data(), &fileHeader, kFileHeaderBytes);
        std::memcpy(file->data() + kFileHeaderBytes, packedDib.data(), packedDib.size());
        return file;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

HGLOBAL PackedDibFromBmp(const std::vector<BYTE>& file) noexcept {
    const std::size_t fileBytes = file.size();
    if (fileBytes < kFileHeaderBytes + 4 || file[0] != 'B' || file[1] != 'M') {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    const BYTE* header = file.data() + kFileHeaderBytes;
    const std::size_t headerBytes = ReadDword(header);
    if (!KnownHeaderSize(headerBytes) || fileBytes - kFileHeaderBytes < headerBytes) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    // Larger headers (v2 to v5) start with the 40-byte one; their masks follow it as a 40-byte
    // BI_BITFIELDS header keeps them.
    const bool shortened = headerBytes > kInfoHeaderBytes;
    const bool bitFields =
        headerBytes >= kInfoHeaderBytes && ReadDword(header + 16) == BI_BITFIELDS;
    const std::size_t keptHeaderBytes = shortened ? kInfoHeaderBytes : headerBytes;
    const std::size_t maskBytes = shortened && bitFields ? kMaskBytes : 0;
    const std::size_t tableBytes = TableBytes(header, headerBytes);
    const std::size_t tableEnd = kFileHeaderBytes + headerBytes + tableBytes;
    if (tableEnd > fileBytes) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    // Pixels start where the file header says, when that lies past the table; writers that
    // leave a gap are read as they meant.
    const std::size_t offBits = ReadDword(file.data() + 10);
    const std::size_t pixelStart = offBits >= tableEnd && offBits <= fileBytes ? offBits : tableEnd;
    std::vector<BYTE> packed;
    try {
        packed.reserve(keptHeaderBytes + maskBytes + tableBytes + (fileBytes - pixelStart));
        packed.insert(packed.end(), header, header + keptHeaderBytes);
        packed.insert(packed.end(), header + kInfoHeaderBytes,
                      header + kInfoHeaderBytes + maskBytes);
        packed.insert(packed.end(), header + headerBytes, header + headerBytes + tableBytes);
        packed.insert(packed.end(), file.data() + pixelStart, file.data() + fileBytes);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (shortened) {
        const DWORD size = kInfoHeaderBytes;
        std::memcpy(packed.data(), &size, 4);
    }
    return BlockOf(packed);
}

} // namespace orvel::platform::detail
