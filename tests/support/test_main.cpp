// The entry point of every test program. Around each test it checks what holds between any two
// operations of the library: no global block is left locked, and every platform object a test
// made is gone when the test is. It also gives the process a scratch folder of its own as TMPDIR,
// removed at exit, so that neither the tests nor the programs they start leave files behind.
#include <orvel/platform/testing/fault_injection.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

class PlatformInvariants : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo& /*test*/) override {
        before_ = orvel::testing::GetLiveCounts();
    }

    // Listeners hear the end of a test before the printer does, so a failure here still counts
    // against the test that caused it.
    void OnTestEnd(const ::testing::TestInfo& test) override {
        if (test.result()->Skipped()) {
            return;
        }
        const orvel::testing::LiveCounts after = orvel::testing::GetLiveCounts();
        EXPECT_EQ(after.lockedBlocks, 0) << "a global block is left locked";
        EXPECT_TRUE(after == before_) << "live platform objects changed: "
                                      << orvel::testing::LiveCountChanges(before_, after);
    }

private:
    orvel::testing::LiveCounts before_;
};

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);

    std::string pattern = (std::filesystem::temp_directory_path() / "orvel_test_XXXXXX").string();
    const char* scratch = ::mkdtemp(pattern.data());
    if (scratch != nullptr) {
        ::setenv("TMPDIR", scratch, 1);
    }
    ::testing::UnitTest::GetInstance()->listeners().Append(new PlatformInvariants);
    const int status = RUN_ALL_TESTS();
    if (scratch != nullptr) {
        std::error_code ignored;
        std::filesystem::remove_all(scratch, ignored);
    }
    return status;
}
