// Every class error of CDibComp, from compressors that refuse each message and from a platform
// that runs out of resources, and what the object holds afterwards.
#include "comp_fixture.h"

namespace {

using namespace orvel::test;

using CompErrorTest = CompFixture;

// Format sizes a compressor cannot mean: no format, one too small for the header each frame's
// size is written into, or an error code.
TEST_F(CompErrorTest, ReportedSizeThatCannotHoldAFormatFails) {
    const struct {
        LRESULT reported;
        unsigned long code;
        DWORD storedSize;
    } sizes[] = {{0, 5, 0}, {39, 5, 39}, {ICERR_BADFORMAT, 4, 0}, {LRESULT{1} << 40, 4, 0}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.reported);
        CDibComp comp;
        ASSERT_TRUE(comp.Open(kRecorder));
        recorder.Clear();
        recorder.Answer(ICM_COMPRESS_GET_FORMAT, size.reported);
        BITMAPINFO* output = Input();
        DWORD outputSize = 12345;
        EXPECT_FALSE(comp.GetFormat(Input(), InputSize(), &output, outputSize));
        EXPECT_EQ(StatusOf(comp), ClassError(size.code));
        EXPECT_EQ(outputSize, size.storedSize);
        EXPECT_EQ(output, Input()) << "the caller's pointer is set only on success";
        EXPECT_EQ(recorder.Count(ICM_COMPRESS_GET_FORMAT), 1);
        EXPECT_FALSE(comp.CompBegin());
        EXPECT_EQ(StatusOf(comp), ClassError(6));
    }
}

TEST_F(CompErrorTest, RefusedOrMissingFormatsAreClassError4AndLeaveNoOutputFormat) {
    CDibComp comp;
    ASSERT_TRUE(comp.Open(kRecorder));
    BITMAPINFO* output = nullptr;
    DWORD outputSize = 0;
    EXPECT_FALSE(comp.GetFormat(nullptr, 40, &output, outputSize));
    EXPECT_EQ(StatusOf(comp), ClassError(4));

    recorder.AnswerFormatFill(ICERR_BADFORMAT);
    EXPECT_FALSE(comp.GetFormat(Input(), InputSize(), &output, outputSize));
    EXPECT_EQ(StatusOf(comp), ClassError(4));
    EXPECT_EQ(outputSize, static_cast<DWORD>(RecordingCompressor::kFormatBytes));
    BITMAPINFO* readBack = Input();
    DWORD readBackSize = 1;
    comp.GetFormat(&readBack, readBackSize, 1);
    EXPECT_EQ(readBack, nullptr);
    EXPECT_EQ(readBackSize, 0U);
    EXPECT_FALSE(comp.Compress(pixels_.data(), compressed_.data(), 0, 0));
    EXPECT_EQ(StatusOf(comp), ClassError(6));
}

TEST_F(CompErrorTest, RefusedBeginIsClassError7AndIsAskedAgainNextFrame) {
    CDibComp comp;
    MakeReady(comp);
    recorder.Answer(ICM_COMPRESS_BEGIN, ICERR_BADFORMAT);
    EXPECT_FALSE(comp.CompBegin());
    EXPECT_EQ(StatusOf(comp), ClassError(7));
    EXPECT_FALSE(comp.Compress(pixels_.data(), compressed_.data(), 0, 0));
    EXPECT_EQ(StatusOf(comp), ClassError(7));
    recorder.Handle(ICM_COMPRESS_BEGIN);
    EXPECT_TRUE(comp.Compress(pixels_.data(), compressed_.data(), 0, 0));
    // Nothing was begun by the refused attempts, so none of them is ended.
    EXPECT_EQ(recorder.Messages(), (std::vector<UINT>{ICM_COMPRESS_BEGIN, ICM_COMPRESS_BEGIN,
                                                      ICM_COMPRESS_BEGIN, ICM_COMPRESS}));
}

