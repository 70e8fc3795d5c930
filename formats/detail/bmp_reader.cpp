#include "bmp_reader.h"

#include "../../platform/memory/global_memory.h"
#include "../../platform/png/png_codec.h"
#include "../../platform/win/bitmap_structs.h"
#include "../../platform/win/error.h"
#include "bmp_header.h"
#include "bmp_rows.h"
#include "byte_reader.h"
#include "codec_errors.h"

#include <cstring>

namespace orvel::formats::detail {
namespace {

constexpr std::uint64_t kFileHeaderBytes = sizeof(BITMAPFILEHEADER);
constexpr std::uint64_t kInfoHeaderBytes = sizeof(BITMAPINFOHEADER);
constexpr DWORD kLibraryMasks555[3] = {0x7C00, 0x03E0, 0x001F};

/// Bytes of a row of `width` pixels of `bitCount` bits, padded to 4 bytes. width < 2^31 and
/// bitCount < 2^16 keep the product far inside 64 bits.
std::uint64_t StrideOf(std::int64_t width, WORD bitCount) noexcept {
    return (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
}

/// The canonical pixel area, refused when over the limit: a row longer than the limit, more rows
/// than a quarter of it (the rows of the smallest non-empty stride, so that a picture of width 0
/// cannot claim absurd heights), or stride x rows over it.
bool PixelAreaFits(const BmpHeader& header, WORD bitCount, std::uint64_t limit,
                   std::uint64_t& stride, std::uint64_t& pixelBytes) noexcept {
    stride = StrideOf(header.width, bitCount);
    const auto rows = static_cast<std::uint64_t>(header.rows);
    if (stride > limit || rows > limit / 4 || (stride != 0 && rows > limit / stride)) {
        return false;
    }
    pixelBytes = stride * rows;
    return pixelBytes <= DWORD{0xFFFFFFFF};
}

/// The embedded JPEG or PNG of a BI_JPEG or BI_PNG file.
HGLOBAL ReadEmbedded(const BYTE* bytes, const BmpHeader& header, const ReadOptions& options,
                     Error& error) {
    const BYTE* data = bytes + header.pixelOffset;
    const std::string where = "BMP " + header.version + ": the embedded ";
    HGLOBAL block = nullptr;
    if (header.coding == BmpCoding::jpeg) {
        jpeg::Error codecError;
        block = jpeg::DecodeJpeg(data, header.pixelDataBytes, options.orientation,
                                 options.maxPixelBytes, &codecError);
        if (block == nullptr) {
            error = FromJpegError(codecError);
        }
    } else {
        png::Error codecError;
        block = png::DecodePng(data, header.pixelDataBytes, png::DibLayout::withFileHeader,
                               options.maxPixelBytes, &codecError);
        if (block == nullptr) {
            error = FromPngError(codecError);
        }
    }
    if (block == nullptr) {
        error.format = Format::bmp;
        error.message = where + error.message;
    }
    return block;
}

/// The colour table: stored entries (three or four bytes each) as RGBQUADs, the rest left zero.
void CopyColourTable(const BYTE* bytes, const BmpHeader& header, BYTE* table) noexcept {
    const BYTE* entry = bytes + header.tableOffset;
    for (DWORD i = 0; i < header.storedEntries; ++i, entry += header.entryBytes, table += 4) {
        table[0] = entry[0];
        table[1] = entry[1];
        table[2] = entry[2];
    }
}

/// `fileBlock` holds `bytes` when the reader owns them: a run-length stream's memory then goes
/// back as it is decoded.
void DecodePixels(const BYTE* bytes, const BmpHeader& header, WORD canvasBits, const Canvas& canvas,
                  HGLOBAL fileBlock) {
    const BYTE* pixels = bytes + header.pixelOffset;
    if (IsRunLength(header.coding)) {
        DecodeRunLengths(pixels, header.pixelDataBytes, header.bitCount, canvas,
                         StreamBlock{fileBlock, header.pixelOffset});
        return;
    }
    const auto sourceStride = static_cast<std::ptrdiff_t>(StrideOf(header.width, header.bitCount));
    SourceRows source{pixels, sourceStride};
    if (header.topDown && canvas.rowCount != 0) {
        source.bottom = pixels + sourceStride * static_cast<std::ptrdiff_t>(canvas.rowCount - 1);
        source.stepUp = -sourceStride;
    }
    if (header.coding == BmpCoding::bitFields && canvasBits != 16) {
        const std::array<FieldScale, 4> fields = {
            MakeFieldScale(header.masks[0]), MakeFieldScale(header.masks[1]),
            MakeFieldScale(header.masks[2]), MakeFieldScale(header.masks[3])};
        ScaleFieldRows(source, header.bitCount, fields, canvasBits, canvas);
    } else if (header.bitCount == 2) {
        WidenRows2To4(source, canvas);
    } else {
        CopyRows(source, header.bitCount, canvas);
    }
}

/// A file already laid out as the library keeps pictures: a 40-byte BI_RGB header, bottom-up
/// rows right after the full colour table (a direct-colour picture declares none: the library
/// reads biClrUsed or biClrImportant entries before its rows), an image size of 0 or the rows'
/// own, and a bfSize that covers the picture within the file. Its first bfSize bytes are the
/// picture as they stand, so a file the library writes reads back byte for byte.
bool KeptAsStored(const BmpHeader& header, WORD canvasBits, std::uint64_t pixelBytes,
                  std::size_t byteCount) noexcept {
    const std::uint64_t tableBytes = canvasBits <= 8 ? (std::uint64_t{4} << canvasBits) : 0;
    const std::uint64_t pixelsOffset = kFileHeaderBytes + kInfoHeaderBytes + tableBytes;
    return header.headerBytes == kInfoHeaderBytes && header.coding == BmpCoding::rgb &&
           !header.topDown && canvasBits == header.bitCount &&
           (canvasBits <= 8 || (header.coloursUsed == 0 && header.coloursImportant == 0)) &&
           header.pixelOffset == pixelsOffset &&
           (header.imageBytes == 0 || header.imageBytes == pixelBytes) &&
           header.fileBytes >= pixelsOffset + pixelBytes && header.fileBytes <= byteCount;
}

HGLOBAL CopyOfFile(const BYTE* bytes, DWORD byteCount, Error& error) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, byteCount);
    void* base = block != nullptr ? GlobalLock(block) : nullptr;
    if (base == nullptr) {
        if (block != nullptr) {
            GlobalFree(block);
        }
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        error = Error{Failure::noMemory, Format::bmp, "BMP: no memory for the picture"};
        return nullptr;
    }
    std::memcpy(base, bytes, byteCount);
    GlobalUnlock(block);
    return block;
}

} // namespace

