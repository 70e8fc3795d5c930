#include <orvel/orvel.h>

#include "platform/last_error.h"
#include "support/live_objects.h"
#include "support/recording_compressor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using orvel::test::RecordingCompressor;
using Messages = std::vector<UINT>;

constexpr DWORD kRecorder = RecordingCompressor::kHandler;
constexpr DWORD kRle = mmioFOURCC('m', 'r', 'l', 'e');
constexpr DWORD kFullFrames = mmioFOURCC('D', 'I', 'B', ' ');

class CompressorManagerTest : public orvel::test::LeakCheckedTest {
protected:
    RecordingCompressor recorder;
};

TEST_F(CompressorManagerTest, InstanceIsLoadedOpenedMessagedAndClosedInTheDriversOrder) {
    // Codes compare without case; the driver is told the ones it was installed under.
    HIC compressor =
        ICOpen(mmioFOURCC('V', 'I', 'D', 'C'), mmioFOURCC('T', 'r', 'e', 'c'), ICMODE_COMPRESS);
    ASSERT_NE(compressor, nullptr);
    const ICOPEN& open = recorder.Last(DRV_OPEN)->open;
    EXPECT_EQ(open.dwSize, sizeof(ICOPEN));
    EXPECT_EQ(open.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(open.fccHandler, kRecorder);
    EXPECT_EQ(open.dwFlags, ICMODE_COMPRESS);

    recorder.Answer(ICM_USER + 300, 1234);
    EXPECT_EQ(ICSendMessage(compressor, ICM_USER + 300, 11, 22), 1234);
    const orvel::test::RecordedMessage* sent = recorder.Last(ICM_USER + 300);
    EXPECT_EQ(sent->driverId, RecordingCompressor::kDriverId);
    EXPECT_EQ(sent->driver, recorder.Last(DRV_OPEN)->driver);
    EXPECT_EQ(sent->param1, 11);
    EXPECT_EQ(sent->param2, 22);

    EXPECT_EQ(ICClose(compressor), ICERR_OK);
    EXPECT_EQ(recorder.Messages(), (Messages{DRV_LOAD, DRV_ENABLE, DRV_OPEN, ICM_USER + 300,
                                             DRV_CLOSE, DRV_DISABLE, DRV_FREE}));
    // Only DRV_CLOSE and the compressor messages name the instance by the id DRV_OPEN gave.
    EXPECT_EQ(recorder.Last(DRV_OPEN)->driverId, 0U);
    EXPECT_EQ(recorder.Last(DRV_CLOSE)->driverId, RecordingCompressor::kDriverId);
    EXPECT_EQ(recorder.Last(DRV_FREE)->driverId, 0U);
}

TEST_F(CompressorManagerTest, RefusalsUndoWhatWasDoneKeepWhatMustStayAndNeverReachADriver) {
    EXPECT_REFUSED(ICOpen(ICTYPE_VIDEO, mmioFOURCC('n', 'o', 'n', 'e'), ICMODE_COMPRESS), nullptr,
                   ERROR_MOD_NOT_FOUND);

    recorder.Answer(DRV_LOAD, 0);
    EXPECT_EQ(ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS), nullptr);
    EXPECT_EQ(recorder.Messages(), (Messages{DRV_LOAD}));
    recorder.Handle(DRV_LOAD);

    recorder.Clear();
    recorder.Answer(DRV_OPEN, 0);
    EXPECT_REFUSED(ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS), nullptr, ERROR_NOT_SUPPORTED);
    EXPECT_EQ(recorder.Messages(),
              (Messages{DRV_LOAD, DRV_ENABLE, DRV_OPEN, DRV_DISABLE, DRV_FREE}));
    recorder.Handle(DRV_OPEN);

    // A driver that will not close keeps its instance reachable for another try.
    HIC compressor = ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS);
    recorder.Answer(DRV_CLOSE, 0);
    EXPECT_EQ(ICClose(compressor), ICERR_ERROR);
    EXPECT_EQ(ICCompressEnd(compressor), ICERR_OK);
    recorder.Handle(DRV_CLOSE);
    EXPECT_EQ(ICClose(compressor), ICERR_OK);

    // Closed and null handles never reach a driver.
    recorder.Clear();
    for (HIC stale : {compressor, static_cast<HIC>(nullptr)}) {
        EXPECT_REFUSED(ICSendMessage(stale, ICM_COMPRESS_END, 0, 0), ICERR_BADHANDLE,
                       ERROR_INVALID_HANDLE);
        EXPECT_REFUSED(ICClose(stale), ICERR_BADHANDLE, ERROR_INVALID_HANDLE);
        EXPECT_EQ(ICCompress(stale, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0,
                             0, nullptr, nullptr),
                  static_cast<DWORD>(ICERR_BADHANDLE));
    }
    EXPECT_TRUE(recorder.Log().empty());
}

