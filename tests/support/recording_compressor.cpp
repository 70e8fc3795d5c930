#include "recording_compressor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace orvel::test {
namespace {
RecordingCompressor* g_installed = nullptr;
} // namespace

RecordingCompressor::RecordingCompressor() {
    EXPECT_EQ(g_installed, nullptr) << "one recording compressor at a time";
    g_installed = this;
    EXPECT_TRUE(ICInstall(ICTYPE_VIDEO, kHandler, reinterpret_cast<LPARAM>(&Proc),
                          "Recording compressor", ICINSTALL_FUNCTION));
}

RecordingCompressor::~RecordingCompressor() {
    ICRemove(ICTYPE_VIDEO, kHandler, 0);
    g_installed = nullptr;
}

std::vector<UINT> RecordingCompressor::Messages() const {
    std::vector<UINT> messages;
    for (const RecordedMessage& received : log_) {
        messages.push_back(received.message);
    }
    return messages;
}

int RecordingCompressor::Count(UINT message) const {
    const std::vector<UINT> messages = Messages();
    return static_cast<int>(std::count(messages.begin(), messages.end(), message));
}

const RecordedMessage* RecordingCompressor::Last(UINT message) const {
    const auto found = std::find_if(log_.rbegin(), log_.rend(),
                                    [&](const RecordedMessage& r) { return r.message == message; });
    return found == log_.rend() ? nullptr : &*found;
}

LRESULT CALLBACK RecordingCompressor::Proc(DWORD_PTR driverId, HDRVR driver, UINT message,
                                           LPARAM param1, LPARAM param2) noexcept {
    RecordedMessage received{message, driverId, driver, param1, param2, {}, {}};
    if (message == DRV_OPEN && param2 != 0) {
        received.open = *reinterpret_cast<const ICOPEN*>(param2);
    }
    if (message == ICM_COMPRESS && param1 != 0) {
        received.frame = *reinterpret_cast<const ICCOMPRESS*>(param1);
    }
    return g_installed->Receive(received);
}

LRESULT RecordingCompressor::Receive(const RecordedMessage& received) noexcept {
    log_.push_back(received);
    const auto overridden = overrides_.find(received.message);
    if (overridden != overrides_.end()) {
        return overridden->second;
    }
    void* const param1 = reinterpret_cast<void*>(received.param1);
    void* const param2 = reinterpret_cast<void*>(received.param2);
    switch (received.message) {
    case DRV_OPEN:
        return static_cast<LRESULT>(kDriverId);
    case ICM_GETINFO: {
        ICINFO info{};
        info.dwSize = sizeof info;
        info.fccHandler = kHandler;
        info.dwVersion = 7;
        std::copy_n(u"Recorder", 9, info.szName);
        std::memcpy(param1, &info, std::min<std::size_t>(sizeof info, received.param2));
        return sizeof info;
    }
    case ICM_COMPRESS_GET_FORMAT:
        if (param2 == nullptr) {
            return kFormatBytes;
        }
        if (fillAnswer_ == ICERR_OK) {
            // The input's header, marked as this compressor's own format.
            std::memcpy(param2, param1, sizeof(BITMAPINFOHEADER));
            static_cast<BITMAPINFOHEADER*>(param2)->biCompression = kHandler;
        }
        return fillAnswer_;
    case ICM_COMPRESS: {
        const ICCOMPRESS& frame = received.frame;
        // A message without a frame, or a frame without room for the output, has nothing to fill.
        if (frame.lpOutput == nullptr || frame.lpbiOutput == nullptr) {
            return ICERR_BADPARAM;
        }
        std::memset(frame.lpOutput, 0x17, kFrameBytes);
        frame.lpbiOutput->biSizeImage = kFrameBytes;
        return ICERR_OK;
    }
    case ICM_COMPRESS_QUERY:
    case ICM_COMPRESS_BEGIN:
    case ICM_COMPRESS_END:
        return ICERR_OK;
    default:
        // The driver life-cycle messages succeed; other compressor messages are not served.
        return received.message < DRV_USER ? 1 : ICERR_UNSUPPORTED;
    }
}

} // namespace orvel::test
