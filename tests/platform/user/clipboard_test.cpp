// The clipboard: who may open it, who owns what is on it, what is freed when, and the error
// numbers of each refusal.
#include <orvel/orvel.h>

#include "platform/drawing_helpers.h"
#include "platform/last_error.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

using orvel::test::PaletteOfColours;

class ClipboardTest : public orvel::test::LeakCheckedTest {
protected:
    void SetUp() override {
        window_ =
            CreateWindowExA(0, "c", "one", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        other_ =
            CreateWindowExA(0, "c", "two", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    // Whatever a test leaves on the clipboard is the clipboard's; emptying it gives it back
    // before the leak check counts.
    void TearDown() override {
        LeakCheckedTest::TearDown(); // before the clipboard gives its blocks back
        CloseClipboard();
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
        DestroyWindow(window_);
        DestroyWindow(other_);
    }

    static HGLOBAL Block(BYTE fill, SIZE_T bytes = 16) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        auto* bytesOf = static_cast<BYTE*>(GlobalLock(block));
        std::memset(bytesOf, fill, bytes);
        GlobalUnlock(block);
        return block;
    }

    HWND window_ = nullptr;
    HWND other_ = nullptr;
};

TEST_F(ClipboardTest, OnlyOneWindowHasItOpenAtATime) {
    ASSERT_TRUE(OpenClipboard(window_));
    EXPECT_EQ(GetOpenClipboardWindow(), window_);
    EXPECT_TRUE(OpenClipboard(window_)) << "the same window opening again";
    EXPECT_REFUSED(OpenClipboard(other_), FALSE, ERROR_ACCESS_DENIED);
    EXPECT_REFUSED(OpenClipboard(nullptr), FALSE, ERROR_ACCESS_DENIED);

    // Another thread cannot close it or open it.
    std::thread([] {
        EXPECT_REFUSED(CloseClipboard(), FALSE, ERROR_CLIPBOARD_NOT_OPEN);
        EXPECT_REFUSED(OpenClipboard(nullptr), FALSE, ERROR_ACCESS_DENIED);
    }).join();

    EXPECT_TRUE(CloseClipboard());
    EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
    EXPECT_REFUSED(CloseClipboard(), FALSE, ERROR_CLIPBOARD_NOT_OPEN);
    EXPECT_TRUE(OpenClipboard(other_));
    EXPECT_TRUE(CloseClipboard());

    EXPECT_REFUSED(OpenClipboard(reinterpret_cast<HWND>(std::uintptr_t{0x19})), FALSE,
                   ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(ClipboardTest, DataGoesToTheClipboardAndIsLentBack) {
    const long blocksBefore = orvel::testing::GetLiveCounts().globalBlocks;
    ASSERT_TRUE(OpenClipboard(window_));
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_EQ(GetClipboardOwner(), window_);
    HGLOBAL block = Block(0xAB);
    EXPECT_EQ(SetClipboardData(CF_DIB, block), block);
    EXPECT_TRUE(CloseClipboard());

    EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB)) << "no need to open it to ask";
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_PALETTE));
    EXPECT_EQ(CountClipboardFormats(), 1);
    EXPECT_REFUSED(GetClipboardData(CF_DIB), nullptr, ERROR_CLIPBOARD_NOT_OPEN);

    ASSERT_TRUE(OpenClipboard(other_));
    HANDLE lent = GetClipboardData(CF_DIB);
    EXPECT_EQ(lent, block);
    EXPECT_EQ(static_cast<const BYTE*>(GlobalLock(static_cast<HGLOBAL>(lent)))[15], 0xAB);
    GlobalUnlock(static_cast<HGLOBAL>(lent));
    EXPECT_REFUSED(GetClipboardData(CF_PALETTE), nullptr, ERROR_NOT_FOUND);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_EQ(orvel::testing::GetLiveCounts().globalBlocks, blocksBefore + 1)
        << "the block is the clipboard's now";

    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_EQ(GetClipboardOwner(), nullptr);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));

    // A format announced without data is available but gives nothing.
    ASSERT_TRUE(OpenClipboard(window_));
    EXPECT_NE(SetClipboardData(CF_DIB, nullptr), nullptr);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
    EXPECT_REFUSED(GetClipboardData(CF_DIB), nullptr, ERROR_NOT_FOUND);
    EXPECT_TRUE(CloseClipboard());
}

