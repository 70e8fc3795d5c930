// The object's set-up, release, hand-out and accessors, and the status setters.
#include "dib_test_support.h"

namespace {

using namespace orvel::test;
using LifecycleTest = LeakCheckedTest;

TEST_F(LifecycleTest, CheckingAccessorsAnswerOnlyForAUsablePicture) {
    TestDib dib;
    EXPECT_EQ(dib.DoDithering(0), TRUE); // the negation, and nothing changes
    EXPECT_EQ(dib.DoDithering(5), FALSE);
    EXPECT_EQ(dib.DoDithering(-1), FALSE);
    EXPECT_EQ(StatusOf(dib), ClassError(6));
    EXPECT_EQ(dib.GetSafeHandle(), nullptr);
    EXPECT_EQ(dib.GetPalette(), nullptr);
    EXPECT_NE(dib.DrawDibHandle(), nullptr);
    EXPECT_NE(dib.HalftonePalette().m_hObject, nullptr);
    EXPECT_EQ(dib.DrawDibPreference(), TRUE);
    CSize size(7, 7);
    WORD bits = 7;
    BITMAPINFOHEADER header{};
    header.biWidth = 7;
    EXPECT_FALSE(dib.GetSize(size));
    EXPECT_FALSE(dib.GetColorNum(bits));
    EXPECT_FALSE(dib.GetBIH(header));
    EXPECT_EQ(size, CSize(7, 7)); // nothing written on refusal
    EXPECT_EQ(bits, 7);
    EXPECT_EQ(+header.biWidth, 7);
    // The cached header starts zeroed, so the plain accessors have a defined answer.
    EXPECT_EQ(dib.GetSize(), CSize(0, 0));
    EXPECT_EQ(dib.GetColorNum(), 0);

    ASSERT_TRUE(LoadImage(dib, EightBitFile()));
    EXPECT_TRUE(dib.GetSize(size));
    EXPECT_TRUE(dib.GetColorNum(bits));
    EXPECT_TRUE(dib.GetBIH(header));
    EXPECT_EQ(size, CSize(5, 3));
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(+header.biWidth, 5);
    // A later failure makes the picture unusable to the checking accessors, not to the others.
    dib.SetClassError(5);
    EXPECT_FALSE(dib.GetSize(size));
    EXPECT_EQ(dib.GetColorNum(), 8);
}

TEST_F(LifecycleTest, DetachHandleGivesTheUnlockedBlockAwayAndEmptiesTheObject) {
    TestDib dib;
    EXPECT_EQ(dib.DetachHandle(), nullptr);
    EXPECT_EQ(StatusOf(dib), ClassError(6));

    ASSERT_TRUE(LoadImage(dib, EightBitFile()));
    dib.DrawDibPreference() = FALSE;
    GlobalLock(dib.GetSafeHandle());
    HGLOBAL block = dib.DetachHandle();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0U);
    EXPECT_EQ(BlockBytes(block), EightBitFile());
    EXPECT_EQ(dib.GetSafeHandle(), nullptr);
    EXPECT_EQ(dib.GetPalette(), nullptr);
    EXPECT_EQ(dib.DrawDibPreference(), TRUE);
    EXPECT_EQ(StatusOf(dib), ClassError(6));
    EXPECT_EQ(dib.GetSize(), CSize(5, 3)); // the cached header outlives the picture
    GlobalFree(block);
    ASSERT_TRUE(LoadImage(dib, EightBitFile()));
    dib.DrawDibPreference() = FALSE;
    EXPECT_FALSE(dib.Load(static_cast<BITMAPFILEHEADER*>(nullptr))); // a failed load resets it too
    EXPECT_EQ(dib.DrawDibPreference(), TRUE);
}

TEST_F(LifecycleTest, StatusSettersWriteTheWholeRecord) {
    TestDib dib;
    // The edge cases; every other status the setters write is checked where it is recorded.
    ::SetLastError(0);
    EXPECT_FALSE(dib.SetSystemError());
    EXPECT_EQ(StatusOf(dib), SystemError(0)); // a failure even without a last error
    CFileException none(CFileException::none);
    EXPECT_TRUE(dib.SetFileError(none));
    EXPECT_EQ(StatusOf(dib), kSuccess);
    EXPECT_FALSE(dib.SetClassError(0));
    EXPECT_EQ(StatusOf(dib), ClassError(0));
    EXPECT_TRUE(dib.SetNoError());
    EXPECT_EQ(StatusOf(dib), kSuccess);
}

} // namespace
