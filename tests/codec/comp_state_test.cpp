// The life of a CDibComp as its compressor sees it: which messages arrive, in which order, with
// which formats.
#include "comp_fixture.h"

#include <string>
#include <utility>

namespace {

using orvel::test::ClassError;
using orvel::test::CompFixture;
using orvel::test::RecordingCompressor;
using orvel::test::StatusOf;
using orvel::test::Succeeded;

using CompStateTest = CompFixture;

// Operations that need an open compressor, each called on a closed object.
struct ClosedCase {
    const char* name;
    BOOL (*call)(CDibComp&, BITMAPINFO* input);
};

class CompClosedTest : public CompFixture, public ::testing::WithParamInterface<ClosedCase> {};

TEST_P(CompClosedTest, ClosedObjectRefusesWithClassError2AndSendsNothing) {
    CDibComp comp;
    EXPECT_EQ(GetParam().call(comp, Input()), FALSE);
    EXPECT_EQ(StatusOf(comp), ClassError(2));
    EXPECT_EQ(comp.GetSafeHandle(), nullptr);
    EXPECT_TRUE(recorder.Log().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Operations, CompClosedTest,
    ::testing::Values(ClosedCase{"Close", [](CDibComp& c, BITMAPINFO*) { return c.Close(); }},
                      ClosedCase{"CompBegin",
                                 [](CDibComp& c, BITMAPINFO*) { return c.CompBegin(); }},
                      ClosedCase{"CompEnd", [](CDibComp& c, BITMAPINFO*) { return c.CompEnd(); }},
                      ClosedCase{"GetFormat",
                                 [](CDibComp& c, BITMAPINFO* input) {
                                     BITMAPINFO* output = nullptr;
                                     DWORD size = 99;
                                     return c.GetFormat(input, 1064, &output, size);
                                 }},
                      ClosedCase{"Compress",
                                 [](CDibComp& c, BITMAPINFO*) {
                                     BYTE bits[4] = {};
                                     return c.Compress(bits, bits, 0, 0);
                                 }}),
    [](const ::testing::TestParamInfo<ClosedCase>& param) {
        return std::string(param.param.name);
    });

// Operations that need an output format, each called right after Open.
class CompOpenTest : public CompFixture, public ::testing::WithParamInterface<ClosedCase> {};

TEST_P(CompOpenTest, OpenObjectWithoutFormatsRefusesWithClassError6AndSendsNothing) {
    CDibComp comp;
    ASSERT_TRUE(comp.Open(kRecorder));
    recorder.Clear();
    EXPECT_EQ(GetParam().call(comp, Input()), FALSE);
    EXPECT_EQ(StatusOf(comp), ClassError(6));
    EXPECT_TRUE(recorder.CompressorMessages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Operations, CompOpenTest,
    ::testing::Values(ClosedCase{"CompBegin",
                                 [](CDibComp& c, BITMAPINFO*) { return c.CompBegin(); }},
                      // Even though nothing was begun, there is nothing to end without formats.
                      ClosedCase{"CompEnd", [](CDibComp& c, BITMAPINFO*) { return c.CompEnd(); }},
                      ClosedCase{"Compress",
                                 [](CDibComp& c, BITMAPINFO*) {
                                     BYTE bits[4] = {};
                                     return c.Compress(bits, bits, 0, 0);
                                 }}),
    [](const ::testing::TestParamInfo<ClosedCase>& param) {
        return std::string(param.param.name);
    });

TEST_F(CompStateTest, NewObjectIsClosedWithoutFormatsAndSuccessful) {
    CDibComp comp;
    EXPECT_EQ(StatusOf(comp), Succeeded());
    EXPECT_EQ(comp.GetSafeHandle(), nullptr);
    BITMAPINFO* format = Input();
    DWORD size = 99;
    comp.GetFormat(&format, size, 0);
    EXPECT_EQ(format, nullptr);
    EXPECT_EQ(size, 0U);
    comp.GetFormat(&format, size, 1);
    EXPECT_EQ(format, nullptr);
}

TEST_F(CompStateTest, OpenOpensTheVideoCompressorForCompression) {
    CDibComp comp;
    ASSERT_TRUE(comp.Open(kRecorder));
    EXPECT_EQ(StatusOf(comp), Succeeded());
    EXPECT_NE(comp.GetSafeHandle(), nullptr);
    EXPECT_EQ(recorder.Messages(), (std::vector<UINT>{DRV_LOAD, DRV_ENABLE, DRV_OPEN}));
    EXPECT_EQ(recorder.Last(DRV_OPEN)->open.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(recorder.Last(DRV_OPEN)->open.fccHandler, kRecorder);
    EXPECT_EQ(recorder.Last(DRV_OPEN)->open.dwFlags, ICMODE_COMPRESS);
}

TEST_F(CompStateTest, OpenOfAMissingCompressorIsClassError1) {
    CDibComp comp;
    EXPECT_FALSE(comp.Open(mmioFOURCC('n', 'o', 'n', 'e')));
    EXPECT_EQ(StatusOf(comp), ClassError(1));
    EXPECT_EQ(comp.GetSafeHandle(), nullptr);
}

TEST_F(CompStateTest, GetFormatHandsTheCompressorACopyAndKeepsBothFormats) {
    CDibComp comp;
    ASSERT_TRUE(comp.Open(kRecorder));
    recorder.Clear();
    const long objectsBefore = orvel::testing::GetLiveCounts().objects;
    BITMAPINFO* output = nullptr;
    DWORD outputSize = 0;
    ASSERT_TRUE(comp.GetFormat(Input(), InputSize(), &output, outputSize));
    EXPECT_EQ(StatusOf(comp), Succeeded());
    EXPECT_EQ(orvel::testing::GetLiveCounts().objects, objectsBefore + 2);

    // The size query, then the fill, both with the object's copy of the input format.
    ASSERT_EQ(recorder.Messages(),
              (std::vector<UINT>{ICM_COMPRESS_GET_FORMAT, ICM_COMPRESS_GET_FORMAT}));
    const auto& query = recorder.Log()[0];
    const auto& fill = recorder.Log()[1];
    EXPECT_NE(query.param1, reinterpret_cast<LPARAM>(Input()));
    EXPECT_EQ(query.param2, 0);
    EXPECT_EQ(fill.param1, query.param1);
    EXPECT_EQ(fill.param2, reinterpret_cast<LPARAM>(output));
    EXPECT_EQ(outputSize, static_cast<DWORD>(RecordingCompressor::kFormatBytes));
    EXPECT_EQ(+output->bmiHeader.biCompression, kRecorder);

    BITMAPINFO* inputCopy = nullptr;
    DWORD inputCopySize = 0;
    comp.GetFormat(&inputCopy, inputCopySize, 0);
    EXPECT_EQ(reinterpret_cast<LPARAM>(inputCopy), query.param1);
    EXPECT_EQ(inputCopySize, InputSize());
    EXPECT_EQ(std::memcmp(inputCopy, Input(), InputSize()), 0);
    BITMAPINFO* readBack = nullptr;
    DWORD readBackSize = 0;
    comp.GetFormat(&readBack, readBackSize, 7);
    EXPECT_EQ(readBack, output);
    EXPECT_EQ(readBackSize, outputSize);
}

TEST_F(CompStateTest, ShortInputFormatIsPaddedSoTheCompressorNeverReadsPastIt) {
    CDibComp comp;
    ASSERT_TRUE(comp.Open(kRecorder));
    BITMAPINFO* output = nullptr;
    DWORD outputSize = 0;
    // Only the header: the compressor may still read the 256 colours an 8-bit header announces.
    ASSERT_TRUE(comp.GetFormat(Input(), 40, &output, outputSize));
    BITMAPINFO* copy = nullptr;
    DWORD copySize = 0;
    comp.GetFormat(&copy, copySize, 0);
    EXPECT_EQ(copySize, 40U);
    const auto* colours = reinterpret_cast<const BYTE*>(copy) + 40;
    EXPECT_TRUE(std::all_of(colours, colours + 1024, [](BYTE b) { return b == 0; }));
}

TEST_F(CompStateTest, FirstCompressBeginsWithTheFormatsAndLaterOnesOnlyCompress) {
    CDibComp comp;
    MakeReady(comp);
    BITMAPINFO* input = nullptr;
    BITMAPINFO* output = nullptr;
    DWORD size = 0;
    comp.GetFormat(&input, size, 0);
    comp.GetFormat(&output, size, 1);

    ASSERT_TRUE(comp.Compress(pixels_.data(), compressed_.data(), 5, 8000));
    EXPECT_EQ(StatusOf(comp), Succeeded());
    ASSERT_EQ(recorder.Messages(), (std::vector<UINT>{ICM_COMPRESS_BEGIN, ICM_COMPRESS}));
    EXPECT_EQ(recorder.Log()[0].param1, reinterpret_cast<LPARAM>(input));
    EXPECT_EQ(recorder.Log()[0].param2, reinterpret_cast<LPARAM>(output));

    const ICCOMPRESS& frame = recorder.Last(ICM_COMPRESS)->frame;
    EXPECT_EQ(recorder.Last(ICM_COMPRESS)->param2, static_cast<LPARAM>(sizeof(ICCOMPRESS)));
    EXPECT_EQ(frame.dwFlags, ICCOMPRESS_KEYFRAME);
    EXPECT_EQ(frame.lpbiOutput, &output->bmiHeader);
    EXPECT_EQ(frame.lpOutput, compressed_.data());
    EXPECT_EQ(frame.lpbiInput, &input->bmiHeader);
    EXPECT_EQ(frame.lpInput, pixels_.data());
    EXPECT_EQ(frame.lpckid, nullptr);
    EXPECT_NE(frame.lpdwFlags, nullptr);
    EXPECT_EQ(frame.lFrameNum, 5);
    EXPECT_EQ(frame.dwFrameSize, 0U);
    EXPECT_EQ(frame.dwQuality, 8000U);
    EXPECT_EQ(frame.lpbiPrev, nullptr);
    EXPECT_EQ(frame.lpPrev, nullptr);
    // The compressed size is read back from the output format.
    EXPECT_EQ(+output->bmiHeader.biSizeImage, RecordingCompressor::kFrameBytes);
    EXPECT_EQ(compressed_[16], 17);

    recorder.Clear();
    ASSERT_TRUE(comp.Compress(pixels_.data(), compressed_.data(), 6, -1));
    EXPECT_EQ(recorder.Messages(), (std::vector<UINT>{ICM_COMPRESS}));
    EXPECT_EQ(recorder.Last(ICM_COMPRESS)->frame.dwQuality, static_cast<DWORD>(-1));
}

TEST_F(CompStateTest, BeginWhileCompressingEndsFirst) {
    CDibComp comp;
    MakeReady(comp);
    ASSERT_TRUE(comp.CompBegin());
    ASSERT_TRUE(comp.CompBegin());
    EXPECT_EQ(recorder.Messages(),
              (std::vector<UINT>{ICM_COMPRESS_BEGIN, ICM_COMPRESS_END, ICM_COMPRESS_BEGIN}));
}

TEST_F(CompStateTest, EndSendsEndOnlyWhileCompressing) {
    CDibComp comp;
    MakeReady(comp);
    ASSERT_TRUE(comp.CompEnd());
    EXPECT_TRUE(recorder.Log().empty());
    ASSERT_TRUE(comp.CompBegin());
    ASSERT_TRUE(comp.CompEnd());
    ASSERT_TRUE(comp.CompEnd());
    EXPECT_EQ(recorder.Messages(), (std::vector<UINT>{ICM_COMPRESS_BEGIN, ICM_COMPRESS_END}));
    // Ended, the next frame begins again.
    ASSERT_TRUE(comp.Compress(pixels_.data(), compressed_.data(), 0, 0));
    EXPECT_EQ(recorder.Count(ICM_COMPRESS_BEGIN), 2);
}

TEST_F(CompStateTest, CloseEndsFreesAndClosesInThatOrder) {
    CDibComp comp;
    MakeReady(comp);
    const long objectsBefore = orvel::testing::GetLiveCounts().objects;
    ASSERT_TRUE(comp.Compress(pixels_.data(), compressed_.data(), 0, 0));
    recorder.Clear();
    ASSERT_TRUE(comp.Close());
    EXPECT_EQ(StatusOf(comp), Succeeded());
    EXPECT_EQ(recorder.Messages(),
              (std::vector<UINT>{ICM_COMPRESS_END, DRV_CLOSE, DRV_DISABLE, DRV_FREE}));
    EXPECT_EQ(comp.GetSafeHandle(), nullptr);
    EXPECT_EQ(orvel::testing::GetLiveCounts().objects, objectsBefore - 2);
    BITMAPINFO* format = nullptr;
    DWORD size = 1;
    comp.GetFormat(&format, size, 1);
    EXPECT_EQ(format, nullptr);
    EXPECT_EQ(size, 0U);
}

TEST_F(CompStateTest, OpenOverAnOpenCompressorClosesItFirst) {
    CDibComp comp;
    MakeReady(comp);
    ASSERT_TRUE(comp.CompBegin());
    recorder.Clear();
    ASSERT_TRUE(comp.Open(kRecorder));
    EXPECT_EQ(recorder.Messages(), (std::vector<UINT>{ICM_COMPRESS_END, DRV_CLOSE, DRV_DISABLE,
                                                      DRV_FREE, DRV_LOAD, DRV_ENABLE, DRV_OPEN}));
    // The new compressor starts without formats.
    EXPECT_FALSE(comp.CompBegin());
    EXPECT_EQ(StatusOf(comp), ClassError(6));
}

TEST_F(CompStateTest, NewFormatsDuringACompressionEndItBeforeTheOldOnesAreFreed) {
    CDibComp comp;
    MakeReady(comp);
    ASSERT_TRUE(comp.Compress(pixels_.data(), compressed_.data(), 0, 0));
    recorder.Clear();
    BITMAPINFO* output = nullptr;
    DWORD outputSize = 0;
    ASSERT_TRUE(comp.GetFormat(Input(), InputSize(), &output, outputSize));
    ASSERT_TRUE(comp.Compress(pixels_.data(), compressed_.data(), 1, 0));
    EXPECT_EQ(recorder.CompressorMessages(),
              (std::vector<UINT>{ICM_COMPRESS_END, ICM_COMPRESS_GET_FORMAT, ICM_COMPRESS_GET_FORMAT,
                                 ICM_COMPRESS_BEGIN, ICM_COMPRESS}));
    EXPECT_EQ(recorder.Last(ICM_COMPRESS_BEGIN)->param2, reinterpret_cast<LPARAM>(output));
}

TEST_F(CompStateTest, DestructorClosesTheCompressorAndFreesTheFormats) {
    {
        CDibComp comp;
        MakeReady(comp);
        ASSERT_TRUE(comp.CompBegin());
    }
    EXPECT_EQ(recorder.Messages(), (std::vector<UINT>{ICM_COMPRESS_BEGIN, ICM_COMPRESS_END,
                                                      DRV_CLOSE, DRV_DISABLE, DRV_FREE}));
}

TEST_F(CompStateTest, MovingHandsOverTheCompressorSoItIsClosedOnce) {
    CDibComp source;
    MakeReady(source);
    const HIC compressor = source.GetSafeHandle();
    {
        CDibComp target(std::move(source));
        EXPECT_EQ(target.GetSafeHandle(), compressor);
        EXPECT_EQ(source.GetSafeHandle(), nullptr); // NOLINT(bugprone-use-after-move)
        BITMAPINFO* format = nullptr;
        DWORD size = 0;
        source.GetFormat(&format, size, 1); // NOLINT(bugprone-use-after-move)
        EXPECT_EQ(format, nullptr);
        ASSERT_TRUE(target.Compress(pixels_.data(), compressed_.data(), 0, 0));
    }
    EXPECT_EQ(recorder.Count(DRV_CLOSE), 1);
    EXPECT_FALSE(source.Close());
    EXPECT_EQ(StatusOf(source), ClassError(2));
    EXPECT_EQ(recorder.Count(DRV_CLOSE), 1);
}

TEST_F(CompStateTest, MoveAssignmentClosesTheTargetsOwnCompressorFirst) {
    CDibComp target;
    ASSERT_TRUE(target.Open(kRecorder));
    CDibComp source;
    MakeReady(source);
    const HIC moved = source.GetSafeHandle();
    target = std::move(source);
    EXPECT_EQ(recorder.Messages(), (std::vector<UINT>{DRV_CLOSE, DRV_DISABLE, DRV_FREE}));
    EXPECT_EQ(target.GetSafeHandle(), moved);
    ASSERT_TRUE(target.Compress(pixels_.data(), compressed_.data(), 0, 0));
}

} // namespace
