// Conversions under the refusals whose outcome the library documents: which refusal keeps the
// picture, which leaves none, and which still converts. Every other refusal is the fault sweep's
// (tests/library).
#include <orvel/orvel.h>

#include "picture_bytes.h"
#include "status_of.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace orvel::test;
using orvel::testing::ClearFault;
using orvel::testing::InjectFault;

using ConversionFaultTest = LeakCheckedTest;

TEST_F(ConversionFaultTest, WorkBlockThatCannotBeMadeKeepsThePicture) {
    for (const bool resize : {false, true}) {
        CConvertDib dib;
        LoadPicture(dib, ArbitraryPicture(8, 6, 2, 4));
        const std::vector<std::uint8_t> before = BlockBytes(dib);
        InjectFault(orvel::testing::kFaultGlobalAlloc, 1); // the work block is the first block
        EXPECT_EQ(resize ? dib.ConvertSize(12, 4) : dib.ConvertColor(24, nullptr), 0);
        ClearFault();
        EXPECT_EQ(StatusOf(dib), (Status{HTERR_SYSTEM, ERROR_NOT_ENOUGH_MEMORY}));
        EXPECT_EQ(BlockBytes(dib), before);
    }
}

TEST_F(ConversionFaultTest, NewBlockThatCannotBeMadeLeavesNoPicture) {
    for (const bool resize : {false, true}) {
        CConvertDib dib;
        LoadPicture(dib, ArbitraryPicture(8, 6, 2, 4));
        InjectFault(orvel::testing::kFaultGlobalAlloc, 2); // after the work block: the new picture
        EXPECT_EQ(resize ? dib.ConvertSize(12, 4) : dib.ConvertColor(24, nullptr), 1);
        ClearFault();
        EXPECT_EQ(StatusOf(dib), (Status{HTERR_SYSTEM, ERROR_NOT_ENOUGH_MEMORY}));
        EXPECT_EQ(dib.GetSafeHandle(), nullptr);
        EXPECT_EQ(dib.GetPalette(), nullptr);
    }
}

TEST_F(ConversionFaultTest, TargetPaletteObjectThatCannotBeMadeKeepsThePicture) {
    CConvertDib dib;
    LoadPicture(dib, ArbitraryPicture(24, 6, 2, 4));
    const std::vector<std::uint8_t> before = BlockBytes(dib);
    InjectFault(orvel::testing::kFaultObjectAlloc, 1);
    EXPECT_EQ(dib.ConvertColor(4, nullptr), 0);
    ClearFault();
    EXPECT_EQ(StatusOf(dib), (Status{HTERR_CLASS, 3}));
    EXPECT_EQ(BlockBytes(dib), before);
}

TEST_F(ConversionFaultTest, PaletteTheSystemRefusesStillConverts) {
    // Without a target palette every search answers CLR_INVALID, cut to the nibble, and the
    // colour table keeps its pre-fill (none for a 24-bit picture: zeros).
    CConvertDib dib;
    LoadPicture(dib, ArbitraryPicture(24, 4, 1, 4));
    InjectFault(orvel::testing::kFaultCreatePalette, 1);
    EXPECT_EQ(dib.ConvertColor(4, nullptr), 1);
    ClearFault();
    ASSERT_TRUE(dib.IsSucceed());
    const PictureSpec result = HeldPicture(dib);
    EXPECT_EQ(result.rows, (std::vector<std::uint8_t>{0xFF, 0xFF, 0, 0}));
    for (const RGBQUAD& entry : result.colours) {
        EXPECT_EQ(entry.rgbRed | entry.rgbGreen | entry.rgbBlue, 0);
    }
}

} // namespace
