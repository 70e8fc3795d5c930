#include <orvel/orvel.h>

#include "platform/last_error.h"
#include "support/live_objects.h"
#include <orvel/platform/memory/detail/huge_pages.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using namespace orvel::test;
using GlobalMemoryTest = LeakCheckedTest;

// Each lock raises the count, up to what its byte holds; unlocking says whether a lock is left.
TEST_F(GlobalMemoryTest, LockCountRisesToItsByteAndUnlockReportsWhetherTheBlockStaysLocked) {
    HGLOBAL block = GlobalAlloc(GHND, 16);
    void* first = GlobalLock(block);
    EXPECT_EQ(GlobalLock(block), first);
    EXPECT_EQ(LockCount(block), 2U);
    EXPECT_TRUE(GlobalUnlock(block));
    SetLastError(12345);
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_REFUSED(GlobalUnlock(block), FALSE, ERROR_NOT_LOCKED);
    for (int i = 0; i < 300; ++i) {
        ASSERT_NE(GlobalLock(block), nullptr);
    }
    EXPECT_EQ(LockCount(block), 255U);
    FullUnlock(block);
    EXPECT_EQ(LockCount(block), 0U);
    GlobalFree(block);
}

TEST_F(GlobalMemoryTest, StaleNullForeignAndEmptyHandlesAreRefused) {
    HGLOBAL block = GlobalAlloc(GHND, 8);
    ASSERT_EQ(GlobalFree(block), nullptr);

    EXPECT_REFUSED(GlobalLock(block), nullptr, ERROR_INVALID_HANDLE);
    EXPECT_EQ(GlobalSize(block), 0U);
    EXPECT_EQ(GlobalFlags(block), GMEM_INVALID_HANDLE);
    EXPECT_EQ(GlobalFree(block), block);
    EXPECT_REFUSED(GlobalUnlock(block), FALSE, ERROR_INVALID_HANDLE);

    EXPECT_EQ(GlobalLock(nullptr), nullptr);
    // A palette handle is not a memory block, although both are handles of the platform.
    LOGPALETTE logPalette{PALETTE_VERSION, 1, {{1, 2, 3, 0}}};
    HPALETTE palette = CreatePalette(&logPalette);
    EXPECT_REFUSED(GlobalLock(reinterpret_cast<HGLOBAL>(palette)), nullptr, ERROR_INVALID_HANDLE);
    DeleteObject(palette);

    // An empty block exists but cannot be locked; flags are reported.
    block = GlobalAlloc(GHND, 0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 0U);
    EXPECT_REFUSED(GlobalLock(block), nullptr, ERROR_DISCARDED);
    EXPECT_NE(GlobalFlags(block) & GMEM_DISCARDED, 0U);
    GlobalFree(block);
    block = GlobalAlloc(GHND | GMEM_DISCARDABLE, 8);
    EXPECT_EQ(GlobalFlags(block), GMEM_DISCARDABLE);
    GlobalFree(block);
}

// Large blocks live in mappings of their own, sized and aligned in huge pages; small ones come
// from the allocator. Small sizes, and sizes on both sides of the threshold (2 MiB) and of
// huge-page multiples.
class BlockSizeTest : public LeakCheckedTest, public ::testing::WithParamInterface<SIZE_T> {};

