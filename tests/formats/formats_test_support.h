// What the formats suites share: BMP files of any header version built byte by byte, and the
// module's pictures read back as bytes.
#pragma once

#include "dib/picture_reader.h"
#include "support/processes.h"

#include <string>
#include <vector>

namespace orvel::test {

/// The canonical rows of a block (from bfOffBits, biSizeImage bytes).
inline Bytes RowsOf(const Bytes& block) {
    const std::size_t offset = U32At(block, 10);
    return Bytes(block.begin() + static_cast<std::ptrdiff_t>(offset),
                 block.begin() +
                     static_cast<std::ptrdiff_t>(offset + InfoHeaderOf(block).biSizeImage));
}

/// Every pixel's red, green, blue (and alpha, with `alpha`, from the fourth byte of a 32-bit
/// picture and 255 otherwise), top row first.
inline Bytes TopDownPixels(const Bytes& block, bool alpha) {
    const BITMAPINFOHEADER header = InfoHeaderOf(block);
    Bytes out;
    for (int y = 0; y < header.biHeight; ++y) {
        for (int x = 0; x < header.biWidth; ++x) {
            const COLORREF c = ColourAt(block, x, y);
            out.insert(out.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
            if (alpha) {
                const std::size_t stride = StrideOf(header.biWidth, header.biBitCount);
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
    Bytes copy = BlockBytes(block);
    if (block != nullptr) {
        CDib dib;
        EXPECT_TRUE(dib.AttachHandle(block) && dib.IsSucceed()) << "the library refused it";
        EXPECT_EQ(BlockBytes(dib.GetSafeHandle()), copy) << "the library rebuilt it";
    }
    return copy;
}

} // namespace orvel::test
