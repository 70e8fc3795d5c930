#include <orvel/orvel.h>

#include "support/byte_builder.h"

#include <gtest/gtest.h>

#include <tuple>

// The header fields are copied out with unary + before comparing: the headers are packed, and a
// reference to one of their 32-bit fields would be misaligned.

namespace {

BITMAPINFOHEADER Header(LONG width, LONG height, WORD bits, DWORD used = 0, DWORD important = 0,
                        DWORD imageSize = 0) {
    return CDibSupport::MakeBIH(width, height, bits, BI_RGB, imageSize, 0, 0, used, important);
}

// Indexed pictures always have a full table; direct colour ones prefer colours important.
TEST(HeaderArithmetic, ColourTableEntries) {
    // Bits, colours used, colours important: the entries.
    const std::tuple<WORD, DWORD, DWORD, int> cases[] = {
        {1, 0, 0, 2},      {1, 2, 0, 2},
        {8, 16, 0, 256},   {4, 0, 0, 16},
        {2, 0, 0, 4},      {0, 0, 0, 1},
        {24, 0, 0, 0},     {24, 256, 0, 256},
        {24, 256, 20, 20}, {32, 0x12345, 0, 0x2345}};
    for (const auto& [bits, used, important, entries] : cases) {
        EXPECT_EQ(CDibSupport::GetPaletteEntryNum(Header(1, 1, bits, used, important)), entries)
            << bits << " bits, " << used << " used, " << important << " important";
    }
    const BITMAPINFOHEADER header = Header(1, 1, 16, 256, 16);
    EXPECT_EQ(CDibSupport::GetPaletteEntryNum(&header), CDibSupport::GetPaletteEntryNum(header));
    EXPECT_EQ(CDibSupport::GetPaletteEntryNum(nullptr), 0);
}

TEST(HeaderArithmetic, RowsArePaddedToFourBytes) {
    // Width, bits: bytes a row.
    const std::tuple<LONG, WORD, DWORD> cases[] = {{1, 1, 4},   {32, 1, 4}, {33, 1, 8}, {5, 24, 16},
                                                   {7, 32, 28}, {3, 4, 4},  {9, 4, 8},  {3, 16, 8}};
    for (const auto& [width, bits, stride] : cases) {
        EXPECT_EQ(CDibSupport::GetBytePerLine(Header(width, 1, bits)), stride)
            << width << " x " << bits;
    }
}

TEST(HeaderArithmetic, ImageSizeIsTheStoredSizeOrStrideTimesHeight) {
    EXPECT_EQ(CDibSupport::GetImageSize(Header(640, 480, 24, 0, 0, 1000)), 1000U);
    EXPECT_EQ(CDibSupport::GetImageSize(Header(10, 10, 8)), 120U);
    EXPECT_EQ(CDibSupport::GetDIBSize(Header(10, 10, 8)), 120U + 1024U + 54U);
    EXPECT_EQ(CDibSupport::GetBISize(Header(10, 10, 4)), 40U + 64U);
    EXPECT_EQ(CDibSupport::GetBISize(Header(10, 10, 24)), 40U);
}

TEST(HeaderArithmetic, ColourCountShiftWrapsAtThirtyTwo) {
    for (const auto& [bits, colours] :
         {std::pair<WORD, DWORD>{1, 2}, {8, 256}, {16, 65536}, {24, 16777216}, {32, 1}}) {
        EXPECT_EQ(CDibSupport::GetColorNum(Header(1, 1, bits)), colours) << bits;
    }
}

TEST(HeaderArithmetic, PixelOffsetsCountRowsFromTheTop) {
    EXPECT_EQ(CDibSupport::GetPixelOffset(Header(5, 3, 24), 1, 0), 35U);
    EXPECT_EQ(CDibSupport::GetPixelOffset(Header(5, 3, 24), 0, 2), 0U);
    // Below a byte per pixel the offset is the start of the row, whatever x is.
    EXPECT_EQ(CDibSupport::GetPixelOffset(Header(100, 3, 4), 77, 1), 52U);
    EXPECT_EQ(CDibSupport::GetPixelOffset(Header(100, 3, 1), 99, 0), 32U);
}

// Compared byte for byte: every field at its published offset, in little-endian order.
template <class Structure>
std::vector<std::uint8_t> BytesOf(const Structure& structure) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&structure);
    return {bytes, bytes + sizeof structure};
}

TEST(HeaderArithmetic, MadeHeadersCarryTheirFieldsInPublishedOrder) {
    orvel::test::ByteBuilder expected; // size, width, height, planes, depth, ...
    expected.U32(40).I32(-7).I32(9).U16(1).U16(16).U32(BI_BITFIELDS).U32(123).I32(2835).I32(2836);
    expected.U32(12).U32(3);
    EXPECT_EQ(BytesOf(CDibSupport::MakeBIH(-7, 9, 16, BI_BITFIELDS, 123, 2835, 2836, 12, 3)),
              expected.Get());
}

TEST(HeaderArithmetic, FileHeaderPutsPixelsRightAfterTheTable) {
    BITMAPINFOHEADER header = Header(10, 10, 8);
    orvel::test::ByteBuilder expected;
    EXPECT_EQ(BytesOf(CDibSupport::MakeBFH(&header)),
              expected.U16(0x4D42).U32(1198).U32(0).U32(1078).Get());

    header = Header(3, 2, 24);
    const BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);
    EXPECT_EQ(+file.bfOffBits, 54U);
    EXPECT_EQ(+file.bfSize, 54U + 24U);
    // A core header's size is not consulted: the library's blocks carry 40-byte headers.
    header.biSize = 12;
    EXPECT_EQ(+CDibSupport::MakeBFH(&header).bfOffBits, 54U);
}

TEST(HeaderArithmetic, HeadersTooLargeFor32BitsGiveDefinedValues) {
    // The product overflows 32 bits; the result is that computation modulo 2^32, not a trap.
    const BITMAPINFOHEADER header = Header(0x7FFFFFFF, 0x7FFFFFFF, 32);
    EXPECT_EQ(CDibSupport::GetBytePerLine(header), 0xFFFFFFFCU);
    (void)CDibSupport::GetImageSize(header);
    (void)CDibSupport::GetPixelOffset(header, -0x7FFFFFFF, 0x7FFFFFFF);
    EXPECT_EQ(CDibSupport::GetBytePerLine(Header(-1, 1, 8)), 0U);
}

} // namespace
