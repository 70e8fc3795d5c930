#include "block_layout.h"

#include "../../foundation/CDibSupport.h"
#include "../../platform/win/bitmap_structs.h"

#include <algorithm>
#include <cstring>

namespace orvel::dib::detail {
namespace {

constexpr DWORD kFileHeaderBytes = sizeof(BITMAPFILEHEADER);
constexpr DWORD kInfoHeaderBytes = sizeof(BITMAPINFOHEADER);
constexpr DWORD kCoreHeaderBytes = sizeof(BITMAPCOREHEADER);
constexpr DWORD kMaskBytes = 12;
constexpr DWORD kInfoTableOffset = kFileHeaderBytes + kInfoHeaderBytes;

// A structure copied out of the block; the caller has checked that it lies inside.
template <class T>
T ReadAt(const BYTE* block, SIZE_T offset) noexcept {
    T value;
    std::memcpy(&value, block + offset, sizeof value);
    return value;
}

// Entries of `entryBytes` bytes that fit between the table's start and the pixels, capped at
// what the header declares.
DWORD StoredEntries(DWORD declared, DWORD tableOffset, DWORD pixelOffset,
                    DWORD entryBytes) noexcept {
    const DWORD room = (pixelOffset - tableOffset) / entryBytes;
    return declared < room ? declared : room;
}

// The uncompressed pixel rows must lie wholly inside the block.
bool RowsFit(const BlockLayout& layout, SIZE_T blockBytes) noexcept {
    return std::uint64_t{layout.pixelOffset} + layout.stored.pixelBytes <= blockBytes;
}

bool InspectCore(const BYTE* block, SIZE_T blockBytes, DWORD pixelOffset,
                 BlockLayout& layout) noexcept {
    if (blockBytes < kFileHeaderBytes + kCoreHeaderBytes) {
        return false;
    }
    const auto core = ReadAt<BITMAPCOREHEADER>(block, kFileHeaderBytes);
    const WORD bitCount = core.bcBitCount;
    // OS/2 1.x pictures come in these depths only; the width and height are unsigned 16 bits.
    if (core.bcPlanes != 1 || (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)) {
        return false;
    }
    const auto geometry = CanonicalGeometry(core.bcWidth, core.bcHeight, bitCount);
    if (!geometry) {
        return false;
    }
    layout.coreHeader = true;
    layout.canonicalBitCount = bitCount;
    layout.coding = PixelCoding::Rgb;
    layout.bitCount = bitCount;
    layout.width = core.bcWidth;
    layout.geometry = *geometry;
    layout.stored = *geometry;
    layout.entries = bitCount <= 8 ? DWORD{1} << bitCount : 0;
    layout.tableOffset = kFileHeaderBytes + kCoreHeaderBytes;
    layout.pixelOffset = pixelOffset;
    if (pixelOffset < layout.tableOffset) {
        return false;
    }
    layout.storedEntries =
        StoredEntries(layout.entries, layout.tableOffset, pixelOffset, sizeof(RGBTRIPLE));
    return RowsFit(layout, blockBytes);
}

// BI_BITFIELDS: only the masks of pixel forms the library can repack into its own.
bool ReadMasks(const BYTE* block, BlockLayout& layout) noexcept {
    const auto red = ReadAt<DWORD>(block, kInfoTableOffset);
    const auto green = ReadAt<DWORD>(block, kInfoTableOffset + 4);
    const auto blue = ReadAt<DWORD>(block, kInfoTableOffset + 8);
    if (layout.bitCount == 16) {
        if (red == 0x7C00 && green == 0x03E0 && blue == 0x001F) {
            layout.coding = PixelCoding::Masks555;
            return true;
        }
        if (red == 0xF800 && green == 0x07E0 && blue == 0x001F) {
            layout.coding = PixelCoding::Masks565;
            return true;
        }
        return false;
    }
    if (layout.bitCount != 32) {
        return false;
    }
    // Each mask must be one whole byte, and the three must be different bytes.
    auto byteOf = [](DWORD mask) -> int {
        for (int index = 0; index < 4; ++index) {
            if (mask == DWORD{0xFF} << (8 * index)) {
                return index;
            }
        }
        return -1;
    };
    const int blueByte = byteOf(blue);
    const int greenByte = byteOf(green);
    const int redByte = byteOf(red);
    if (blueByte < 0 || greenByte < 0 || redByte < 0 || blueByte == greenByte ||
        blueByte == redByte || greenByte == redByte) {
        return false;
    }
    layout.coding = PixelCoding::Masks32;
    layout.channelByte = {static_cast<BYTE>(blueByte), static_cast<BYTE>(greenByte),
                          static_cast<BYTE>(redByte)};
    return true;
}

bool InspectInfo(const BYTE* block, SIZE_T blockBytes, DWORD pixelOffset,
                 BlockLayout& layout) noexcept {
    if (blockBytes < kInfoTableOffset) {
        return false;
    }
    const auto header = ReadAt<BITMAPINFOHEADER>(block, kFileHeaderBytes);
    const WORD bitCount = header.biBitCount;
    const DWORD compression = header.biCompression;
    layout.bitCount = bitCount;
    layout.width = header.biWidth;
    // A top-down picture stores its rows from the top; the library keeps them bottom-up.
    layout.topDown = header.biHeight < 0;
    const std::int64_t rows = layout.topDown ? -std::int64_t{header.biHeight} : header.biHeight;

    if (header.biPlanes != 1) {
        return false;
    }
    layout.tableOffset = kInfoTableOffset;
    switch (compression) {
    case BI_RGB:
        if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
            bitCount != 32) {
            return false;
        }
        layout.coding = PixelCoding::Rgb;
        break;
    case BI_RLE8:
    case BI_RLE4:
        // Run-length codes move up the picture from the bottom row; a top-down stream has no
        // published meaning, and only the matching depth can be decoded.
        if (layout.topDown || bitCount != (compression == BI_RLE8 ? 8 : 4)) {
            return false;
        }
        layout.coding = compression == BI_RLE8 ? PixelCoding::Rle8 : PixelCoding::Rle4;
        break;
    case BI_BITFIELDS:
        if (blockBytes < kInfoTableOffset + kMaskBytes || !ReadMasks(block, layout)) {
            return false;
        }
        layout.tableOffset = kInfoTableOffset + kMaskBytes;
        break;
    default:
        // BI_JPEG, BI_PNG and anything unknown: not a picture the library can decode.
        return false;
    }

