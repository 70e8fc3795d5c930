// Every prefix of a valid file: a clean failure or a picture, never a crash, a leak or a half-made
// object. (A refusal at every platform call of each load is the fault sweep's, in tests/library.)
#include "dib_test_support.h"
#include "support/live_objects.h"

#include <string>

namespace {

using namespace orvel::test;

struct Sample {
    const char* name;
    Bytes file;
};

std::vector<Sample> Samples() {
    ByteBuilder masks;
    masks.U32(0xF800).U32(0x07E0).U32(0x001F);
    return {
        {"Indexed8", EightBitFile()},
        {"Core4", CoreFile(5, 2, 4, Colours(16, 3), {0x12, 0x34, 0x50, 0, 0x67, 0x89, 0xA0, 0})},
        {"Rle8", InfoFile({.width = 5, .height = 3, .compression = BI_RLE8}, Colours(256),
                          {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 2, 9, 0, 1})},
        {"Rle4",
         InfoFile({.width = 5, .height = 2, .bitCount = 4, .compression = BI_RLE4, .clrUsed = 3},
                  Colours(3), {5, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1})},
        {"TopDown565",
         InfoFile({.width = 3, .height = -2, .bitCount = 16, .compression = BI_BITFIELDS},
                  masks.Get(), Bytes(16, 0xA5))},
        {"Direct24", InfoFile({.width = 2, .height = 2, .bitCount = 24}, {}, Bytes(16, 0x3C))},
    };
}

bool CleanOutcome(const CDib& dib, BOOL result) {
    const Status status = StatusOf(dib);
    if (result) {
        return status == kSuccess && dib.GetSafeHandle() != nullptr && dib.GetPalette() != nullptr;
    }
    return status == ClassError(1);
}

class TruncationTest : public LeakCheckedTest, public ::testing::WithParamInterface<Sample> {};

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

INSTANTIATE_TEST_SUITE_P(Files, TruncationTest, ::testing::ValuesIn(Samples()),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
