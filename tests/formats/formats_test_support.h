// What the formats suites share: BMP files of any header version built byte by byte, and the
// module's pictures read back as bytes.
#pragma once

#include "dib/picture_reader.h"

#include <string>
#include <vector>

namespace orvel::test {

/// A BMP file of any header version. The information header holds the common fields (those of
/// the 40-byte header, cut at `headerBytes` or padded with zero bytes), masks in the header for
/// versions of 52 bytes and more and right after it for the 40-byte one, then `table`, then
/// `pixels`. The 12-byte header holds 16-bit sizes.
struct BmpLayout {
    std::uint32_t headerBytes = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = BI_RGB;
    std::vector<std::uint32_t> masks{}; ///< red, green, blue and maybe alpha
    std::uint32_t clrUsed = 0;
    Bytes table{};
    Bytes pixels{};
};

inline Bytes MakeBmp(const BmpLayout& layout) {
    ByteBuilder header;
    if (layout.headerBytes == 12) {
        header.U32(12).U16(static_cast<std::uint16_t>(layout.width));
        header.U16(static_cast<std::uint16_t>(layout.height)).U16(1).U16(layout.bitCount);
    } else {
        header.U32(layout.headerBytes)
            .I32(layout.width)
            .I32(layout.height)
            .U16(1)
            .U16(layout.bitCount);
        header.U32(layout.compression).U32(static_cast<std::uint32_t>(layout.pixels.size()));
        header.U32(2835).U32(2835).U32(layout.clrUsed).U32(0);
        for (std::size_t i = 0; layout.headerBytes >= 52 && i < layout.masks.size(); ++i) {
            header.U32(layout.masks[i]);
        }
    }
    Bytes info = header.Get();
    info.resize(layout.headerBytes, 0);
    ByteBuilder masks;
    for (std::size_t i = 0; layout.headerBytes == 40 && i < layout.masks.size(); ++i) {
        masks.U32(layout.masks[i]);
    }
    const auto offBits =
        static_cast<std::uint32_t>(14 + info.size() + masks.Size() + layout.table.size());
    ByteBuilder file;
    file.U16(0x4D42).U32(static_cast<std::uint32_t>(offBits + layout.pixels.size())).U32(0);
    file.U32(offBits).Bytes(info).Bytes(masks.Get()).Bytes(layout.table).Bytes(layout.pixels);
    return file.Get();
}

/// The canonical rows of a block (from bfOffBits, biSizeImage bytes).
inline Bytes RowsOf(const Bytes& block) {
    const std::size_t offset = U32At(block, 10);
    return Bytes(block.begin() + static_cast<std::ptrdiff_t>(offset),
                 block.begin() + static_cast<std::ptrdiff_t>(offset + HeaderOf(block).biSizeImage));
}

/// Every pixel's red, green, blue (and alpha, with `alpha`, from the fourth byte of a 32-bit
/// picture and 255 otherwise), top row first.
inline Bytes TopDownPixels(const Bytes& block, bool alpha) {
    const BITMAPINFOHEADER header = HeaderOf(block);
    Bytes out;
    for (int y = 0; y < header.biHeight; ++y) {
        for (int x = 0; x < header.biWidth; ++x) {
            const COLORREF c = ColourAt(block, x, y);
            out.insert(out.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
            if (alpha) {
                const std::size_t stride =
                    (std::size_t{header.biBitCount} * header.biWidth + 31) / 32 * 4;
                const std::size_t at = U32At(block, 10) +
                                       static_cast<std::size_t>(header.biHeight - 1 - y) * stride +
                                       static_cast<std::size_t>(x) * 4 + 3;
                out.push_back(header.biBitCount == 32 ? block[at] : 255);
            }
        }
    }
    return out;
}

/// The module's picture of `bytes`, as bytes; empty with `error` set on refusal. Every picture is
/// also handed to a CDib, which must keep it as it stands: the module's blocks are canonical.
inline Bytes ReadWithModule(const Bytes& bytes, formats::Error* error,
                            const formats::ReadOptions& options = {}) {
    HGLOBAL block = formats::ReadPicture(bytes.data(), bytes.size(), options, error);
    const Bytes copy = BlockBytes(block);
    if (block != nullptr) {
        CDib dib;
        EXPECT_TRUE(dib.AttachHandle(block) && dib.IsSucceed()) << "the library refused it";
        EXPECT_EQ(BlockBytes(dib.GetSafeHandle()), copy) << "the library rebuilt it";
    }
    return copy;
}

} // namespace orvel::test