    // 5-6-5 pixels become 24 bits: the library's 16-bit form has room for only five green bits.
    layout.canonicalBitCount = layout.coding == PixelCoding::Masks565 ? WORD{24} : bitCount;
    const auto geometry = CanonicalGeometry(header.biWidth, rows, layout.canonicalBitCount);
    if (!geometry) {
        return false;
    }
    layout.geometry = *geometry;
    const auto stored = CanonicalGeometry(header.biWidth, rows, bitCount);
    if (!stored) {
        return false;
    }
    layout.stored = *stored;
    layout.entries = CDibSupport::GetPaletteEntryNum(header);
    layout.pixelOffset = pixelOffset;
    if (pixelOffset < layout.tableOffset || pixelOffset > blockBytes) {
        return false;
    }
    // An indexed file may store fewer colours than its depth allows (biClrUsed); the rest of the
    // canonical table is then zero, never bytes that belong to the pixels. When the full table is
    // there, it is the picture's whatever biClrUsed says: a block kept as it stands reads it
    // whole, and a rebuilt block must show the same colours.
    const bool fullTableStored =
        pixelOffset - layout.tableOffset >= std::uint64_t{4} * layout.entries;
    DWORD declared = layout.entries;
    if (bitCount <= 8 && header.biClrUsed != 0 && header.biClrUsed < declared && !fullTableStored) {
        declared = header.biClrUsed;
    }
    layout.storedEntries =
        StoredEntries(declared, layout.tableOffset, pixelOffset, sizeof(RGBQUAD));

    if (layout.coding == PixelCoding::Rle8 || layout.coding == PixelCoding::Rle4) {
        // The stream runs to the block's end; the decoders stop there whatever the codes say.
        layout.streamBytes =
            static_cast<DWORD>(std::min<SIZE_T>(blockBytes - pixelOffset, DWORD{0xFFFFFFFF}));
        return true;
    }
    if (!RowsFit(layout, blockBytes)) {
        return false;
    }
    // Kept as it stands only when every later step finds what it expects: the "BM" signature (a
    // block is written to files as it stands, and a file without it cannot be read back), pixels
    // right after a full colour table, bottom-up rows, an image size that is the rows' own, and a
    // bfSize that covers the picture without leaving the block (copies take bfSize bytes).
    const auto file = ReadAt<BITMAPFILEHEADER>(block, 0);
    const std::uint64_t contentEnd = std::uint64_t{pixelOffset} + layout.geometry.pixelBytes;
    layout.canonical =
        file.bfType == DIB_SIGNATURE && layout.coding == PixelCoding::Rgb && !layout.topDown &&
        pixelOffset == kInfoTableOffset + 4 * layout.entries &&
        (header.biSizeImage == 0 || header.biSizeImage == layout.geometry.pixelBytes) &&
        file.bfSize >= contentEnd && file.bfSize <= blockBytes;
    return true;
}

} // namespace

bool InspectBlock(const BYTE* block, SIZE_T blockBytes, BlockLayout& layout) noexcept {
    layout = BlockLayout{};
    if (block == nullptr || blockBytes < kFileHeaderBytes + sizeof(DWORD)) {
        return false;
    }
    const auto file = ReadAt<BITMAPFILEHEADER>(block, 0);
    const auto headerBytes = ReadAt<DWORD>(block, kFileHeaderBytes);
    if (headerBytes == kInfoHeaderBytes) {
        return InspectInfo(block, blockBytes, file.bfOffBits, layout);
    }
    if (headerBytes == kCoreHeaderBytes) {
        return InspectCore(block, blockBytes, file.bfOffBits, layout);
    }
    // Later header versions (108 and 124 bytes) and anything else are refused.
    return false;
}

} // namespace orvel::dib::detail
