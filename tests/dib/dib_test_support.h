// Helpers shared by the picture tests: BMP files built byte by byte, a window onto the protected
// steps of CDib, and readers of what an object holds.
#pragma once

#include <orvel/orvel.h>

#include "support/bmp_builder.h"
#include "support/live_objects.h"
#include "support/processes.h"
#include "support/status.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace orvel::test {

/// A BMP file with a 40-byte header (InfoFile) or a 12-byte one with RGBTRIPLE colours (CoreFile).
inline Bytes InfoFile(Info info, const Bytes& table, const Bytes& pixels, std::int64_t offBits = -1,
                      std::int64_t fileSize = -1) {
    info.table = table;
    info.pixels = pixels;
    info.offBits = offBits;
    info.fileSize = fileSize;
    return MakeBmp(info);
}
inline Bytes CoreFile(std::uint16_t width, std::uint16_t height, std::uint16_t bitCount,
                      const Bytes& triples, const Bytes& pixels) {
    return MakeBmp({.width = width,
                    .height = height,
                    .bitCount = bitCount,
                    .headerBytes = 12,
                    .table = triples,
                    .pixels = pixels});
}

/// The pixel area of an object's block: bfOffBits up to the end of the image.
inline Bytes PixelArea(const CDib& dib) {
    const Bytes block = BlockBytes(dib.GetSafeHandle());
    const std::uint32_t off = U32At(block, 10);
    const std::uint32_t image = U32At(block, 34) != 0 ? U32At(block, 34) : block.size() - off;
    return Bytes(block.begin() + off, block.begin() + off + image);
}

/// The colours of a palette as (red, green, blue) triples.
inline Bytes PaletteColours(const CPalette* palette) {
    Bytes colours;
    if (palette == nullptr || palette->m_hObject == nullptr) {
        return colours;
    }
    std::vector<PALETTEENTRY> entries(static_cast<std::size_t>(palette->GetEntryCount()));
    palette->GetPaletteEntries(0, static_cast<UINT>(entries.size()), entries.data());
    for (const PALETTEENTRY& e : entries) {
        colours.insert(colours.end(), {e.peRed, e.peGreen, e.peBlue});
    }
    return colours;
}

/// A CDib whose protected steps and members a test may reach.
class TestDib : public CDib {
public:
    using CDib::CDib;
    /// Loaded from a file image in memory.
    explicit TestDib(Bytes image) {
        EXPECT_TRUE(Load(reinterpret_cast<BITMAPFILEHEADER*>(image.data())));
    }
    // Between operations a picture's block is never locked; the destructor would end any lock
    // left behind, so the test looks first.
    ~TestDib() override {
        if (HGLOBAL block = GetSafeHandle(); block != nullptr) {
            EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0U) << "the picture's block is locked";
        }
    }
    using CDib::CreateLogicPalette;
    using CDib::Draw;
    using CDib::SetClassError;
    using CDib::SetFileError;
    using CDib::SetNoError;
    using CDib::SetSystemError;
    BOOL& DrawDibPreference() { return m_bUseDrawDib; }
    HDRAWDIB DrawDibHandle() const { return m_hDrawDib; }
    const CPalette& HalftonePalette() const { return m_halftonePalette; }
};

/// Loads a file image from memory into `dib`.
inline BOOL LoadImage(CDib& dib, Bytes image) {
    return dib.Load(reinterpret_cast<BITMAPFILEHEADER*>(image.data()));
}

/// A new unlocked block holding exactly `bytes`.
inline HGLOBAL BlockOf(const Bytes& bytes) {
    HGLOBAL block = GlobalAlloc(GHND, bytes.size());
    if (void* base = GlobalLock(block)) {
        std::memcpy(base, bytes.data(), bytes.size());
    }
    FullUnlock(block);
    return block;
}

/// Hands `dib` a block holding exactly `bytes`.
inline BOOL AttachBytes(CDib& dib, const Bytes& bytes) {
    return dib.AttachHandle(BlockOf(bytes));
}

/// An 8-bit 5 x 3 file whose pixel bytes count up from 1 (stride 8, 24 bytes).
inline Bytes EightBitFile() {
    Bytes pixels(24);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i + 1);
    }
    return InfoFile({.width = 5, .height = 3, .bitCount = 8}, Colours(256), pixels);
}

/// A 24-bit 3 x 2 file carrying 16 colour entries that only suggest a palette, announced by
/// biClrUsed, biClrImportant or both (biClrImportant counts when it is not 0).
inline Bytes DirectWithEntriesFile(std::uint32_t clrUsed = 16, std::uint32_t clrImportant = 0) {
    Bytes pixels(24);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i * 11 + 3);
    }
    return InfoFile({.width = 3,
                     .height = 2,
                     .bitCount = 24,
                     .sizeImage = 24,
                     .clrUsed = clrUsed,
                     .clrImportant = clrImportant},
                    Colours(16), pixels);
}

inline std::string WriteScratch(const std::string& name, const Bytes& bytes) {
    WriteFileBytes(ScratchPath(name), bytes);
    return ScratchPath(name);
}

} // namespace orvel::test
