// BitBlt and StretchBlt between surfaces: colours carried through the source context's palette,
// monochrome sources, overlapping copies on one surface, and operations without a source.
#include <orvel/orvel.h>

#include "platform/drawing_helpers.h"
#include "platform/last_error.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace orvel::test;

class BitBltTest : public orvel::test::LeakCheckedTest {
protected:
    void TearDown() override {
        source_.reset();
        target_.reset();
        LeakCheckedTest::TearDown();
    }
    std::optional<MemorySurface> source_;
    std::optional<MemorySurface> target_;
};

TEST_F(BitBltTest, IndexedSourceShowsTheColoursOfItsOwnContextPalette) {
    source_.emplace(2, 1, 8, PaletteOfColours({RGB(9, 9, 9), RGB(200, 0, 100), RGB(0, 50, 250)}));
    SetPixel(source_->Dc(), 0, 0, RGB(200, 0, 100));
    SetPixel(source_->Dc(), 1, 0, RGB(0, 50, 250));
    target_.emplace(3, 1, 32);
    ASSERT_TRUE(BitBlt(target_->Dc(), 1, 0, 2, 1, source_->Dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(PixelsOf(target_->Dc(), 3, 1),
              (std::vector<COLORREF>{RGB(0, 0, 0), RGB(200, 0, 100), RGB(0, 50, 250)}));
}

TEST_F(BitBltTest, MonochromeSourceIsBlackAndWhiteAndStretchingRepeatsIt) {
    source_.emplace(2, 1, 1);
    SetPixel(source_->Dc(), 1, 0, RGB(255, 255, 255));
    target_.emplace(4, 2, 24);
    CDC target;
    CDC source;
    target.Attach(target_->Dc());
    source.Attach(source_->Dc());
    ASSERT_TRUE(target.StretchBlt(0, 0, 4, 2, &source, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(
        PixelsOf(target_->Dc(), 4, 2),
        (std::vector<COLORREF>{kBlack, kBlack, kWhite, kWhite, kBlack, kBlack, kWhite, kWhite}));
    target.Detach();
    source.Detach();
}

TEST_F(BitBltTest, OverlappingCopyReadsTheOriginalPixelsAndSourcelessOperationsNeedNoSource) {
    target_.emplace(5, 1, 32);
    for (int x = 0; x < 5; ++x) {
        SetPixel(target_->Dc(), x, 0, RGB(static_cast<BYTE>(10 * (x + 1)), 0, 0));
    }
    // Moving pixels 0..3 one to the right must not smear pixel 0 across the row.
    ASSERT_TRUE(BitBlt(target_->Dc(), 1, 0, 4, 1, target_->Dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(PixelsOf(target_->Dc(), 5, 1),
              (std::vector<COLORREF>{RGB(10, 0, 0), RGB(10, 0, 0), RGB(20, 0, 0), RGB(30, 0, 0),
                                     RGB(40, 0, 0)}));

    // Operations without a source need no source context.
    target_.emplace(2, 2, 16);
    ASSERT_TRUE(BitBlt(target_->Dc(), 0, 0, 1, 2, nullptr, 0, 0, WHITENESS));
    EXPECT_EQ(GetPixel(target_->Dc(), 0, 1), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(target_->Dc(), 1, 1), RGB(0, 0, 0));
    ASSERT_TRUE(BitBlt(target_->Dc(), 0, 0, 2, 2, nullptr, 0, 0, DSTINVERT));
    EXPECT_EQ(GetPixel(target_->Dc(), 0, 1), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(target_->Dc(), 1, 1), RGB(255, 255, 255));
}

// Each refusal names its cause in the error number and leaves the target untouched (BitBlt is
// StretchBlt at equal extents).
TEST_F(BitBltTest, RefusalsSetTheirErrorNumberAndDrawNothing) {
    source_.emplace(2, 1, 32);
    target_.emplace(2, 1, 32);
    SetPixel(source_->Dc(), 0, 0, RGB(1, 2, 3));
    struct Refusal {
        int targetWidth;
        HDC source;
        int sourceWidth;
        DWORD rop;
        DWORD error;
    };
    const Refusal refusals[] = {
        {2, source_->Dc(), 2, 0x00123456, ERROR_INVALID_PARAMETER}, // no such operation
        {0, source_->Dc(), 2, SRCCOPY, ERROR_INVALID_PARAMETER},
        {2, source_->Dc(), 0, SRCCOPY, ERROR_INVALID_PARAMETER},
        {2, nullptr, 2, SRCCOPY, ERROR_INVALID_HANDLE},
    };
    for (const Refusal& refusal : refusals) {
        EXPECT_REFUSED(StretchBlt(target_->Dc(), 0, 0, refusal.targetWidth, 1, refusal.source, 0, 0,
                                  refusal.sourceWidth, 1, refusal.rop),
                       FALSE, refusal.error)
            << refusal.targetWidth << refusal.sourceWidth;
    }
    EXPECT_EQ(GetPixel(target_->Dc(), 0, 0), RGB(0, 0, 0));
}

} // namespace