TEST_F(CompErrorTest, RefusedEndIsClassError8AndTheCompressionGoesOn) {
    CDibComp comp;
    MakeReady(comp);
    ASSERT_TRUE(comp.CompBegin());
    BITMAPINFO* before = nullptr;
    DWORD size = 0;
    comp.GetFormat(&before, size, 1);
    recorder.Answer(ICM_COMPRESS_END, ICERR_ERROR);
    EXPECT_FALSE(comp.CompEnd());
    EXPECT_EQ(StatusOf(comp), ClassError(8));
    // Still compressing: a frame needs no new begin; a new begin and new formats wait for the
    // end, and the old formats stay.
    EXPECT_TRUE(comp.Compress(pixels_.data(), compressed_.data(), 0, 0));
    EXPECT_FALSE(comp.CompBegin());
    EXPECT_EQ(StatusOf(comp), ClassError(8));
    BITMAPINFO* output = nullptr;
    EXPECT_FALSE(comp.GetFormat(Input(), InputSize(), &output, size));
    EXPECT_EQ(StatusOf(comp), ClassError(8));
    BITMAPINFO* after = nullptr;
    comp.GetFormat(&after, size, 1);
    EXPECT_EQ(after, before);
    EXPECT_EQ(recorder.Count(ICM_COMPRESS_BEGIN), 1);
    // Close does not depend on the end.
    EXPECT_TRUE(comp.Close());
    EXPECT_EQ(StatusOf(comp), kSuccess);
}

TEST_F(CompErrorTest, FailedFrameIsClassError9) {
    CDibComp comp;
    MakeReady(comp);
    recorder.Answer(ICM_COMPRESS, ICERR_BADSIZE);
    EXPECT_FALSE(comp.Compress(pixels_.data(), compressed_.data(), 0, 0));
    EXPECT_EQ(StatusOf(comp), ClassError(9));
    recorder.Handle(ICM_COMPRESS);
    EXPECT_TRUE(comp.Compress(pixels_.data(), compressed_.data(), 1, 0));
    EXPECT_EQ(recorder.Count(ICM_COMPRESS_BEGIN), 1);
}

TEST_F(CompErrorTest, RefusedCloseIsClassError3AndKeepsTheHandleButNotTheFormats) {
    CDibComp comp;
    MakeReady(comp);
    const long objectsBefore = orvel::testing::GetLiveCounts().objects;
    const HIC compressor = comp.GetSafeHandle();
    recorder.Answer(DRV_CLOSE, 0);
    EXPECT_FALSE(comp.Close());
    EXPECT_EQ(StatusOf(comp), ClassError(3));
    EXPECT_EQ(comp.GetSafeHandle(), compressor);
    EXPECT_EQ(orvel::testing::GetLiveCounts().objects, objectsBefore - 2);
    // Opening another compressor would lose this one: refused while it will not close.
    EXPECT_FALSE(comp.Open(kRecorder));
    EXPECT_EQ(StatusOf(comp), ClassError(3));
    EXPECT_EQ(comp.GetSafeHandle(), compressor);
    recorder.Handle(DRV_CLOSE);
    EXPECT_TRUE(comp.Close());
}

// The object allocator failing for the input copy (1) and for the output format (2).
TEST_F(CompErrorTest, FormatThatCannotBeAllocatedIsClassError4) {
    for (const long nth : {1L, 2L}) {
        CDibComp comp;
        ASSERT_TRUE(comp.Open(kRecorder));
        recorder.Clear();
        orvel::testing::InjectFault(orvel::testing::kFaultObjectAlloc, nth);
        BITMAPINFO* output = nullptr;
        DWORD outputSize = 0;
        EXPECT_FALSE(comp.GetFormat(Input(), InputSize(), &output, outputSize));
        EXPECT_TRUE(orvel::testing::FaultFired());
        EXPECT_EQ(StatusOf(comp), ClassError(4));
        EXPECT_EQ(recorder.Count(ICM_COMPRESS_GET_FORMAT), nth == 1 ? 0 : 1);
        orvel::testing::ClearFault();
        EXPECT_FALSE(comp.CompBegin());
        EXPECT_EQ(StatusOf(comp), ClassError(6));
        EXPECT_TRUE(comp.GetFormat(Input(), InputSize(), &output, outputSize));
    }
}

} // namespace
