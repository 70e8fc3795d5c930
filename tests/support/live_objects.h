// Leak checks for tests: the platform's live-object counts before and after a piece of work.
#pragma once

#include <orvel/orvel.h>
#include <orvel/platform/testing/fault_injection.h>

#include <gtest/gtest.h>

namespace orvel::test {

/// Remembers the live counts when made; Unchanged() tells whether they are back to that.
class LiveObjects {
public:
    LiveObjects() noexcept : before_(orvel::testing::GetLiveCounts()) {}

    /// A gtest assertion result naming every count that differs.
    ::testing::AssertionResult Unchanged() const;

private:
    orvel::testing::LiveCounts before_;
};

/// How many locks a block holds.
inline UINT LockCount(HGLOBAL block) {
    return GlobalFlags(block) & GMEM_LOCKCOUNT;
}

/// A test fixture that disarms any injected fault when the test ends and fails a test that
/// leaves a block locked while the fixture's pictures and the clipboard's blocks are still alive
/// (the test program itself checks the live counts once the fixture is gone).
class LeakCheckedTest : public ::testing::Test {
protected:
    void TearDown() override {
        orvel::testing::ClearFault();
        EXPECT_EQ(orvel::testing::GetLiveCounts().lockedBlocks, 0) << "a block is left locked";
    }
};

} // namespace orvel::test
