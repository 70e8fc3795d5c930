#include <orvel/orvel.h>

#include "support/live_objects.h"
#include "support/recording_compressor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using orvel::test::LeakCheckedTest;
using orvel::test::RecordingCompressor;

constexpr DWORD kRecorder = RecordingCompressor::kHandler;
constexpr DWORD kRle = mmioFOURCC('m', 'r', 'l', 'e');
constexpr DWORD kFullFrames = mmioFOURCC('D', 'I', 'B', ' ');

std::u16string Text(const WCHAR* text) {
    return std::u16string(text);
}

class CompressorManagerTest : public LeakCheckedTest {
protected:
    RecordingCompressor recorder;
};

TEST_F(CompressorManagerTest, OpenLoadsAndOpensTheDriverAndCloseUndoesItInReverse) {
    const long openBefore = orvel::testing::GetLiveCounts().compressors;
    HIC compressor = ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS);
    ASSERT_NE(compressor, nullptr);
    EXPECT_EQ(orvel::testing::GetLiveCounts().compressors, openBefore + 1);
    EXPECT_EQ(recorder.Messages(), (std::vector<UINT>{DRV_LOAD, DRV_ENABLE, DRV_OPEN}));
    const orvel::test::RecordedMessage* open = recorder.Last(DRV_OPEN);
    EXPECT_EQ(open->driverId, 0U);
    EXPECT_EQ(open->open.dwSize, sizeof(ICOPEN));
    EXPECT_EQ(open->open.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(open->open.fccHandler, kRecorder);
    EXPECT_EQ(open->open.dwFlags, ICMODE_COMPRESS);

    recorder.Clear();
    EXPECT_EQ(ICClose(compressor), ICERR_OK);
    EXPECT_EQ(recorder.Messages(), (std::vector<UINT>{DRV_CLOSE, DRV_DISABLE, DRV_FREE}));
    EXPECT_EQ(recorder.Last(DRV_CLOSE)->driverId, RecordingCompressor::kDriverId);
    EXPECT_EQ(recorder.Last(DRV_FREE)->driverId, 0U);
}

TEST_F(CompressorManagerTest, MessagesCarryTheOpenIdAndTheInstanceAndReturnTheDriversAnswer) {
    HIC compressor = ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS);
    ASSERT_NE(compressor, nullptr);
    recorder.Answer(ICM_USER + 300, 1234);
    EXPECT_EQ(ICSendMessage(compressor, ICM_USER + 300, 11, 22), 1234);
    const orvel::test::RecordedMessage* sent = recorder.Last(ICM_USER + 300);
    ASSERT_NE(sent, nullptr);
    EXPECT_EQ(sent->driverId, RecordingCompressor::kDriverId);
    EXPECT_EQ(sent->driver, recorder.Last(DRV_OPEN)->driver);
    EXPECT_EQ(sent->param1, 11);
    EXPECT_EQ(sent->param2, 22);
    ICClose(compressor);
}

TEST_F(CompressorManagerTest, EachOpenIsAnInstanceOfItsOwn) {
    HIC first = ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS);
    HIC second = ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_QUERY);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(recorder.Count(DRV_LOAD), 2);
    EXPECT_EQ(ICClose(first), ICERR_OK);
    EXPECT_EQ(ICSendMessage(second, ICM_COMPRESS_END, 0, 0), ICERR_OK);
    EXPECT_EQ(ICClose(second), ICERR_OK);
}

