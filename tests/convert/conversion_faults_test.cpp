// Conversions under the refusals whose outcome the library documents: which refusal keeps the
// picture, which leaves none, and which still converts. Every other refusal is the fault sweep's
// (tests/library).

#include "picture_bytes.h"

namespace {

using namespace orvel::test;
using orvel::testing::ClearFault;
using orvel::testing::InjectFault;

using ConversionFaultTest = LeakCheckedTest;

// The work block is the first block: without it the picture stays. The new picture is the
// second: without it the conversion has begun (it returns 1) and leaves no picture.
TEST_F(ConversionFaultTest, WorkBlockKeepsThePictureAndNewBlockLeavesNone) {
    for (const long nth : {1L, 2L}) {
        for (const bool resize : {false, true}) {
            CConvertDib dib;
            LoadPicture(dib, ArbitraryPicture(8, 6, 2, 4));
            const std::vector<std::uint8_t> before = BlockBytes(dib);
            InjectFault(orvel::testing::kFaultGlobalAlloc, nth);
            EXPECT_EQ(resize ? dib.ConvertSize(12, 4) : dib.ConvertColor(24, nullptr), nth - 1);
            ClearFault();
            EXPECT_EQ(StatusOf(dib), SystemError(ERROR_NOT_ENOUGH_MEMORY));
            EXPECT_EQ(BlockBytes(dib), nth == 1 ? before : Bytes{});
            EXPECT_EQ(dib.GetPalette() == nullptr, nth == 2);
        }
    }
}

TEST_F(ConversionFaultTest, TargetPaletteObjectThatCannotBeMadeKeepsThePicture) {
    CConvertDib dib;
    LoadPicture(dib, ArbitraryPicture(24, 6, 2, 4));
    const std::vector<std::uint8_t> before = BlockBytes(dib);
    InjectFault(orvel::testing::kFaultObjectAlloc, 1);
    EXPECT_EQ(dib.ConvertColor(4, nullptr), 0);
    ClearFault();
    EXPECT_EQ(StatusOf(dib), ClassError(3));
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
    const PictureBytes result = HeldPicture(dib);
    EXPECT_EQ(result.rows, (std::vector<std::uint8_t>{0xFF, 0xFF, 0, 0}));
    for (const RGBQUAD& entry : result.colours) {
        EXPECT_EQ(entry.rgbRed | entry.rgbGreen | entry.rgbBlue, 0);
    }
}

} // namespace
