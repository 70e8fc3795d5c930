// Every prefix of a valid file: a clean failure or a picture, never a crash, a leak or a half-made
// object. (A refusal at every platform call of each load is the fault sweep's, in tests/library.)
#include "dib_test_support.h"
#include "support/live_objects.h"

#include <string>

namespace {

using namespace orvel::test;

bool CleanOutcome(const CDib& dib, BOOL result) {
    const Status status = StatusOf(dib);
    if (result) {
        return status == kSuccess && dib.GetSafeHandle() != nullptr && dib.GetPalette() != nullptr;
    }
    return status == ClassError(1);
}

class TruncationTest : public LeakCheckedTest,
                       public ::testing::WithParamInterface<PictureSample> {};

TEST_P(TruncationTest, EveryPrefixGivesACleanFailureOrAPicture) {
    const Bytes& file = GetParam().file;
    TempDir dir;
    for (std::size_t length = 0; length <= file.size(); ++length) {
        const Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
        TestDib handed;
        const BOOL handedResult = AttachBytes(handed, prefix);
        EXPECT_TRUE(CleanOutcome(handed, handedResult)) << "block of " << length << " bytes";
        // A file reaches the same funnel once read; its own checks concern the first bytes.
        if (length <= 70 || length % 61 == 0) {
            TestDib read;
            const BOOL readResult = read.Load(CString(dir.Write("p.bmp", prefix)));
            EXPECT_TRUE(CleanOutcome(read, readResult)) << "file of " << length << " bytes";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, TruncationTest, ::testing::ValuesIn(SamplePictures()),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
