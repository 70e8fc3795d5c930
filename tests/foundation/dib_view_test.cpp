#include <orvel/orvel.h>

#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

namespace {

using namespace orvel::test;
using DibViewTest = LeakCheckedTest;

// A DIB block of an 8-bit 4 x 2 picture whose bytes count up from 0.
HGLOBAL MakeCountingBlock(SIZE_T size = 54 + 1024 + 8) {
    HGLOBAL block = GlobalAlloc(GHND, size);
    auto* bytes = static_cast<BYTE*>(GlobalLock(block));
    std::iota(bytes, bytes + size, BYTE{0});
    const BITMAPINFOHEADER header = CDibSupport::MakeBIH(4, 2, 8, BI_RGB, 0, 0, 0, 0, 0);
    const BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);
    std::memcpy(bytes, &file, sizeof file);
    std::memcpy(bytes + 14, &header, sizeof header);
    GlobalUnlock(block);
    return block;
}

TEST_F(DibViewTest, ViewWithoutABlockOrALockReturnsNullEverywhere) {
    CDibInfo view;
    EXPECT_EQ(view.GetDIB(), nullptr);
    EXPECT_EQ(view.GetBI(), nullptr);
    EXPECT_EQ(view.GetColors(), nullptr);
    EXPECT_EQ(view.GetImage(), nullptr);
    CDibInfo fromNull(nullptr);
    EXPECT_EQ(fromNull.GetImage(), nullptr);
    EXPECT_EQ(fromNull.Load(nullptr), 0);
    // A block whose lock fails is no better.
    HGLOBAL block = MakeCountingBlock();
    orvel::testing::InjectFault(orvel::testing::kFaultGlobalLock, 1);
    CDibInfo unlocked(block);
    EXPECT_EQ(unlocked.GetDIB(), nullptr);
    EXPECT_EQ(unlocked.GetBI(), nullptr);
    EXPECT_EQ(unlocked.GetImage(), nullptr);
    orvel::testing::ClearFault();
    unlocked.Load(nullptr);
    GlobalFree(block);
}

TEST_F(DibViewTest, AccessorsPointAtTheFixedOffsetsAndBfOffBits) {
    HGLOBAL block = MakeCountingBlock();
    {
        CDibInfo view(block);
        BYTE* base = view.GetDIB();
        ASSERT_NE(base, nullptr);
        EXPECT_EQ(reinterpret_cast<BYTE*>(view.GetBI()), base + 14);
        EXPECT_EQ(reinterpret_cast<BYTE*>(view.GetColors()), base + 54);
        EXPECT_EQ(view.GetImage(), base + 1078);
        EXPECT_EQ(+view.GetBI()->bmiHeader.biWidth, 4);
        EXPECT_EQ(LockCount(block), 1U);
    }
    EXPECT_EQ(LockCount(block), 0U);
    GlobalFree(block);
}

TEST_F(DibViewTest, EndingAnyViewReleasesEveryLockOnTheBlock) {
    HGLOBAL block = MakeCountingBlock();
    GlobalLock(block); // a lock taken outside any view
    {
        CDibInfo first(block);
        CDibInfo second(block);
        EXPECT_EQ(LockCount(block), 3U);
        {
            CDibInfo copy = first; // copies take no lock of their own
            EXPECT_EQ(LockCount(block), 3U);
        }
        EXPECT_EQ(LockCount(block), 0U);
    }
    EXPECT_EQ(LockCount(block), 0U);
    GlobalFree(block);
}

TEST_F(DibViewTest, LoadEndsTheOldViewAndReturnsTheNewAddress) {
    HGLOBAL first = MakeCountingBlock();
    HGLOBAL second = MakeCountingBlock();
    CDibInfo view(first);
    const INT_PTR address = view.Load(second);
    EXPECT_EQ(LockCount(first), 0U);
    EXPECT_EQ(LockCount(second), 1U);
    EXPECT_EQ(address, reinterpret_cast<INT_PTR>(view.GetDIB()));
    EXPECT_EQ(view.Load(nullptr), 0);
    EXPECT_EQ(LockCount(second), 0U);
    GlobalFree(first);
    GlobalFree(second);
}

TEST_F(DibViewTest, PackedDibIsEverythingAfterTheFileHeader) {
    const SIZE_T size = 54 + 1024 + 8 + 3; // a block with 3 trailing bytes beyond its content
    HGLOBAL block = MakeCountingBlock(size);
    HGLOBAL packed = nullptr;
    ASSERT_TRUE(CDibSupport::GetBIHFromBFH(block, &packed));
    ASSERT_NE(packed, nullptr);
    EXPECT_EQ(GlobalSize(packed), size - 14);
    EXPECT_EQ(LockCount(block), 0U);
    EXPECT_EQ(LockCount(packed), 0U);
    EXPECT_NE(GlobalFlags(packed) & GMEM_DISCARDABLE, 0U);
    const auto* source = static_cast<const BYTE*>(GlobalLock(block));
    const auto* target = static_cast<const BYTE*>(GlobalLock(packed));
    EXPECT_EQ(std::memcmp(source + 14, target, size - 14), 0);
    GlobalUnlock(block);
    GlobalUnlock(packed);
    GlobalFree(packed);
    GlobalFree(block);
}

TEST_F(DibViewTest, PackedDibFailsCleanlyAtEachPlatformRefusal) {
    HGLOBAL block = MakeCountingBlock();
    HGLOBAL packed = nullptr;
    EXPECT_FALSE(CDibSupport::GetBIHFromBFH(nullptr, &packed));
    EXPECT_FALSE(CDibSupport::GetBIHFromBFH(block, nullptr));

    orvel::testing::InjectFault(orvel::testing::kFaultGlobalLock, 1); // the source's lock
    EXPECT_FALSE(CDibSupport::GetBIHFromBFH(block, &packed));
    orvel::testing::InjectFault(orvel::testing::kFaultGlobalAlloc, 1); // the new block
    EXPECT_FALSE(CDibSupport::GetBIHFromBFH(block, &packed));
    EXPECT_EQ(packed, nullptr);
    orvel::testing::InjectFault(orvel::testing::kFaultGlobalLock, 2); // the new block's lock
    EXPECT_FALSE(CDibSupport::GetBIHFromBFH(block, &packed));
    orvel::testing::ClearFault();
    EXPECT_EQ(LockCount(block), 0U);
    GlobalFree(block);
}

} // namespace
