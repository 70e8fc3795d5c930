// The one builder of BMP files and packed DIBs the suites share: any header version, colour
// table, masks and pixels byte by byte, and the blocks of objects read back as bytes.
#pragma once

#include <orvel/orvel.h>

#include "support/byte_builder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace orvel::test {

using Bytes = std::vector<std::uint8_t>;

/// A BMP file. The information header holds the common fields (those of the 40-byte header, cut
/// at `headerBytes` or padded with zero bytes); the 12-byte one holds 16-bit sizes. Masks go in
/// the header from 52 bytes on and right after the 40-byte one; then `table`, then `pixels`.
/// bfOffBits and bfSize follow the content unless given.
struct Bmp {
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bitCount = 8;
    std::uint32_t compression = BI_RGB;
    std::uint32_t sizeImage = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
    std::uint16_t planes = 1;
    std::uint32_t headerBytes = 40;
    std::vector<std::uint32_t> masks{}; ///< red, green, blue and maybe alpha
    Bytes table{};
    Bytes pixels{};
    std::int64_t offBits = -1;
    std::int64_t fileSize = -1;
};
using Info = Bmp;

inline Bytes MakeBmp(const Bmp& b) {
    ByteBuilder header;
    if (b.headerBytes == 12) {
        header.U32(12).U16(static_cast<std::uint16_t>(b.width));
        header.U16(static_cast<std::uint16_t>(b.height)).U16(b.planes).U16(b.bitCount);
    } else {
        header.U32(b.headerBytes).I32(b.width).I32(b.height).U16(b.planes).U16(b.bitCount);
        header.U32(b.compression).U32(b.sizeImage).U32(2835).U32(2835);
        header.U32(b.clrUsed).U32(b.clrImportant);
        for (std::size_t i = 0; b.headerBytes >= 52 && i < b.masks.size(); ++i) {
            header.U32(b.masks[i]);
        }
    }
    Bytes info = header.Get();
    info.resize(b.headerBytes, 0);
    ByteBuilder masks; // after a 40-byte header
    for (std::size_t i = 0; b.headerBytes == 40 && i < b.masks.size(); ++i) {
        masks.U32(b.masks[i]);
    }
    const auto content = 14 + info.size() + masks.Size() + b.table.size();
    ByteBuilder file;
    file.U16(0x4D42).U32(static_cast<std::uint32_t>(
        b.fileSize >= 0 ? b.fileSize : static_cast<std::int64_t>(content + b.pixels.size())));
    file.U32(0).U32(static_cast<std::uint32_t>(b.offBits >= 0 ? b.offBits : content));
    return file.Bytes(info).Bytes(masks.Get()).Bytes(b.table).Bytes(b.pixels).Get();
}

/// The packed DIB of a file: everything after its file header.
inline Bytes Packed(const Bytes& file) {
    return Bytes(file.begin() + 14, file.end());
}

/// `count` colour entries: entry i is (blue i, green 2i, red 3i).
inline Bytes Colours(unsigned count, unsigned entryBytes = 4) {
    Bytes table;
    for (unsigned i = 0; i < count * entryBytes; ++i) {
        const unsigned field = i % entryBytes;
        table.push_back(static_cast<std::uint8_t>(field < 3 ? (field + 1) * (i / entryBytes) : 0));
    }
    return table;
}

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

inline std::size_t StrideOf(int width, int bitCount) {
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32 * 4;
}

/// A BMP file of `width` x `height` pixels whose value at i (rows from the top) is `value(i)`:
/// an index into `table` (entries beyond it zero) up to 8 bits, the leftmost pixel in the highest
/// bits; a colour at 24 bits. Rows padded with zeros.
inline Bytes PackedBmp(int width, int height, int bitCount, const std::vector<COLORREF>& table,
                       const std::function<COLORREF(std::size_t)>& value) {
    const std::size_t stride = StrideOf(width, bitCount);
    Bytes pixels(stride * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF v = value(static_cast<std::size_t>(y * width + x));
            const auto bit = static_cast<std::size_t>(x * bitCount);
            std::uint8_t* at =
                pixels.data() + stride * static_cast<std::size_t>(height - 1 - y) + bit / 8;
            if (bitCount <= 8) {
                at[0] |= static_cast<std::uint8_t>(v << (8 - bitCount - bit % 8));
            } else {
                at[0] = GetBValue(v);
                at[1] = GetGValue(v);
                at[2] = GetRValue(v);
            }
        }
    }
    Bytes colours;
    for (std::size_t i = 0; bitCount <= 8 && i < std::size_t{1} << bitCount; ++i) {
        const COLORREF c = i < table.size() ? table[i] : 0;
        colours.insert(colours.end(), {GetBValue(c), GetGValue(c), GetRValue(c), 0});
    }
    return MakeBmp({.width = width,
                    .height = height,
                    .bitCount = static_cast<std::uint16_t>(bitCount),
                    .table = colours,
                    .pixels = pixels});
}