TEST_F(CompressorManagerTest, CodesCompareWithoutCase) {
    HIC compressor =
        ICOpen(mmioFOURCC('V', 'I', 'D', 'C'), mmioFOURCC('T', 'r', 'e', 'c'), ICMODE_COMPRESS);
    ASSERT_NE(compressor, nullptr);
    // The driver is told the codes it was installed under.
    EXPECT_EQ(recorder.Last(DRV_OPEN)->open.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(recorder.Last(DRV_OPEN)->open.fccHandler, kRecorder);
    ICClose(compressor);
}

TEST_F(CompressorManagerTest, OpenOfAnUninstalledCompressorFails) {
    SetLastError(0);
    EXPECT_EQ(ICOpen(ICTYPE_VIDEO, mmioFOURCC('n', 'o', 'n', 'e'), ICMODE_COMPRESS), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(ICOpen(ICTYPE_AUDIO, kRecorder, ICMODE_COMPRESS), nullptr);
}

TEST_F(CompressorManagerTest, DriverThatRefusesToLoadIsNeitherOpenedNorFreed) {
    recorder.Answer(DRV_LOAD, 0);
    EXPECT_EQ(ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(recorder.Messages(), (std::vector<UINT>{DRV_LOAD}));
}

TEST_F(CompressorManagerTest, DriverThatRefusesToOpenIsDisabledAndFreed) {
    recorder.Answer(DRV_OPEN, 0);
    EXPECT_EQ(ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(recorder.Messages(),
              (std::vector<UINT>{DRV_LOAD, DRV_ENABLE, DRV_OPEN, DRV_DISABLE, DRV_FREE}));
}

TEST_F(CompressorManagerTest, DriverThatRefusesToCloseStaysOpenAndReachable) {
    HIC compressor = ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS);
    recorder.Answer(DRV_CLOSE, 0);
    EXPECT_EQ(ICClose(compressor), ICERR_ERROR);
    EXPECT_EQ(recorder.Count(DRV_FREE), 0);
    EXPECT_EQ(ICSendMessage(compressor, ICM_COMPRESS_END, 0, 0), ICERR_OK);
    recorder.Handle(DRV_CLOSE);
    EXPECT_EQ(ICClose(compressor), ICERR_OK);
}

TEST_F(CompressorManagerTest, ClosedAndNullHandlesAreRefusedWithoutReachingTheDriver) {
    HIC compressor = ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS);
    ICClose(compressor);
    recorder.Clear();
    for (HIC stale : {compressor, static_cast<HIC>(nullptr)}) {
        SetLastError(0);
        EXPECT_EQ(ICSendMessage(stale, ICM_COMPRESS_END, 0, 0), ICERR_BADHANDLE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_EQ(ICClose(stale), ICERR_BADHANDLE);
        EXPECT_EQ(ICCompress(stale, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0,
                             0, nullptr, nullptr),
                  static_cast<DWORD>(ICERR_BADHANDLE));
        ICINFO info{};
        EXPECT_EQ(ICGetInfo(stale, &info, sizeof info), ICERR_BADHANDLE);
    }
    EXPECT_TRUE(recorder.Log().empty());
}

TEST_F(CompressorManagerTest, CompressPassesEveryArgumentInTheRecord) {
    HIC compressor = ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS);
    BITMAPINFOHEADER output{};
    BITMAPINFOHEADER input{};
    BITMAPINFOHEADER previous{};
    BYTE outputBits[32] = {};
    BYTE inputBits[4] = {};
    BYTE previousBits[4] = {};
    DWORD chunkId = 0;
    DWORD frameFlags = 0;
    EXPECT_EQ(ICCompress(compressor, ICCOMPRESS_KEYFRAME, &output, outputBits, &input, inputBits,
                         &chunkId, &frameFlags, 42, 1000, 7500, &previous, previousBits),
              static_cast<DWORD>(ICERR_OK));
    const orvel::test::RecordedMessage* sent = recorder.Last(ICM_COMPRESS);
    ASSERT_NE(sent, nullptr);
    EXPECT_EQ(sent->param2, static_cast<LPARAM>(sizeof(ICCOMPRESS)));
    const ICCOMPRESS& frame = sent->frame;
    EXPECT_EQ(frame.dwFlags, ICCOMPRESS_KEYFRAME);
    EXPECT_EQ(frame.lpbiOutput, &output);
    EXPECT_EQ(frame.lpOutput, outputBits);
    EXPECT_EQ(frame.lpbiInput, &input);
    EXPECT_EQ(frame.lpInput, inputBits);
    EXPECT_EQ(frame.lpckid, &chunkId);
    EXPECT_EQ(frame.lpdwFlags, &frameFlags);
    EXPECT_EQ(frame.lFrameNum, 42);
    EXPECT_EQ(frame.dwFrameSize, 1000U);
    EXPECT_EQ(frame.dwQuality, 7500U);
    EXPECT_EQ(frame.lpbiPrev, &previous);
    EXPECT_EQ(frame.lpPrev, previousBits);
    EXPECT_EQ(+output.biSizeImage, RecordingCompressor::kFrameBytes);
    ICClose(compressor);
}

TEST_F(CompressorManagerTest, InstallRefusesTakenCodesDriverFilesAndMissingProcedures) {
    const LPARAM proc = reinterpret_cast<LPARAM>(
        +[](DWORD_PTR, HDRVR, UINT, LPARAM, LPARAM) noexcept -> LRESULT { return 1; });
    EXPECT_FALSE(
        ICInstall(ICTYPE_VIDEO, mmioFOURCC('T', 'R', 'E', 'C'), proc, nullptr, ICINSTALL_FUNCTION));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(
        ICInstall(ICTYPE_VIDEO, mmioFOURCC('x', 'x', 'x', '1'), proc, nullptr, ICINSTALL_DRIVER));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_FALSE(
        ICInstall(ICTYPE_VIDEO, mmioFOURCC('x', 'x', 'x', '2'), 0, nullptr, ICINSTALL_FUNCTION));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ICRemove(ICTYPE_VIDEO, mmioFOURCC('x', 'x', 'x', '3'), 0));
}

TEST_F(CompressorManagerTest, RemovalStopsNewOpensButNotTheOpenInstances) {
    const LPARAM proc = reinterpret_cast<LPARAM>(
        +[](DWORD_PTR, HDRVR, UINT message, LPARAM, LPARAM) noexcept -> LRESULT {
            return message == ICM_COMPRESS_END ? 77 : 1;
        });
    const DWORD handler = mmioFOURCC('g', 'o', 'n', 'e');
    ASSERT_TRUE(ICInstall(ICTYPE_VIDEO, handler, proc, "short-lived", ICINSTALL_FUNCTION));
    HIC compressor = ICOpen(ICTYPE_VIDEO, handler, ICMODE_COMPRESS);
    ASSERT_NE(compressor, nullptr);
    EXPECT_TRUE(ICRemove(ICTYPE_VIDEO, handler, 0));
    EXPECT_EQ(ICOpen(ICTYPE_VIDEO, handler, ICMODE_COMPRESS), nullptr);
    EXPECT_EQ(ICCompressEnd(compressor), 77);
    EXPECT_EQ(ICClose(compressor), ICERR_OK);
}

TEST_F(CompressorManagerTest, InfoDescribesByCodeWithTheDriversOwnWords) {
    ICINFO info{};
    ASSERT_TRUE(ICInfo(mmioFOURCC('V', 'I', 'D', 'C'), kRecorder, &info));
    EXPECT_EQ(info.dwSize, sizeof(ICINFO));
    EXPECT_EQ(info.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(info.fccHandler, kRecorder);
    EXPECT_EQ(info.dwVersion, 7U);
    EXPECT_EQ(Text(info.szName), u"Recorder");
    // The driver gave no description; the installation's stands in.
    EXPECT_EQ(Text(info.szDescription), u"Recording compressor");
    // The query instance was opened for the question only.
    EXPECT_EQ(recorder.Messages(), (std::vector<UINT>{DRV_LOAD, DRV_ENABLE, DRV_OPEN, ICM_GETINFO,
                                                      DRV_CLOSE, DRV_DISABLE, DRV_FREE}));
    EXPECT_EQ(recorder.Last(DRV_OPEN)->open.dwFlags, ICMODE_QUERY);

    EXPECT_FALSE(ICInfo(ICTYPE_VIDEO, mmioFOURCC('n', 'o', 'n', 'e'), &info));
    EXPECT_FALSE(ICInfo(ICTYPE_VIDEO, kRecorder, nullptr));
}

TEST_F(CompressorManagerTest, InfoByIndexEnumeratesInInstallationOrder) {
    std::vector<DWORD> handlers;
    ICINFO info{};
    for (DWORD index = 0; ICInfo(ICTYPE_VIDEO, index, &info); ++index) {
        handlers.push_back(info.fccHandler);
        ASSERT_LT(index, 100U);
    }
    ASSERT_GE(handlers.size(), 3U);
    EXPECT_EQ(handlers[0], kRle);
    EXPECT_EQ(handlers[1], kFullFrames);
    EXPECT_EQ(handlers.back(), kRecorder);
    // Type 0 lists every type; there are only video compressors here.
    EXPECT_TRUE(ICInfo(0, static_cast<DWORD>(handlers.size() - 1), &info));
    EXPECT_FALSE(ICInfo(0, static_cast<DWORD>(handlers.size()), &info));
    EXPECT_FALSE(ICInfo(ICTYPE_AUDIO, 0, &info));
}

TEST_F(CompressorManagerTest, BuiltInCompressorsDescribeThemselves) {
    ICINFO info{};
    ASSERT_TRUE(ICInfo(ICTYPE_VIDEO, kRle, &info));
    EXPECT_EQ(Text(info.szName), u"RLE8");
    EXPECT_EQ(info.dwVersionICM, ICVERSION);
    HIC compressor = ICOpen(ICTYPE_VIDEO, kFullFrames, ICMODE_COMPRESS);
    ASSERT_NE(compressor, nullptr);
    ICINFO fromInstance{};
    EXPECT_EQ(ICGetInfo(compressor, &fromInstance, sizeof fromInstance),
              static_cast<LRESULT>(sizeof(ICINFO)));
    EXPECT_EQ(fromInstance.fccHandler, kFullFrames);
    EXPECT_EQ(Text(fromInstance.szDescription), u"Full frames (uncompressed)");
    // A short buffer gets what fits.
    ICINFO partial{};
    EXPECT_EQ(ICGetInfo(compressor, &partial, 12), 12);
    EXPECT_EQ(partial.fccHandler, kFullFrames);
    EXPECT_EQ(partial.dwFlags, 0U);
    ICClose(compressor);
}

TEST_F(CompressorManagerTest, BuiltInCompressorsRefuseModesTheyDoNotServe) {
    EXPECT_EQ(ICOpen(ICTYPE_VIDEO, kRle, ICMODE_DECOMPRESS), nullptr);
    EXPECT_EQ(ICOpen(ICTYPE_VIDEO, kFullFrames, ICMODE_DRAW), nullptr);
    HIC query = ICOpen(ICTYPE_VIDEO, kRle, ICMODE_QUERY);
    EXPECT_NE(query, nullptr);
    EXPECT_EQ(ICSendMessage(query, ICM_DECOMPRESS, 0, 0), ICERR_UNSUPPORTED);
    ICClose(query);
}

// Each entry point that a lack of resources can stop fails the way the platform reports it, and
// the driver never hears of the call.
enum class Entry { Open, Send, Compress, Close };

class CompressorFaultTest : public CompressorManagerTest,
                            public ::testing::WithParamInterface<Entry> {};

TEST_P(CompressorFaultTest, InjectedFailureStopsTheCallBeforeTheDriver) {
    HIC compressor = nullptr;
    if (GetParam() != Entry::Open) {
        compressor = ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS);
        ASSERT_NE(compressor, nullptr);
    }
    recorder.Clear();
    SetLastError(0);
    orvel::testing::InjectFault(orvel::testing::kFaultCompressor, 1);
    BITMAPINFOHEADER header{};
    switch (GetParam()) {
    case Entry::Open:
        EXPECT_EQ(ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS), nullptr);
        break;
    case Entry::Send:
        EXPECT_EQ(ICSendMessage(compressor, ICM_COMPRESS_END, 0, 0), ICERR_MEMORY);
        break;
    case Entry::Compress:
        EXPECT_EQ(ICCompress(compressor, 0, &header, nullptr, &header, nullptr, nullptr, nullptr, 0,
                             0, 0, nullptr, nullptr),
                  static_cast<DWORD>(ICERR_MEMORY));
        break;
    case Entry::Close:
        EXPECT_EQ(ICClose(compressor), ICERR_ERROR);
        break;
    }
    EXPECT_TRUE(orvel::testing::FaultFired());
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_TRUE(recorder.Log().empty());
    orvel::testing::ClearFault();
    if (compressor != nullptr) {
        EXPECT_EQ(ICClose(compressor), ICERR_OK);
    }
}

INSTANTIATE_TEST_SUITE_P(EntryPoints, CompressorFaultTest,
                         ::testing::Values(Entry::Open, Entry::Send, Entry::Compress,
                                           Entry::Close));

} // namespace
