// The standard palettes' refusals and the colour tables read from palettes. Their colours are
// checked where pictures carry them: the blank pictures' tables and the conversions onto them.
#include <orvel/orvel.h>

#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using orvel::test::LeakCheckedTest;
using StandardPaletteTest = LeakCheckedTest;

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

} // namespace
