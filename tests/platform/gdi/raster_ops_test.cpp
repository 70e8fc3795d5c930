// Every raster operation StretchDIBits knows, against a known destination: colours on direct
// surfaces, indexes on indexed ones, and the fourth byte of 32-bit pixels kept zero.
#include <orvel/orvel.h>

#include "platform/drawing_helpers.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using orvel::test::LeakCheckedTest;
using orvel::test::MakeTestPalette;
using orvel::test::MemorySurface;
using orvel::test::RawOf;
using orvel::test::TestDib;

struct RopCase {
    const char* name;
    DWORD rop;
    DWORD (*combine)(DWORD source, DWORD destination);
};

const RopCase kRops[] = {
    {"SRCCOPY", SRCCOPY, [](DWORD s, DWORD) { return s; }},
    {"SRCPAINT", SRCPAINT, [](DWORD s, DWORD d) { return s | d; }},
    {"SRCAND", SRCAND, [](DWORD s, DWORD d) { return s & d; }},
    {"SRCINVERT", SRCINVERT, [](DWORD s, DWORD d) { return s ^ d; }},
    {"SRCERASE", SRCERASE, [](DWORD s, DWORD d) { return s & ~d; }},
    {"NOTSRCCOPY", NOTSRCCOPY, [](DWORD s, DWORD) { return ~s; }},
    {"NOTSRCERASE", NOTSRCERASE, [](DWORD s, DWORD d) { return ~(s | d); }},
    {"DSTINVERT", DSTINVERT, [](DWORD, DWORD d) { return ~d; }},
    {"BLACKNESS", BLACKNESS, [](DWORD, DWORD) { return 0U; }},
    {"WHITENESS", WHITENESS, [](DWORD, DWORD) { return ~0U; }},
};

class RasterOpTest : public LeakCheckedTest, public ::testing::WithParamInterface<RopCase> {};

TEST_P(RasterOpTest, CombinesColourBitsOnA32BitSurfaceAndKeepsTheFourthByteZero) {
    const RopCase& op = GetParam();
    constexpr COLORREF kDestination = RGB(0x0F, 0x33, 0x55);
    constexpr COLORREF kSource = RGB(0x3C, 0x55, 0xF0);
    MemorySurface surface(3, 2, 32);
    surface.Fill(3, 2, kDestination);
    TestDib dib(1, 1, 24);
    dib.Set(0, 0, RawOf(kSource));
    // The middle column of both rows; the others stay as they were.
    ASSERT_EQ(StretchDIBits(surface.Dc(), 1, 0, 1, 2, 0, 0, 1, 1, dib.Bits(), dib.Info(),
                            DIB_RGB_COLORS, op.rop),
              1);

    const DWORD expected = op.combine(RawOf(kSource), RawOf(kDestination)) & 0xFFFFFFU;
    TestDib back(3, 2, 32);
    ASSERT_EQ(
        GetDIBits(surface.Dc(), surface.Bitmap(), 0, 2, back.Bits(), back.Info(), DIB_RGB_COLORS),
        2);
    for (int y = 0; y < 2; ++y) {
        const BYTE* row = back.RowFromTop(y);
        for (int x = 0; x < 3; ++x) {
            const BYTE* pixel = row + 4 * x;
            const DWORD raw = static_cast<DWORD>(pixel[0] | (pixel[1] << 8) | (pixel[2] << 16));
            EXPECT_EQ(raw, x == 1 ? expected : RawOf(kDestination)) << x << "," << y;
            EXPECT_EQ(pixel[3], 0) << "fourth byte at " << x << "," << y;
        }
    }
}

TEST_P(RasterOpTest, CombinesFiveFiveFiveWordsOnA16BitSurface) {
    const RopCase& op = GetParam();
    MemorySurface surface(1, 1, 16);
    const BYTE destinationWord[] = {0x34, 0x12};
    TestDib fill(1, 1, 16);
    fill.Set(0, 0, 0x1234);
    ASSERT_EQ(StretchDIBits(surface.Dc(), 0, 0, 1, 1, 0, 0, 1, 1, fill.Bits(), fill.Info(),
                            DIB_RGB_COLORS, SRCCOPY),
              1);
    TestDib dib(1, 1, 16);
    dib.Set(0, 0, 0x4C3A);
    ASSERT_EQ(StretchDIBits(surface.Dc(), 0, 0, 1, 1, 0, 0, 1, 1, dib.Bits(), dib.Info(),
                            DIB_RGB_COLORS, op.rop),
              1);
    TestDib back(1, 1, 16);
    ASSERT_EQ(
        GetDIBits(surface.Dc(), surface.Bitmap(), 0, 1, back.Bits(), back.Info(), DIB_RGB_COLORS),
        1);
    const DWORD word = static_cast<DWORD>(back.Bits()[0] | (back.Bits()[1] << 8));
    EXPECT_EQ(word, op.combine(0x4C3A,
                               static_cast<DWORD>(destinationWord[0] | (destinationWord[1] << 8))) &
                        0x7FFFU)
        << "bit 15 stays clear";
}

TEST_P(RasterOpTest, CombinesIndexesOnAFourBitSurface) {
    const RopCase& op = GetParam();
    std::vector<COLORREF> colours;
    for (int i = 0; i < 16; ++i) {
        colours.push_back(RGB(static_cast<BYTE>(i * 16), static_cast<BYTE>(255 - i * 16), 7));
    }
    MemorySurface surface(2, 1, 4, MakeTestPalette(colours));
    // Destination indexes 3 (left pixel, high nibble) and 12; the source is entry 5's colour.
    SetPixel(surface.Dc(), 0, 0, colours[3]);
    SetPixel(surface.Dc(), 1, 0, colours[12]);
    TestDib dib(1, 1, 24);
    dib.Set(0, 0, RawOf(colours[5]));
    ASSERT_EQ(StretchDIBits(surface.Dc(), 0, 0, 1, 1, 0, 0, 1, 1, dib.Bits(), dib.Info(),
                            DIB_RGB_COLORS, op.rop),
              1);
    TestDib back(2, 1, 4);
    ASSERT_EQ(
        GetDIBits(surface.Dc(), surface.Bitmap(), 0, 1, back.Bits(), back.Info(), DIB_RGB_COLORS),
        1);
    EXPECT_EQ(back.Bits()[0] >> 4, op.combine(5, 3) & 0x0FU);
    EXPECT_EQ(back.Bits()[0] & 0x0F, 12) << "the neighbouring nibble is untouched";
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, RasterOpTest, ::testing::ValuesIn(kRops),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
