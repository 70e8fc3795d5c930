// Every (source depth, target depth) pair of the converter table, checked pixel by pixel against
// a plain per-pixel model, and the row ends and packings that a model of whole pixels cannot see,
// checked against bytes written out by hand.

#include "picture_bytes.h"

#include <algorithm>
#include <string>

namespace {

using namespace orvel::test;

std::vector<RGBQUAD> TableOf(const PALETTEENTRY* entries, std::size_t count) {
    std::vector<RGBQUAD> table;
    for (std::size_t i = 0; i < count; ++i) {
        table.push_back({entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0});
    }
    return table;
}

// The colour table a conversion without a caller's palette must leave.
std::vector<RGBQUAD> FixedTable(int bitCount) {
    if (bitCount == 1) {
        return TableOf(kTwoColourPalette, 2);
    }
    if (bitCount == 4) {
        return TableOf(kSixteenColourPalette, 16);
    }
    const std::vector<PALETTEENTRY> entries = HalftoneEntries();
    return TableOf(entries.data(), entries.size());
}

std::uint32_t PackedDirect(int bitCount, Colour colour) {
    if (bitCount == 16) {
        return static_cast<std::uint32_t>(((colour.red >> 3) << 10) | ((colour.green >> 3) << 5) |
                                          (colour.blue >> 3));
    }
    return static_cast<std::uint32_t>(colour.blue | (colour.green << 8) | (colour.red << 16));
}

struct DepthPair {
    int sourceBits;
    int targetBits;
};

class ConvertColorPairTest : public LeakCheckedTest,
                             public ::testing::WithParamInterface<DepthPair> {};

TEST_P(ConvertColorPairTest, EveryPixelKeepsItsColourOrTakesTheNearestIndex) {
    const auto [sourceBits, targetBits] = GetParam();
    for (const int width : {1, 3, 9, 10, 33}) {
        SCOPED_TRACE("width " + std::to_string(width));
        CConvertDib dib;
        LoadPicture(dib, ArbitraryPicture(sourceBits, width, 3, static_cast<unsigned>(width)));
        const PictureBytes source = HeldPicture(dib);
        HGLOBAL sourceBlock = dib.GetSafeHandle();

        ASSERT_EQ(dib.ConvertColor(targetBits, nullptr), 1);
        ASSERT_TRUE(dib.IsSucceed());
        if (sourceBits == targetBits && sourceBits >= 16) {
            EXPECT_EQ(dib.GetSafeHandle(), sourceBlock); // nothing to do, nothing replaced
            continue;
        }
        const PictureBytes result = HeldPicture(dib);
        ASSERT_EQ(result.bitCount, targetBits);
        ASSERT_EQ(result.width, width);
        ASSERT_EQ(result.height, 3);
        EXPECT_EQ(+dib.GetBIH().biSizeImage, StrideOf(width, targetBits) * 3);
        if (targetBits <= 8) {
            EXPECT_TRUE(SameColours(result.colours, FixedTable(targetBits)));
        } else {
            EXPECT_TRUE(result.colours.empty());
        }
        for (int row = 0; row < 3; ++row) {
            for (int x = 0; x < width; ++x) {
                const Colour colour = PixelColour(source, x, row);
                const std::uint32_t expected = targetBits <= 8
                                                   ? NearestIndex(result.colours, colour)
                                                   : PackedDirect(targetBits, colour);
                ASSERT_EQ(RawPixel(result, x, row), expected) << "x " << x << " row " << row;
            }
            { // row padding is never written, but 1- and 4-bit sources convert whole bytes
                const int perByte = sourceBits < 8 ? 8 / sourceBits : 1;
                const int written = (width + perByte - 1) / perByte * perByte;
                const std::size_t used = std::min<std::size_t>(
                    static_cast<std::size_t>((written * targetBits + 7) / 8), result.Stride());
                for (std::size_t at = used; at < result.Stride(); ++at) {
                    ASSERT_EQ(result.rows[result.Stride() * row + at], 0) << "padding " << at;
                }
            }
        }
    }
}

std::vector<DepthPair> AllPairs() {
    std::vector<DepthPair> pairs;
    for (const int source : {1, 4, 8, 16, 24, 32}) {
        for (const int target : {1, 4, 8, 16, 24, 32}) {
            pairs.push_back({source, target});
        }
    }
    return pairs;
}

INSTANTIATE_TEST_SUITE_P(AllDepths, ConvertColorPairTest, ::testing::ValuesIn(AllPairs()),
                         [](const ::testing::TestParamInfo<DepthPair>& testInfo) {
                             return std::to_string(testInfo.param.sourceBits) + "To" +
                                    std::to_string(testInfo.param.targetBits);
                         });

// One row converted, its bytes given by hand, the whole target stride compared.
struct RowCase {
    const char* name;
    int sourceBits;
    int targetBits;
    int width;
    std::vector<std::uint8_t> sourceRow; // a full stride, padding included
    std::vector<std::uint8_t> targetRow; // a full stride
    bool identityPalette;                // map onto a caller's palette of the source's colours
};

constexpr bool kFixed = false;   // no caller's palette: the fixed palette of the target depth
constexpr bool kIdentity = true; // a caller's palette of the source's own colours

RowCase Case(const char* name, int sourceBits, int targetBits, int width, bool palette,
             std::vector<std::uint8_t> sourceRow, std::vector<std::uint8_t> targetRow) {
    return {name,   sourceBits, targetBits, width, std::move(sourceRow), std::move(targetRow),
            palette};
}

// Distinct greys from black (entry 0) to white (the last entry): with a caller's palette of the
// same colours every index maps to itself, and the fixed palettes see plain black and white.
PictureBytes RowPicture(const RowCase& rowCase) {
    PictureBytes picture{rowCase.width, 1, rowCase.sourceBits, {}, rowCase.sourceRow};
    if (rowCase.sourceBits <= 8) {
        const int count = 1 << rowCase.sourceBits;
        for (int i = 0; i < count; ++i) {
            const auto level = static_cast<BYTE>(i * 255 / (count - 1));
            picture.colours.push_back({level, level, level, 0});
        }
    }
    return picture;
}

std::vector<RowCase> RowCases() {
    return {
        // 10 pixels white, black, ...: pixel 10 would need bytes 30 to 32 of a 32-byte stride, so
        // the rest of the last group stays 0 although the padding is white.
        Case("Bits24To01StopsAtTheSourceStride", 24, 1, 10, kFixed,
             {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
              0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00,
              0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF},
             {0xAA, 0x80, 0x00, 0x00}),
        // Pixels 5 to 7 of the group lie in the 8-byte stride: converted from the padding (white).
        Case("Bits08To01ConvertsPaddingWithinTheStride", 8, 1, 5, kFixed,
             {0xFF, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF}, {0xB7, 0x00, 0x00, 0x00}),
        // Red, green, blue (blue first in each pixel); the fourth pixel has no source in 12 bytes.
        Case("Bits32To04StopsAtTheSourceStride", 32, 4, 3, kFixed,
             {0x00, 0x00, 0xFF, 0x7F, 0x00, 0xFF, 0x00, 0x7F, 0xFF, 0x00, 0x00, 0x7F},
             {0xBA, 0x90, 0x00, 0x00}),
        Case("Bits24To04ConvertsPaddingWithinTheStride", 24, 4, 3, kFixed,
             {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF},
             {0xBA, 0x9F, 0x00, 0x00}),
        Case("Bits16To01ConvertsPaddingWithinTheStride", 16, 1, 3, kFixed,
             {0xFF, 0x7F, 0x00, 0x80, 0xFF, 0x7F, 0xFF, 0xFF}, {0xB0, 0x00, 0x00, 0x00}),
        // One pixel wide: the 8 positions of the source byte stop at the 4-byte target stride.
        Case("Bits01To08StopsAtTheTargetStride", 1, 8, 1, kIdentity, {0xB0, 0x00, 0x00, 0x00},
             {0x01, 0x00, 0x01, 0x01}),
        Case("Bits01To04HighNibbleFirst", 1, 4, 3, kIdentity, {0xA6, 0x00, 0x00, 0x00},
             {0x10, 0x10, 0x01, 0x10}),
        Case("Bits01To01FirstPixelInBit7", 1, 1, 11, kIdentity, {0xA6, 0xE1, 0x00, 0x00},
             {0xA6, 0xE1, 0x00, 0x00}),
        Case("Bits04To08HighNibbleFirst", 4, 8, 3, kIdentity, {0x12, 0x3F, 0x00, 0x00},
             {0x01, 0x02, 0x03, 0x0F}),
        Case("Bits04To01FourSourceBytesPerTargetByte", 4, 1, 9, kIdentity,
             {0x10, 0x01, 0x11, 0x00, 0x10, 0x00, 0x00, 0x00}, {0x9C, 0x80, 0x00, 0x00}),
        Case("Bits04To04NibblesStayInPlace", 4, 4, 5, kIdentity, {0x1E, 0x3C, 0x50, 0x00},
             {0x1E, 0x3C, 0x50, 0x00}),
        // A 256-entry palette onto 4 bits: indexes are cut to their low nibble, never clamped.
        Case("Bits08To04CutsIndexesToTheNibble", 8, 4, 3, kIdentity, {0x01, 0x22, 0xF3, 0x0F},
             {0x12, 0x3F, 0x00, 0x00}),
        Case("Bits08To01CutsIndexesToTheLowBit", 8, 1, 4, kIdentity, {0x01, 0x02, 0xFF, 0x80},
             {0xA0, 0x00, 0x00, 0x00}),
        // Blue, green, red in memory; the fixed sixteen colours put red at 11, blue at 9.
        Case("Bits24To04RedIsEleven", 24, 4, 2, kFixed, {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0, 0},
             {0xB9, 0x00, 0x00, 0x00}),
        // Bit 15 is ignored; 31 in a field is 248.
        Case("Bits16To24FiveFiveFive", 16, 24, 3, kFixed,
             {0xFF, 0x7F, 0x00, 0x80, 0x04, 0x41, 0, 0},
             {0xF8, 0xF8, 0xF8, 0x00, 0x00, 0x00, 0x20, 0x40, 0x80, 0x00, 0x00, 0x00}),
        Case("Bits24To16TruncatesChannels", 24, 16, 3, kFixed,
             {0xFF, 0xFF, 0xFF, 0x07, 0x07, 0x07, 0x20, 0x40, 0x80, 0x00, 0x00, 0x00},
             {0xFF, 0x7F, 0x00, 0x00, 0x04, 0x41, 0x00, 0x00}),
        Case("Bits32To24IgnoresTheFourthByte", 32, 24, 1, kFixed, {0x01, 0x02, 0x03, 0xFF},
             {0x01, 0x02, 0x03, 0x00}),
        Case("Bits24To32LeavesTheFourthByteZero", 24, 32, 1, kFixed, {0x01, 0x02, 0x03, 0xEE},
             {0x01, 0x02, 0x03, 0x00})};
}

using ConvertedRowTest = LeakCheckedTest;

TEST_F(ConvertedRowTest, WholeTargetStrideMatches) {
    for (const RowCase& rowCase : RowCases()) {
        SCOPED_TRACE(rowCase.name);
        const PictureBytes source = RowPicture(rowCase);
        ASSERT_EQ(source.rows.size(), source.Stride());
        CConvertDib dib;
        LoadPicture(dib, source);
        CPalette identity;
        if (rowCase.identityPalette) {
            std::vector<PALETTEENTRY> entries;
            entries.reserve(source.colours.size());
            for (const RGBQUAD& c : source.colours) {
                entries.push_back({c.rgbRed, c.rgbGreen, c.rgbBlue, 0});
            }
            ASSERT_TRUE(identity.Attach(MakePalette(entries)));
        }
        ASSERT_EQ(
            dib.ConvertColor(rowCase.targetBits, rowCase.identityPalette ? &identity : nullptr), 1);
        EXPECT_EQ(HeldPicture(dib).rows, rowCase.targetRow);
    }
}

} // namespace
