// The life of a CDibComp as its compressor sees it: which messages arrive, in which order, with
// which formats.
#include "comp_fixture.h"

#include <utility>

namespace {

using namespace orvel::test;
using Messages = std::vector<UINT>;

using CompStateTest = CompFixture;

// Operations refused before the compressor is asked: class error 2 without a compressor, class
// error 6 after Open and before GetFormat (CompEnd too, although nothing was begun).
TEST_F(CompStateTest, OperationsAreRefusedBeforeTheCompressorIsAsked) {
    using Op = BOOL (*)(CDibComp&, CompFixture&);
    const Op close = [](CDibComp& c, CompFixture&) { return c.Close(); };
    const Op begin = [](CDibComp& c, CompFixture&) { return c.CompBegin(); };
    const Op end = [](CDibComp& c, CompFixture&) { return c.CompEnd(); };
    const Op frame = [](CDibComp& c, CompFixture& f) {
        return c.Compress(f.pixels_.data(), f.compressed_.data(), 0, 0);
    };
    const Op query = [](CDibComp& c, CompFixture& f) {
        BITMAPINFO* output = nullptr;
        DWORD size = 0;
        return c.GetFormat(f.Input(), f.InputSize(), &output, size);
    };
    const struct {
        Op call;
        bool opened;
        unsigned long code;
    } cases[] = {{close, false, 2}, {begin, false, 2}, {end, false, 2}, {query, false, 2},
                 {frame, false, 2}, {begin, true, 6},  {end, true, 6},  {frame, true, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        CDibComp comp;
        if (c.opened) {
            ASSERT_TRUE(comp.Open(kRecorder));
            recorder.Clear();
        }
        EXPECT_FALSE(c.call(comp, *this));
        EXPECT_EQ(StatusOf(comp), ClassError(c.code));
        EXPECT_EQ(comp.GetSafeHandle() != nullptr, c.opened);
        EXPECT_TRUE(recorder.Log().empty());
    }
}

TEST_F(CompStateTest, OpenOpensTheVideoCompressorForCompressionOrFailsWithClassError1) {
    CDibComp comp;
    EXPECT_FALSE(comp.Open(mmioFOURCC('n', 'o', 'n', 'e')));
    EXPECT_EQ(StatusOf(comp), ClassError(1));
    EXPECT_EQ(comp.GetSafeHandle(), nullptr);
    ASSERT_TRUE(comp.Open(kRecorder));
    EXPECT_EQ(StatusOf(comp), kSuccess);
    EXPECT_NE(comp.GetSafeHandle(), nullptr);
    EXPECT_EQ(recorder.Messages(), (Messages{DRV_LOAD, DRV_ENABLE, DRV_OPEN}));
    EXPECT_EQ(recorder.Last(DRV_OPEN)->open.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(recorder.Last(DRV_OPEN)->open.dwFlags, ICMODE_COMPRESS);
}

TEST_F(CompStateTest, GetFormatHandsTheCompressorACopyAndKeepsBothFormats) {
    CDibComp comp;
    ASSERT_TRUE(comp.Open(kRecorder));
    recorder.Clear();
    const long objectsBefore = orvel::testing::GetLiveCounts().objects;
    BITMAPINFO* output = nullptr;
    DWORD outputSize = 0;
    ASSERT_TRUE(comp.GetFormat(Input(), InputSize(), &output, outputSize));
    EXPECT_EQ(StatusOf(comp), kSuccess);
    EXPECT_EQ(orvel::testing::GetLiveCounts().objects, objectsBefore + 2);
    EXPECT_EQ(outputSize, static_cast<DWORD>(RecordingCompressor::kFormatBytes));
    EXPECT_EQ(+output->bmiHeader.biCompression, kRecorder);

    // The size query, then the fill, both with the object's copy of the input format.
    ASSERT_EQ(recorder.Messages(), (Messages{ICM_COMPRESS_GET_FORMAT, ICM_COMPRESS_GET_FORMAT}));
    const LPARAM copy = recorder.Log()[0].param1;
    EXPECT_NE(copy, reinterpret_cast<LPARAM>(Input()));
    EXPECT_EQ(recorder.Log()[0].param2, 0);
    EXPECT_EQ(recorder.Log()[1].param1, copy);
    EXPECT_EQ(recorder.Log()[1].param2, reinterpret_cast<LPARAM>(output));

    BITMAPINFO* readBack = nullptr;
    DWORD readBackSize = 0;
    comp.GetFormat(&readBack, readBackSize, 0);
    EXPECT_EQ(reinterpret_cast<LPARAM>(readBack), copy);
    EXPECT_EQ(readBackSize, InputSize());
    EXPECT_EQ(std::memcmp(readBack, Input(), InputSize()), 0);
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
    EXPECT_EQ(StatusOf(comp), kSuccess);
    ASSERT_EQ(recorder.Messages(), (Messages{ICM_COMPRESS_BEGIN, ICM_COMPRESS}));
    EXPECT_EQ(recorder.Log()[0].param1, reinterpret_cast<LPARAM>(input));
    EXPECT_EQ(recorder.Log()[0].param2, reinterpret_cast<LPARAM>(output));
    // A key frame from the object's formats, without a previous frame.
    const ICCOMPRESS& frame = recorder.Last(ICM_COMPRESS)->frame;
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

    recorder.Clear();
    ASSERT_TRUE(comp.Compress(pixels_.data(), compressed_.data(), 6, -1));
    EXPECT_EQ(recorder.Messages(), (Messages{ICM_COMPRESS}));
    EXPECT_EQ(recorder.Last(ICM_COMPRESS)->frame.dwQuality, static_cast<DWORD>(-1));
}

TEST_F(CompStateTest, BeginEndsFirstAndEndIsSentOnlyWhileCompressing) {
    CDibComp comp;
    MakeReady(comp);
    ASSERT_TRUE(comp.CompEnd());
    ASSERT_TRUE(comp.CompBegin());
    ASSERT_TRUE(comp.CompBegin());
    ASSERT_TRUE(comp.CompEnd());
    ASSERT_TRUE(comp.CompEnd());
    ASSERT_TRUE(comp.Compress(pixels_.data(), compressed_.data(), 0, 0));
    EXPECT_EQ(recorder.Messages(),
              (Messages{ICM_COMPRESS_BEGIN, ICM_COMPRESS_END, ICM_COMPRESS_BEGIN, ICM_COMPRESS_END,
                        ICM_COMPRESS_BEGIN, ICM_COMPRESS}));
    EXPECT_EQ(recorder.Last(ICM_COMPRESS_END)->param2, 0) << "the end carries no parameters";
}

TEST_F(CompStateTest, CloseEndsFreesAndClosesAndOpenClosesTheOldCompressorFirst) {
    CDibComp comp;
    MakeReady(comp);
    const long objectsBefore = orvel::testing::GetLiveCounts().objects;
    ASSERT_TRUE(comp.CompBegin());
    recorder.Clear();
    ASSERT_TRUE(comp.Open(kRecorder));
    EXPECT_EQ(recorder.Messages(), (Messages{ICM_COMPRESS_END, DRV_CLOSE, DRV_DISABLE, DRV_FREE,
                                             DRV_LOAD, DRV_ENABLE, DRV_OPEN}));
    EXPECT_EQ(orvel::testing::GetLiveCounts().objects, objectsBefore - 2);

    MakeReady(comp);
    ASSERT_TRUE(comp.Compress(pixels_.data(), compressed_.data(), 0, 0));
    recorder.Clear();
    ASSERT_TRUE(comp.Close());
    EXPECT_EQ(StatusOf(comp), kSuccess);
    EXPECT_EQ(recorder.Messages(), (Messages{ICM_COMPRESS_END, DRV_CLOSE, DRV_DISABLE, DRV_FREE}));
    EXPECT_EQ(comp.GetSafeHandle(), nullptr);
    BITMAPINFO* format = Input();
    DWORD size = 1;
    comp.GetFormat(&format, size, 1);
    EXPECT_EQ(format, nullptr);
    EXPECT_EQ(size, 0U);
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
    EXPECT_EQ(recorder.Messages(),
              (Messages{ICM_COMPRESS_END, ICM_COMPRESS_GET_FORMAT, ICM_COMPRESS_GET_FORMAT,
                        ICM_COMPRESS_BEGIN, ICM_COMPRESS}));
    EXPECT_EQ(recorder.Last(ICM_COMPRESS_BEGIN)->param2, reinterpret_cast<LPARAM>(output));
    EXPECT_EQ(recorder.Log()[0].param2, 0) << "the end carries no parameters";
}

TEST_F(CompStateTest, DestructorEndsAndClosesAndMovesHandOverWithoutSharing) {
    {
        CDibComp comp;
        MakeReady(comp);
        ASSERT_TRUE(comp.CompBegin());
    }
    EXPECT_EQ(recorder.Messages(),
              (Messages{ICM_COMPRESS_BEGIN, ICM_COMPRESS_END, DRV_CLOSE, DRV_DISABLE, DRV_FREE}));

    CDibComp source;
    MakeReady(source);
    const HIC compressor = source.GetSafeHandle();
    CDibComp target;
    ASSERT_TRUE(target.Open(kRecorder));
    recorder.Clear();
    target = std::move(source); // the target's own compressor is closed first
    EXPECT_EQ(recorder.Messages(), (Messages{DRV_CLOSE, DRV_DISABLE, DRV_FREE}));
    EXPECT_EQ(target.GetSafeHandle(), compressor);
    // A moved-from object is empty with a cleared record, and usable: that is what is checked.
    // NOLINTNEXTLINE(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
    EXPECT_EQ(source.GetSafeHandle(), nullptr);
    EXPECT_EQ(StatusOf(source), kSuccess); // NOLINT(bugprone-use-after-move)
    CDibComp moved(std::move(target));
    EXPECT_EQ(moved.GetSafeHandle(), compressor);
    ASSERT_TRUE(moved.Compress(pixels_.data(), compressed_.data(), 0, 0));
    // NOLINTNEXTLINE(bugprone-use-after-move,clang-analyzer-cplusplus.Move)
    EXPECT_FALSE(target.Close());
    EXPECT_EQ(StatusOf(target), ClassError(2));
    EXPECT_EQ(recorder.Count(DRV_CLOSE), 1);
}

// A compression the compressor would not end is over once the compressor is closed: a compressor
// opened afterwards is never asked to end it.
TEST_F(CompStateTest, ReopenedAfterCloseHasNothingBegun) {
    CDibComp comp;
    MakeReady(comp);
    ASSERT_TRUE(comp.CompBegin());
    ASSERT_TRUE(comp.Close());
    ASSERT_TRUE(comp.Open(kRecorder));
    recorder.Clear();
    BITMAPINFO* output = nullptr;
    DWORD outputSize = 0;
    ASSERT_TRUE(comp.GetFormat(Input(), InputSize(), &output, outputSize));
    EXPECT_EQ(recorder.Count(ICM_COMPRESS_END), 0);
}

} // namespace