TEST_P(BlockSizeTest, BlockIsZeroFilledWritableToItsLastByteAndNeverShowsEarlierContents) {
    const SIZE_T size = GetParam();
    for (int round = 0; round < 2; ++round) {
        HGLOBAL block = GlobalAlloc(GHND, size);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(GlobalSize(block), size);
        auto* bytes = static_cast<BYTE*>(GlobalLock(block));
        ASSERT_NE(bytes, nullptr);
        // The second round's block may reuse the first one's memory: it must still be zero.
        EXPECT_TRUE(std::all_of(bytes, bytes + size, [](BYTE b) { return b == 0; }))
            << "round " << round;
        std::fill(bytes, bytes + size, BYTE{0xA5});
        EXPECT_EQ(bytes[size - 1], 0xA5);
        GlobalUnlock(block);
        EXPECT_EQ(GlobalFree(block), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(AroundTheOwnMappingThreshold, BlockSizeTest,
                         ::testing::Values(SIZE_T{1}, SIZE_T{54}, SIZE_T{4097}, SIZE_T{65536},
                                           (SIZE_T{2} << 20) - 1, SIZE_T{2} << 20,
                                           (SIZE_T{2} << 20) + 1, (SIZE_T{4} << 20) + 1,
                                           (SIZE_T{6} << 20) + 4095, SIZE_T{8} << 20));

TEST_F(GlobalMemoryTest, FreeingLargeBlocksLeavesTheirNeighboursIntact) {
    // Mappings are trimmed to huge-page boundaries when made and unmapped when freed; a wrong
    // length would take a neighbouring block's pages with it.
    std::vector<HGLOBAL> blocks;
    for (int i = 0; i < 8; ++i) {
        const SIZE_T size = (SIZE_T{2} << 20) + static_cast<SIZE_T>(i) * 700001;
        HGLOBAL block = GlobalAlloc(GHND, size);
        ASSERT_NE(block, nullptr);
        auto* bytes = static_cast<BYTE*>(GlobalLock(block));
        std::fill(bytes, bytes + size, static_cast<BYTE>(i + 1));
        GlobalUnlock(block);
        blocks.push_back(block);
    }
    for (std::size_t i = 0; i < blocks.size(); i += 2) {
        EXPECT_EQ(GlobalFree(blocks[i]), nullptr);
    }
    for (std::size_t i = 1; i < blocks.size(); i += 2) {
        const SIZE_T size = GlobalSize(blocks[i]);
        const auto* bytes = static_cast<const BYTE*>(GlobalLock(blocks[i]));
        ASSERT_NE(bytes, nullptr);
        const auto expected = static_cast<BYTE>(i + 1);
        EXPECT_TRUE(std::all_of(bytes, bytes + size, [&](BYTE b) { return b == expected; }))
            << "block " << i;
        GlobalUnlock(blocks[i]);
        GlobalFree(blocks[i]);
    }
}

// The kernel is asked for huge pages in a large block's mapping exactly where they pay: its
// THPeligible flag follows the platform's choice (with transparent huge pages in madvise mode).
TEST_F(GlobalMemoryTest, LargeBlocksAskForHugePagesOnlyWhereTheyPay) {
    std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    std::getline(mode, modes);
    if (modes.find("[madvise]") == std::string::npos) {
        GTEST_SKIP() << "transparent huge pages are not in madvise mode: " << modes;
    }
    HGLOBAL block = GlobalAlloc(GHND, SIZE_T{4} << 20);
    const auto address = reinterpret_cast<std::uintptr_t>(GlobalLock(block));
    std::ifstream maps("/proc/self/smaps");
    std::string line;
    int eligible = -1;
    bool inBlock = false;
    while (std::getline(maps, line) && eligible < 0) {
        unsigned long long from = 0;
        unsigned long long to = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx", &from, &to) == 2) {
            inBlock = from <= address && address < to;
        } else if (inBlock && line.starts_with("THPeligible:")) {
            eligible = std::stoi(line.substr(12));
        }
    }
    // Only a block with a mapping of its own gives pages back (sanitizer builds have none).
    const bool ownMapping = orvel::platform::ReleaseBlockBytes(block, 0, SIZE_T{1} << 20) != 0;
    GlobalUnlock(block);
    GlobalFree(block);
    if (!ownMapping) {
        GTEST_SKIP() << "blocks come from the allocator in this build";
    }
    EXPECT_EQ(eligible, orvel::platform::detail::HugePagesPay() ? 1 : 0);
}

// Only the whole pages inside the range go back, and only from a block with its own mapping
// (sanitizer builds have none); they read as zero, and every byte around them keeps its value.
TEST_F(GlobalMemoryTest, ReleasedBytesAreTheWholePagesInsideTheRangeAndReadAsZero) {
    const SIZE_T size = SIZE_T{4} << 20;
    const auto page = static_cast<SIZE_T>(::sysconf(_SC_PAGESIZE));
    HGLOBAL block = GlobalAlloc(GHND, size);
    auto* bytes = static_cast<BYTE*>(GlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    std::fill(bytes, bytes + size, BYTE{0x5A});
    const SIZE_T released = orvel::platform::ReleaseBlockBytes(block, page - 1, 3 * page + 2);
    EXPECT_TRUE(released == 0 || released == 3 * page) << released;
    for (SIZE_T i = 0; i < size; ++i) {
        const BYTE expected = i >= page && i < page + released ? 0 : 0x5A;
        ASSERT_EQ(bytes[i], expected) << "byte " << i;
    }
    EXPECT_EQ(orvel::platform::ReleaseBlockBytes(block, 10, page), 0U);
    EXPECT_REFUSED(orvel::platform::ReleaseBlockBytes(block, size - 1, 2), 0U,
                   ERROR_INVALID_PARAMETER);
    GlobalUnlock(block);
    GlobalFree(block);
    EXPECT_REFUSED(orvel::platform::ReleaseBlockBytes(block, 0, 1), 0U, ERROR_INVALID_HANDLE);
}

TEST_F(GlobalMemoryTest, OversizedRequestsAndThoseAboveTheTestingCeilingAreRefused) {
    EXPECT_REFUSED(GlobalAlloc(GHND, kGlobalMemoryMaxBlockBytes + 1), nullptr,
                   ERROR_NOT_ENOUGH_MEMORY);
    {
        const orvel::testing::ScopedGlobalAllocLimit ceiling(4096);
        EXPECT_EQ(orvel::testing::GlobalAllocLimit(), SIZE_T{4096});
        HGLOBAL atCeiling = GlobalAlloc(GHND, 4096);
        EXPECT_NE(atCeiling, nullptr);
        GlobalFree(atCeiling);
        EXPECT_REFUSED(GlobalAlloc(GHND, 4097), nullptr, ERROR_NOT_ENOUGH_MEMORY);
        // A ceiling above the service's own maximum cannot lift that maximum.
        orvel::testing::SetGlobalAllocLimit(kGlobalMemoryMaxBlockBytes + 1);
        EXPECT_EQ(orvel::testing::GlobalAllocLimit(), kGlobalMemoryMaxBlockBytes);
        orvel::testing::SetGlobalAllocLimit(16);
    }
    // The scope put the unlimited state back, not the 16 bytes set inside it.
    EXPECT_EQ(orvel::testing::GlobalAllocLimit(), kGlobalMemoryMaxBlockBytes);
    HGLOBAL larger = GlobalAlloc(GHND, 8192);
    EXPECT_NE(larger, nullptr);
    GlobalFree(larger);
}

TEST_F(GlobalMemoryTest, InjectedFaultsFailTheNthCallWithTheRealErrors) {
    orvel::testing::InjectFault(orvel::testing::kFaultGlobalAlloc, 2);
    HGLOBAL first = GlobalAlloc(GHND, 8);
    EXPECT_NE(first, nullptr);
    EXPECT_REFUSED(GlobalAlloc(GHND, 8), nullptr, ERROR_NOT_ENOUGH_MEMORY);
    HGLOBAL third = GlobalAlloc(GHND, 8);
    EXPECT_NE(third, nullptr);
    EXPECT_TRUE(orvel::testing::FaultFired());
    EXPECT_EQ(orvel::testing::FaultSiteCalls(), 3);

    orvel::testing::InjectFault(orvel::testing::kFaultGlobalLock, 1);
    EXPECT_REFUSED(GlobalLock(first), nullptr, ERROR_DISCARDED);
    EXPECT_EQ(LockCount(first), 0U);
    EXPECT_NE(GlobalLock(first), nullptr);
    FullUnlock(first);
    GlobalFree(first);
    GlobalFree(third);

    // Among sites armed together, the first that failed is named.
    const std::uint32_t both = orvel::testing::kFaultGlobalAlloc | orvel::testing::kFaultGlobalLock;
    orvel::testing::InjectFault(both, 2, true);
    HGLOBAL block = GlobalAlloc(GHND, 8);
    EXPECT_EQ(orvel::testing::FirstFailedSite(), 0U) << "nothing has failed yet";
    EXPECT_EQ(GlobalLock(block), nullptr);
    EXPECT_EQ(GlobalAlloc(GHND, 8), nullptr);
    EXPECT_EQ(orvel::testing::FirstFailedSite(), orvel::testing::kFaultGlobalLock)
        << "the first refusal is kept, not the latest";
    orvel::testing::InjectFault(both, 1);
    EXPECT_EQ(orvel::testing::FirstFailedSite(), 0U) << "arming again forgets it";
    GlobalFree(block);
}

TEST_F(GlobalMemoryTest, ThreadsHaveTheirOwnLastErrorAndAllocateLockAndFreeConcurrently) {
    SetLastError(77);
    std::thread other([] {
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
        GlobalLock(nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    });
    other.join();
    EXPECT_EQ(GetLastError(), 77U);

    HGLOBAL shared = GlobalAlloc(GHND, 64);
    std::atomic<int> failures{0};
    auto work = [&] {
        for (int i = 0; i < 2000; ++i) {
            HGLOBAL own = GlobalAlloc(GHND, 32 + i % 7);
            auto* bytes = static_cast<BYTE*>(GlobalLock(own));
            if (bytes == nullptr || bytes[0] != 0) {
                ++failures;
            } else {
                bytes[0] = 1;
            }
            if (GlobalLock(shared) == nullptr) {
                ++failures;
            }
            GlobalUnlock(shared);
            GlobalUnlock(own);
            if (GlobalFree(own) != nullptr) {
                ++failures;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back(work);
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(LockCount(shared), 0U);
    GlobalFree(shared);
}

} // namespace