TEST_F(CompressorManagerTest, InstallationIsRefusedForTakenCodesAndAnythingButAProcedure) {
    const LPARAM proc = reinterpret_cast<LPARAM>(
        +[](DWORD_PTR, HDRVR, UINT message, LPARAM, LPARAM) noexcept -> LRESULT {
            return message == ICM_COMPRESS_END ? 77 : 1;
        });
    EXPECT_FALSE(
        ICInstall(ICTYPE_VIDEO, mmioFOURCC('T', 'R', 'E', 'C'), proc, "", ICINSTALL_FUNCTION));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    const DWORD handler = mmioFOURCC('g', 'o', 'n', 'e');
    EXPECT_REFUSED(ICInstall(ICTYPE_VIDEO, handler, proc, "", ICINSTALL_DRIVER), FALSE,
                   ERROR_NOT_SUPPORTED);
    EXPECT_REFUSED(ICInstall(ICTYPE_VIDEO, handler, 0, "", ICINSTALL_FUNCTION), FALSE,
                   ERROR_INVALID_PARAMETER);

    // Removal stops new opens, not the open instances.
    ASSERT_TRUE(ICInstall(ICTYPE_VIDEO, handler, proc, "short-lived", ICINSTALL_FUNCTION));
    HIC compressor = ICOpen(ICTYPE_VIDEO, handler, ICMODE_COMPRESS);
    EXPECT_TRUE(ICRemove(ICTYPE_VIDEO, handler, 0));
    EXPECT_FALSE(ICRemove(ICTYPE_VIDEO, handler, 0));
    EXPECT_EQ(ICOpen(ICTYPE_VIDEO, handler, ICMODE_COMPRESS), nullptr);
    EXPECT_EQ(ICCompressEnd(compressor), 77);
    EXPECT_EQ(ICClose(compressor), ICERR_OK);
}

TEST_F(CompressorManagerTest,
       InfoAsksTheDriverThroughAQueryInstanceAndEnumeratesInInstallationOrder) {
    ICINFO info{};
    ASSERT_TRUE(ICInfo(mmioFOURCC('V', 'I', 'D', 'C'), kRecorder, &info));
    EXPECT_EQ(info.dwSize, sizeof(ICINFO));
    EXPECT_EQ(info.fccHandler, kRecorder);
    EXPECT_EQ(info.dwVersion, 7U);
    EXPECT_EQ(std::u16string(info.szName), u"Recorder");
    // The driver gave no description; the installation's stands in.
    EXPECT_EQ(std::u16string(info.szDescription), u"Recording compressor");
    EXPECT_EQ(recorder.Messages(), (Messages{DRV_LOAD, DRV_ENABLE, DRV_OPEN, ICM_GETINFO, DRV_CLOSE,
                                             DRV_DISABLE, DRV_FREE}));
    EXPECT_EQ(recorder.Last(DRV_OPEN)->open.dwFlags, ICMODE_QUERY);
    EXPECT_FALSE(ICInfo(ICTYPE_VIDEO, mmioFOURCC('n', 'o', 'n', 'e'), &info));
    EXPECT_FALSE(ICInfo(ICTYPE_VIDEO, kRecorder, nullptr));

    ASSERT_TRUE(ICInfo(ICTYPE_VIDEO, kRle, &info));
    EXPECT_EQ(std::u16string(info.szName), u"RLE8");
    EXPECT_EQ(info.dwVersionICM, ICVERSION);
    HIC compressor = ICOpen(ICTYPE_VIDEO, kFullFrames, ICMODE_COMPRESS);
    ICINFO partial{};
    EXPECT_EQ(ICGetInfo(compressor, &partial, 12), 12) << "a short buffer gets what fits";
    EXPECT_EQ(partial.fccHandler, kFullFrames);
    EXPECT_EQ(partial.dwFlags, 0U);
    ICClose(compressor);

    // By index: installation order.
    std::vector<DWORD> handlers;
    for (DWORD index = 0; index < 100 && ICInfo(ICTYPE_VIDEO, index, &info); ++index) {
        handlers.push_back(info.fccHandler);
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

// Each entry point that a lack of resources can stop fails the way the platform reports it,
// before the driver hears of the call.
TEST_F(CompressorManagerTest, InjectedFailuresStopEachCallBeforeTheDriver) {
    HIC compressor = ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS);
    BITMAPINFOHEADER header{};
    const struct {
        const char* call;
        LRESULT (*run)(HIC, BITMAPINFOHEADER&);
        LRESULT failure;
    } entries[] = {
        {"ICOpen",
         [](HIC, BITMAPINFOHEADER&) {
             return ICOpen(ICTYPE_VIDEO, kRecorder, ICMODE_COMPRESS) == nullptr ? LRESULT{0} : 1;
         },
         0},
        {"ICSendMessage", [](HIC c, BITMAPINFOHEADER&) { return ICCompressEnd(c); }, ICERR_MEMORY},
        {"ICCompress",
         [](HIC c, BITMAPINFOHEADER& h) {
             return static_cast<LRESULT>(static_cast<LONG>(ICCompress(
                 c, 0, &h, nullptr, &h, nullptr, nullptr, nullptr, 0, 0, 0, nullptr, nullptr)));
         },
         ICERR_MEMORY},
        {"ICClose", [](HIC c, BITMAPINFOHEADER&) { return ICClose(c); }, ICERR_ERROR},
    };
    for (const auto& entry : entries) {
        SCOPED_TRACE(entry.call);
        recorder.Clear();
        SetLastError(0);
        orvel::testing::InjectFault(orvel::testing::kFaultCompressor, 1);
        EXPECT_EQ(entry.run(compressor, header), entry.failure);
        EXPECT_TRUE(orvel::testing::FaultFired());
        EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_TRUE(recorder.Log().empty());
    }
    EXPECT_EQ(ICClose(compressor), ICERR_OK) << "a refused close leaves the instance open";
}

} // namespace
