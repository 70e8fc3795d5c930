#include <orvel/orvel.h>

#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using orvel::test::LeakCheckedTest;
using StandardPaletteTest = LeakCheckedTest;

std::vector<PALETTEENTRY> EntriesOf(const CPalette& palette) {
    std::vector<PALETTEENTRY> entries(static_cast<std::size_t>(palette.GetEntryCount()));
    palette.GetPaletteEntries(0, static_cast<UINT>(entries.size()), entries.data());
    return entries;
}

TEST_F(StandardPaletteTest, OneBitPaletteIsBlackThenWhite) {
    CPalette palette;
    ASSERT_TRUE(CDibSupport::MakeNewPalette(palette, 1));
    const auto entries = EntriesOf(palette);
    ASSERT_EQ(entries.size(), 2U);
    EXPECT_EQ(RGB(entries[0].peRed, entries[0].peGreen, entries[0].peBlue), RGB(0, 0, 0));
    EXPECT_EQ(RGB(entries[1].peRed, entries[1].peGreen, entries[1].peBlue), RGB(255, 255, 255));
}

TEST_F(StandardPaletteTest, FourBitPaletteIsTheSixteenColoursWithBlueBeforeRed) {
    CPalette palette;
    ASSERT_TRUE(CDibSupport::MakeNewPalette(palette, 4));
    const auto entries = EntriesOf(palette);
    ASSERT_EQ(entries.size(), 16U);
    auto colour = [&](int i) {
        return RGB(entries[i].peRed, entries[i].peGreen, entries[i].peBlue);
    };
    EXPECT_EQ(colour(1), RGB(0, 0, 128));
    EXPECT_EQ(colour(3), RGB(128, 0, 0));
    EXPECT_EQ(colour(8), RGB(192, 192, 192));
    EXPECT_EQ(colour(9), RGB(0, 0, 255));
    EXPECT_EQ(colour(11), RGB(255, 0, 0));
    EXPECT_EQ(colour(15), RGB(255, 255, 255));
    for (const PALETTEENTRY& e : entries) {
        EXPECT_EQ(e.peFlags, 0);
    }
}

TEST_F(StandardPaletteTest, EightBitPaletteIsTheScreensHalftonePalette) {
    CPalette palette;
    ASSERT_TRUE(CDibSupport::MakeNewPalette(palette, 8));
    EXPECT_EQ(palette.GetEntryCount(), static_cast<int>(kHalftonePaletteEntries));
}

TEST_F(StandardPaletteTest, OtherDepthsAreRefusedAndLeaveThePaletteEmpty) {
    for (WORD bits : {0, 2, 16, 24, 32}) {
        CPalette palette;
        EXPECT_FALSE(CDibSupport::MakeNewPalette(palette, bits));
        EXPECT_EQ(palette.m_hObject, nullptr);
    }
}

TEST_F(StandardPaletteTest, PlatformRefusalStillCountsAsDone) {
    CPalette palette;
    orvel::testing::InjectFault(orvel::testing::kFaultCreatePalette, 1);
    EXPECT_TRUE(CDibSupport::MakeNewPalette(palette, 4));
    EXPECT_EQ(palette.m_hObject, nullptr);
    orvel::testing::InjectFault(orvel::testing::kFaultObjectAlloc, 1);
    EXPECT_TRUE(CDibSupport::MakeNewPalette(palette, 1));
    EXPECT_EQ(palette.m_hObject, nullptr);
}

TEST_F(StandardPaletteTest, ColourTableTakesAtMostTheDepthsEntries) {
    CPalette two;
    CDibSupport::MakeNewPalette(two, 1);
    RGBQUAD table[256];
    for (int bits : {8, 1, 0}) {
        std::fill(std::begin(table), std::end(table), RGBQUAD{1, 1, 1, 1});
        EXPECT_TRUE(CDibSupport::GetRGBQUAD(&two, table, bits));
        EXPECT_EQ(table[1].rgbRed, 255);
        EXPECT_EQ(table[1].rgbReserved, 0);
        EXPECT_EQ(table[2].rgbRed, 1) << "entry 2 is beyond the palette, bits " << bits;
    }

    CPalette sixteen;
    CDibSupport::MakeNewPalette(sixteen, 4);
    std::fill(std::begin(table), std::end(table), RGBQUAD{7, 7, 7, 7});
    CDibSupport::GetRGBQUAD(&sixteen, table, 1);
    EXPECT_EQ(table[1].rgbBlue, 128); // dark blue
    EXPECT_EQ(table[1].rgbRed, 0);
    EXPECT_EQ(table[2].rgbBlue, 7);
}

TEST_F(StandardPaletteTest, ColourTableMovesChannelsByName) {
    CPalette palette;
    LOGPALETTE record{PALETTE_VERSION, 1, {{10, 20, 30, PC_NOCOLLAPSE}}};
    palette.CreatePalette(&record);
    RGBQUAD table[1] = {{9, 9, 9, 9}};
    CDibSupport::GetRGBQUAD(&palette, table, 8);
    EXPECT_EQ(table[0].rgbBlue, 30);
    EXPECT_EQ(table[0].rgbGreen, 20);
    EXPECT_EQ(table[0].rgbRed, 10);
    EXPECT_EQ(table[0].rgbReserved, 0);
}

} // namespace