WORD CanonicalBitCount(const BmpHeader& header) noexcept {
    switch (header.coding) {
    case BmpCoding::rgb:
        return header.bitCount == 2 ? 4 : header.bitCount;
    case BmpCoding::bitFields:
        if (header.masks[3] != 0) {
            return 32;
        }
        if (header.bitCount == 16 && header.masks[0] == kLibraryMasks555[0] &&
            header.masks[1] == kLibraryMasks555[1] && header.masks[2] == kLibraryMasks555[2]) {
            return 16;
        }
        return 24;
    default:
        return header.bitCount;
    }
}

HGLOBAL ReadBmp(const BYTE* bytes, std::size_t byteCount, const ReadOptions& options, Error& error,
                HGLOBAL fileBlock) {
    BmpHeader header;
    if (!ReadBmpHeader(bytes, byteCount, header, error)) {
        return nullptr;
    }
    if (header.coding == BmpCoding::jpeg || header.coding == BmpCoding::png) {
        return ReadEmbedded(bytes, header, options, error);
    }
    auto refuse = [&](Failure failure, const std::string& fault) -> HGLOBAL {
        error = Error{failure, Format::bmp, "BMP " + header.version + ": " + fault};
        return nullptr;
    };
    const WORD canvasBits = CanonicalBitCount(header);
    std::uint64_t stride = 0;
    std::uint64_t pixelBytes = 0;
    if (!PixelAreaFits(header, canvasBits, options.maxPixelBytes, stride, pixelBytes)) {
        return refuse(Failure::tooLarge, std::to_string(header.width) + " x " +
                                             std::to_string(header.rows) +
                                             " pixels exceed the limit of " +
                                             std::to_string(options.maxPixelBytes) + " bytes");
    }
    if (!IsRunLength(header.coding) && header.rows != 0) {
        // Every stored row must be in the file; the last one may lack its padding.
        const std::uint64_t sourceStride = StrideOf(header.width, header.bitCount);
        const std::uint64_t lastRowBytes =
            (static_cast<std::uint64_t>(header.width) * header.bitCount + 7) / 8;
        const auto rows = static_cast<std::uint64_t>(header.rows);
        const std::uint64_t needed = sourceStride * (rows - 1) + lastRowBytes;
        if (sourceStride != 0 &&
            (rows - 1 > header.pixelDataBytes / sourceStride || needed > header.pixelDataBytes)) {
            return refuse(Failure::truncated, "the file ends inside the pixels (" +
                                                  std::to_string(header.pixelDataBytes) + " of " +
                                                  std::to_string(needed) + " bytes)");
        }
    }

    if (KeptAsStored(header, canvasBits, pixelBytes, byteCount)) {
        // Bytes past bfSize (a trailer some programs append) are not the picture's.
        if (fileBlock != nullptr && header.fileBytes == byteCount) {
            return fileBlock;
        }
        return CopyOfFile(bytes, header.fileBytes, error);
    }
    const std::uint64_t tableBytes = canvasBits <= 8 ? (std::uint64_t{4} << canvasBits) : 0;
    const std::uint64_t pixelsOffset = kFileHeaderBytes + kInfoHeaderBytes + tableBytes;
    const std::uint64_t blockBytes = pixelsOffset + pixelBytes;
    if (blockBytes > DWORD{0xFFFFFFFF}) {
        return refuse(Failure::tooLarge, "the picture's block exceeds 4 GiB");
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, blockBytes);
    if (block == nullptr) {
        return refuse(Failure::noMemory, "no memory for the picture");
    }
    auto* base = static_cast<BYTE*>(GlobalLock(block));
    if (base == nullptr) {
        GlobalFree(block);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return refuse(Failure::noMemory, "the picture's block cannot be locked");
    }
    BITMAPFILEHEADER file{};
    file.bfType = DIB_SIGNATURE;
    file.bfSize = static_cast<DWORD>(blockBytes);
    file.bfOffBits = static_cast<DWORD>(pixelsOffset);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = static_cast<LONG>(header.width);
    info.biHeight = static_cast<LONG>(header.rows);
    info.biPlanes = 1;
    info.biBitCount = canvasBits;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(pixelBytes);
    if (!header.os2 || header.headerBytes >= 32) {
        const BYTE* stored = bytes + kFileHeaderBytes;
        info.biXPelsPerMeter = static_cast<LONG>(Field32(stored, header.headerBytes, 24));
        info.biYPelsPerMeter = static_cast<LONG>(Field32(stored, header.headerBytes, 28));
    }
    std::memcpy(base, &file, sizeof file);
    std::memcpy(base + kFileHeaderBytes, &info, sizeof info);
    CopyColourTable(bytes, header, base + kFileHeaderBytes + kInfoHeaderBytes);
    const Canvas canvas{base + pixelsOffset, static_cast<std::size_t>(stride),
                        static_cast<std::size_t>(header.rows),
                        static_cast<std::size_t>(header.width)};
    DecodePixels(bytes, header, canvasBits, canvas, fileBlock);
    GlobalUnlock(block);
    return block;
}

} // namespace orvel::formats::detail