TEST_F(ClipboardTest, ReplacingAFormatFreesTheOldDataButNotTheSameHandleTwice) {
    const orvel::testing::LiveCounts before = orvel::testing::GetLiveCounts();
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    HGLOBAL first = Block(1);
    HGLOBAL second = Block(2);
    ASSERT_EQ(SetClipboardData(CF_DIB, first), first);
    ASSERT_EQ(SetClipboardData(CF_DIB, second), second);
    EXPECT_EQ(GlobalFlags(first), GMEM_INVALID_HANDLE) << "the replaced block was freed";
    ASSERT_EQ(SetClipboardData(CF_DIB, second), second);
    EXPECT_NE(GlobalFlags(second), GMEM_INVALID_HANDLE) << "setting it again keeps it";

    HPALETTE palette = PaletteOfColours({RGB(1, 2, 3), RGB(4, 5, 6)});
    ASSERT_EQ(SetClipboardData(CF_PALETTE, palette), palette);
    EXPECT_EQ(orvel::testing::GetLiveCounts().gdiObjects, before.gdiObjects + 1);
    EXPECT_EQ(CountClipboardFormats(), 2);
    EXPECT_EQ(EnumClipboardFormats(0), CF_DIB);
    EXPECT_EQ(EnumClipboardFormats(CF_DIB), CF_PALETTE);
    EXPECT_EQ(EnumClipboardFormats(CF_PALETTE), 0U);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(GetClipboardData(CF_PALETTE), palette);

    ASSERT_TRUE(EmptyClipboard());
    EXPECT_EQ(GetObjectType(palette), 0U) << "the clipboard destroyed its palette";
    EXPECT_TRUE(CloseClipboard());
}

TEST_F(ClipboardTest, RefusedDataStaysWithTheCaller) {
    HGLOBAL block = Block(7);
    EXPECT_REFUSED(SetClipboardData(CF_DIB, block), nullptr, ERROR_CLIPBOARD_NOT_OPEN);
    EXPECT_REFUSED(EmptyClipboard(), FALSE, ERROR_CLIPBOARD_NOT_OPEN);
    EXPECT_REFUSED(EnumClipboardFormats(0), 0U, ERROR_CLIPBOARD_NOT_OPEN);

    ASSERT_TRUE(OpenClipboard(window_));
    HPALETTE palette = PaletteOfColours({RGB(9, 9, 9)});
    EXPECT_REFUSED(SetClipboardData(CF_PALETTE, block), nullptr, ERROR_INVALID_HANDLE)
        << "a palette format needs a palette";
    EXPECT_REFUSED(SetClipboardData(CF_DIB, palette), nullptr, ERROR_INVALID_HANDLE)
        << "a DIB format needs a global block";
    EXPECT_REFUSED(SetClipboardData(CF_BITMAP, palette), nullptr, ERROR_INVALID_HANDLE);

    orvel::testing::InjectFault(orvel::testing::kFaultClipboard, 1);
    EXPECT_REFUSED(SetClipboardData(CF_DIB, block), nullptr, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
    EXPECT_TRUE(CloseClipboard());

    // Still the caller's to free.
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_TRUE(DeleteObject(palette));
}

TEST_F(ClipboardTest, InjectedFailuresLookLikeTheRealOnes) {
    orvel::testing::InjectFault(orvel::testing::kFaultClipboard, 1);
    EXPECT_REFUSED(OpenClipboard(window_), FALSE, ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetOpenClipboardWindow(), nullptr);

    orvel::testing::InjectFault(orvel::testing::kFaultClipboard, 2);
    ASSERT_TRUE(OpenClipboard(window_));
    EXPECT_REFUSED(EmptyClipboard(), FALSE, ERROR_ACCESS_DENIED);

    ASSERT_TRUE(EmptyClipboard());
    HGLOBAL block = Block(3);
    ASSERT_EQ(SetClipboardData(CF_DIB, block), block);
    orvel::testing::InjectFault(orvel::testing::kFaultClipboard, 1);
    EXPECT_REFUSED(GetClipboardData(CF_DIB), nullptr, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(GetClipboardData(CF_DIB), block);
    EXPECT_TRUE(CloseClipboard());
}

TEST_F(ClipboardTest, DestroyingTheOpenerClosesTheClipboardAndTheOwnerLeavesTheData) {
    HWND opener = CreateWindowExA(0, "c", "t", 0, 0, 0, 4, 4, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(OpenClipboard(opener));
    ASSERT_TRUE(EmptyClipboard());
    HGLOBAL block = Block(5);
    ASSERT_EQ(SetClipboardData(CF_DIB, block), block);
    DestroyWindow(opener);
    EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
    EXPECT_EQ(GetClipboardOwner(), nullptr);
    EXPECT_TRUE(OpenClipboard(other_)) << "closed with its opener";
    EXPECT_EQ(GetClipboardData(CF_DIB), block) << "the data stays on the clipboard";
    EXPECT_TRUE(CloseClipboard());
}

} // namespace