/// A 24-bit BMP file of `colours`, rows from the top.
inline Bytes Bmp24(int width, int height, const std::vector<COLORREF>& colours) {
    return PackedBmp(width, height, 24, {}, [&](std::size_t i) { return colours[i]; });
}

/// A BMP file of `indexes` (rows from the top) into `table`, at 1, 4 or 8 bits per pixel.
inline Bytes IndexedBmp(int width, int height, const std::vector<COLORREF>& table,
                        const std::vector<std::uint8_t>& indexes, int bitCount = 8) {
    return PackedBmp(width, height, bitCount, table, [&](std::size_t i) { return indexes[i]; });
}

/// Every byte of a block; empty without one.
inline Bytes BlockBytes(HGLOBAL block) {
    Bytes bytes(block != nullptr ? GlobalSize(block) : 0);
    if (const auto* base =
            block != nullptr ? static_cast<const std::uint8_t*>(GlobalLock(block)) : nullptr) {
        std::memcpy(bytes.data(), base, bytes.size());
        // One unlock for the one lock: a full unlock here would hide a lock an operation leaked.
        GlobalUnlock(block);
    }
    return bytes;
}
inline Bytes BlockBytes(const CDib& dib) {
    return BlockBytes(dib.GetSafeHandle());
}

/// A 32-bit field of a block or file image.
inline std::uint32_t U32At(const Bytes& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

/// The information header of a file image, read as 40 bytes from offset 14.
inline BITMAPINFOHEADER InfoHeaderOf(const Bytes& file) {
    BITMAPINFOHEADER header{};
    std::memcpy(&header, file.data() + 14, sizeof header);
    return header;
}

/// A palette of the given entries; the caller destroys it.
inline HPALETTE MakePalette(const std::vector<PALETTEENTRY>& entries) {
    std::vector<BYTE> storage(LogPaletteBytes(static_cast<UINT>(entries.size())));
    auto* logPalette = reinterpret_cast<LOGPALETTE*>(storage.data());
    logPalette->palVersion = PALETTE_VERSION;
    logPalette->palNumEntries = static_cast<WORD>(entries.size());
    std::copy(entries.begin(), entries.end(), logPalette->palPalEntry);
    return CreatePalette(logPalette);
}

/// A palette of the given colours; the caller destroys it.
inline HPALETTE PaletteOfColours(const std::vector<COLORREF>& colours) {
    std::vector<PALETTEENTRY> entries(colours.size());
    std::transform(colours.begin(), colours.end(), entries.begin(), [](COLORREF c) {
        return PALETTEENTRY{GetRValue(c), GetGValue(c), GetBValue(c), 0};
    });
    return MakePalette(entries);
}

/// The system palette's colours in index order, as `dc` reads them.
inline std::vector<COLORREF> SystemColours(HDC dc) {
    std::vector<PALETTEENTRY> entries(256);
    GetSystemPaletteEntries(dc, 0, 256, entries.data());
    std::vector<COLORREF> colours(entries.size());
    std::transform(entries.begin(), entries.end(), colours.begin(),
                   [](const PALETTEENTRY& e) { return RGB(e.peRed, e.peGreen, e.peBlue); });
    return colours;
}

/// The system's halftone palette, all 256 entries.
inline std::vector<PALETTEENTRY> HalftoneEntries() {
    HDC screen = GetDC(nullptr);
    HPALETTE halftone = CreateHalftonePalette(screen);
    ReleaseDC(nullptr, screen);
    std::vector<PALETTEENTRY> entries(256);
    GetPaletteEntries(halftone, 0, 256, entries.data());
    DeleteObject(halftone);
    return entries;
}

} // namespace orvel::test
