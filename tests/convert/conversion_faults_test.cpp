// Conversions under platform refusals: each refusal leaves the picture either kept or emptied as
// the library promises, reports itself in the status record, and leaks no block or palette.
#include <orvel/orvel.h>

#include "picture_bytes.h"
#include "status_of.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace orvel::test;
using orvel::testing::ClearFault;
using orvel::testing::FaultFired;
using orvel::testing::InjectFault;

using Operation = std::function<int(CConvertDib&)>;

struct SweepCase {
    const char* name;
    int sourceBits;
    Operation operation;
};

class ConversionFaultSweep : public LeakCheckedTest,
                             public ::testing::WithParamInterface<SweepCase> {};

// Fails the nth call at one site, for every n the operation reaches. Whatever fails, the object
// ends in one of three states: the old picture untouched with a failed record (result 0, or 1
// when the finished work block could not be installed), no picture, or a picture whose
// installation recorded the failure; on success it holds exactly the fault-free result. No block
// is left locked, and the fixture checks that nothing leaks.
TEST_P(ConversionFaultSweep, EveryRefusalLeavesAKnownState) {
    const SweepCase& sweep = GetParam();
    const PictureSpec source = ArbitraryPicture(sweep.sourceBits, 7, 3, 17);
    std::vector<std::uint8_t> expected;
    {
        CConvertDib reference;
        LoadPicture(reference, source);
        ASSERT_EQ(sweep.operation(reference), 1);
        expected = BlockBytes(reference);
    }
    for (const std::uint32_t site :
         {orvel::testing::kFaultGlobalAlloc, orvel::testing::kFaultGlobalLock,
          orvel::testing::kFaultObjectAlloc, orvel::testing::kFaultCreatePalette,
          orvel::testing::kFaultDeviceContext}) {
        for (long nth = 1;; ++nth) {
            SCOPED_TRACE("site " + std::to_string(site) + " call " + std::to_string(nth));
            CConvertDib dib;
            LoadPicture(dib, source);
            const std::vector<std::uint8_t> before = BlockBytes(dib);
            InjectFault(site, nth);
            const int result = sweep.operation(dib);
            const bool fired = FaultFired();
            ClearFault();
            if (dib.GetSafeHandle() != nullptr) {
                EXPECT_EQ(GlobalFlags(dib.GetSafeHandle()) & GMEM_LOCKCOUNT, 0U);
            }
            if (!fired) {
                EXPECT_EQ(result, 1);
                EXPECT_TRUE(dib.IsSucceed());
                EXPECT_EQ(BlockBytes(dib), expected);
                break;
            }
            if (dib.IsSucceed()) {
                // Only a palette the system would not make lets a conversion finish differently.
                EXPECT_EQ(result, 1);
                EXPECT_TRUE(site == orvel::testing::kFaultCreatePalette ||
                            site == orvel::testing::kFaultObjectAlloc ||
                            site == orvel::testing::kFaultDeviceContext ||
                            BlockBytes(dib) == expected);
            } else if (BlockBytes(dib) != before) {
                EXPECT_EQ(result, 1) << "the old picture is discarded only after the work is done";
            }
            ASSERT_LT(nth, 100) << "the sweep never got past the fault";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Operations, ConversionFaultSweep,
    ::testing::Values(
        SweepCase{"Bits24To04", 24, [](CConvertDib& dib) { return dib.ConvertColor(4, nullptr); }},
        SweepCase{"Bits08To08", 8, [](CConvertDib& dib) { return dib.ConvertColor(8, nullptr); }},
        SweepCase{"Bits04To32", 4, [](CConvertDib& dib) { return dib.ConvertColor(32, nullptr); }},
        SweepCase{"Resize08", 8, [](CConvertDib& dib) { return dib.ConvertSize(11, 5); }},
        SweepCase{"Resize01", 1, [](CConvertDib& dib) { return dib.ConvertSize(3, 2); }}),
    [](const ::testing::TestParamInfo<SweepCase>& testInfo) {
        return std::string(testInfo.param.name);
    });

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
