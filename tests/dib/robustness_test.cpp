// Every prefix of a valid file, and a failure at every platform call a load makes: a clean
// failure or a picture, never a crash, a leak or a half-made object.
#include "dib_test_support.h"
#include "support/live_objects.h"

#include <functional>
#include <string>

namespace {

using namespace orvel::test;
using orvel::testing::FaultSiteCalls;
using orvel::testing::InjectFault;

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

// A load under test: it arms a failure at the nth platform call of the load itself, runs the load
// on `dib` and gives its result.
struct LoadPath {
    const char* name;
    std::function<BOOL(TestDib& dib, const Bytes& file, const TempDir& dir, long nth)> load;
};

void Arm(long nth) {
    InjectFault(orvel::testing::kFaultAllSites, nth);
}

const LoadPath kLoadPaths[] = {
    {"MemoryImage",
     [](TestDib& dib, const Bytes& file, const TempDir&, long nth) {
         Arm(nth);
         return LoadImage(dib, file);
     }},
    {"HandedOverBlock",
     [](TestDib& dib, const Bytes& file, const TempDir&, long nth) {
         HGLOBAL block = GlobalAlloc(GHND, file.size());
         std::memcpy(GlobalLock(block), file.data(), file.size());
         FullUnlock(block);
         Arm(nth);
         return dib.AttachHandle(block);
     }},
    {"File",
     [](TestDib& dib, const Bytes&, const TempDir& dir, long nth) {
         Arm(nth);
         return dib.Load(CString(dir.Path("p.bmp")));
     }},
    {"Copy",
     [](TestDib& dib, const Bytes& file, const TempDir&, long nth) {
         TestDib source;
         EXPECT_TRUE(LoadImage(source, file));
         Arm(nth);
         return dib.Load(source);
     }},
};

class FaultSweepTest : public LeakCheckedTest,
                       public ::testing::WithParamInterface<std::tuple<LoadPath, Sample>> {};

TEST_P(FaultSweepTest, FailureAtAnyCallLeavesAConsistentObject) {
    const auto& [path, sample] = GetParam();
    TempDir dir;
    dir.Write("p.bmp", sample.file);
    for (long nth = 1;; ++nth) {
        TestDib dib;
        BOOL result = FALSE;
        try {
            result = path.load(dib, sample.file, dir, nth);
        } catch (const CFileException& e) {
            EXPECT_EQ(e.m_cause, CFileException::hardIO); // a read error passes through
        }
        const bool fired = orvel::testing::FaultFired();
        const long calls = FaultSiteCalls();
        orvel::testing::ClearFault();
        EXPECT_EQ(result != FALSE, StatusOf(dib) == kSuccess) << "call " << nth;
        if (result) {
            ASSERT_NE(dib.GetPalette(), nullptr);
            // The one refusal a load may pass over is the halftone palette of a direct-colour
            // picture (the screen context or the palette itself): the picture is whole without.
            EXPECT_TRUE(!fired || dib.GetPalette()->m_hObject == nullptr)
                << "call " << nth << " failed unnoticed";
        }
        if (calls < nth) {
            EXPECT_TRUE(result) << "the load fails without a fault";
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Loads, FaultSweepTest,
                         ::testing::Combine(::testing::ValuesIn(kLoadPaths),
                                            ::testing::ValuesIn(Samples())),
                         [](const auto& param) {
                             return std::string(std::get<0>(param.param).name) + "_" +
                                    std::get<1>(param.param).name;
                         });

} // namespace
