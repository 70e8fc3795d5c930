// Every raster operation StretchDIBits knows, against a known destination: colours on direct
// surfaces, indexes on indexed ones, and the fourth byte of 32-bit pixels kept zero.
#include <orvel/orvel.h>

#include "platform/drawing_helpers.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace orvel::test;

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

class RasterOpTest : public LeakCheckedTest, public ::testing::WithParamInterface<RopCase> {
protected:
    // Draws the one-pixel `source` with `rop` over column `x`, `height` rows down from the top,
    // and reads the width x height surface back at its own `depth`.
    static TestDib Drawn(MemorySurface& surface, int width, int height, int depth, TestDib& source,
                         int x, DWORD rop) {
        EXPECT_EQ(StretchDIBits(surface.Dc(), x, 0, 1, height, 0, 0, 1, 1, source.Bits(),
                                source.Info(), DIB_RGB_COLORS, rop),
                  1);
        TestDib back(width, height, depth);
        EXPECT_EQ(GetDIBits(surface.Dc(), surface.Bitmap(), 0, static_cast<UINT>(height),
                            back.Bits(), back.Info(), DIB_RGB_COLORS),
                  height);
        return back;
    }
};

TEST_P(RasterOpTest, CombinesColourBitsOnA32BitSurfaceAndKeepsTheFourthByteZero) {
    constexpr COLORREF kDestination = RGB(0x0F, 0x33, 0x55);
    MemorySurface surface(3, 2, 32);
    surface.Fill(3, 2, kDestination);
    TestDib dib(1, 1, 24);
    dib.Set(0, 0, RawOf(RGB(0x3C, 0x55, 0xF0)));
    // The middle column of both rows; the others stay as they were.
    TestDib back = Drawn(surface, 3, 2, 32, dib, 1, GetParam().rop);
    const DWORD expected = GetParam().combine(RawOf(RGB(0x3C, 0x55, 0xF0)), RawOf(kDestination));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const BYTE* pixel = back.RowFromTop(y) + 4 * x;
            const DWORD raw = static_cast<DWORD>(pixel[0] | (pixel[1] << 8) | (pixel[2] << 16));
            EXPECT_EQ(raw, x == 1 ? expected & 0xFFFFFFU : RawOf(kDestination)) << x << "," << y;
            EXPECT_EQ(pixel[3], 0) << "fourth byte at " << x << "," << y;
        }
    }
}

TEST_P(RasterOpTest, CombinesFiveFiveFiveWordsOnA16BitSurface) {
    MemorySurface surface(1, 1, 16);
    TestDib fill(1, 1, 16);
    fill.Set(0, 0, 0x1234);
    Drawn(surface, 1, 1, 16, fill, 0, SRCCOPY);
    TestDib dib(1, 1, 16);
    dib.Set(0, 0, 0x4C3A);
    const TestDib back = Drawn(surface, 1, 1, 16, dib, 0, GetParam().rop);
    EXPECT_EQ(static_cast<DWORD>(back.Bits()[0] | (back.Bits()[1] << 8)),
              GetParam().combine(0x4C3A, 0x1234) & 0x7FFFU)
        << "bit 15 stays clear";
}

TEST_P(RasterOpTest, CombinesIndexesOnAFourBitSurface) {
    std::vector<COLORREF> colours;
    for (int i = 0; i < 16; ++i) {
        colours.push_back(RGB(static_cast<BYTE>(i * 16), static_cast<BYTE>(255 - i * 16), 7));
    }
    MemorySurface surface(2, 1, 4, PaletteOfColours(colours));
    // Destination indexes 3 (left pixel, high nibble) and 12; the source is entry 5's colour.
    SetPixel(surface.Dc(), 0, 0, colours[3]);
    SetPixel(surface.Dc(), 1, 0, colours[12]);
    TestDib dib(1, 1, 24);
    dib.Set(0, 0, RawOf(colours[5]));
    const BYTE pair = Drawn(surface, 2, 1, 4, dib, 0, GetParam().rop).Bits()[0];
    EXPECT_EQ(pair >> 4, GetParam().combine(5, 3) & 0x0FU);
    EXPECT_EQ(pair & 0x0F, 12) << "the neighbouring nibble is untouched";
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, RasterOpTest, ::testing::ValuesIn(kRops),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
