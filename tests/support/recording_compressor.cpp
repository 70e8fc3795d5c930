#include "recording_compressor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace orvel::test {
namespace {

RecordingCompressor* g_installed = nullptr;

BITMAPINFOHEADER HeaderAt(LPARAM address) {
    BITMAPINFOHEADER header{};
    if (address != 0) {
        std::memcpy(&header, reinterpret_cast<const void*>(address), sizeof header);
    }
    return header;
}

bool CarriesFormats(UINT message) {
    return message == ICM_COMPRESS_GET_FORMAT || message == ICM_COMPRESS_GET_SIZE ||
           message == ICM_COMPRESS_QUERY || message == ICM_COMPRESS_BEGIN;
}

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

std::vector<UINT> RecordingCompressor::CompressorMessages() const {
    std::vector<UINT> messages;
    for (const RecordedMessage& received : log_) {
        if (received.message >= ICM_USER && received.message != ICM_GETINFO) {
            messages.push_back(received.message);
        }
    }
    return messages;
}

int RecordingCompressor::Count(UINT message) const {
    return static_cast<int>(std::count_if(
        log_.begin(), log_.end(), [&](const RecordedMessage& r) { return r.message == message; }));
}

const RecordedMessage* RecordingCompressor::Last(UINT message) const {
    for (auto it = log_.rbegin(); it != log_.rend(); ++it) {
        if (it->message == message) {
            return &*it;
        }
    }
    return nullptr;
}

LRESULT CALLBACK RecordingCompressor::Proc(DWORD_PTR driverId, HDRVR driver, UINT message,
                                           LPARAM param1, LPARAM param2) noexcept {
    RecordedMessage received;
    received.message = message;
    received.driverId = driverId;
    received.driver = driver;
    received.param1 = param1;
    received.param2 = param2;
    if (CarriesFormats(message)) {
        received.format1 = HeaderAt(param1);
        received.format2 = HeaderAt(param2);
    }
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
    switch (received.message) {
    case DRV_LOAD:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_FREE:
    case DRV_CLOSE:
        return 1;
    case DRV_OPEN:
        return static_cast<LRESULT>(kDriverId);
    case ICM_GETINFO: {
        ICINFO info{};
        info.dwSize = sizeof info;
        info.fccType = ICTYPE_VIDEO;
        info.fccHandler = kHandler;
        info.dwVersion = 7;
        std::copy_n(u"Recorder", 9, info.szName);
        std::memcpy(reinterpret_cast<void*>(received.param1), &info,
                    std::min<std::size_t>(sizeof info, static_cast<std::size_t>(received.param2)));
        return sizeof info;
    }
    case ICM_COMPRESS_GET_FORMAT:
        if (received.param2 == 0) {
            return kFormatBytes;
        } else if (fillOverridden_) {
            return fillAnswer_;
        } else {
            // The input's header, marked as this compressor's own format.
            BITMAPINFOHEADER output = received.format1;
            output.biCompression = kHandler;
            std::memcpy(reinterpret_cast<void*>(received.param2), &output, sizeof output);
            return ICERR_OK;
        }
    case ICM_COMPRESS_GET_SIZE:
        return kFrameBytes;
    case ICM_COMPRESS_QUERY:
    case ICM_COMPRESS_BEGIN:
    case ICM_COMPRESS_END:
        return ICERR_OK;
    case ICM_COMPRESS: {
        const ICCOMPRESS& frame = received.frame;
        auto* out = static_cast<BYTE*>(frame.lpOutput);
        for (DWORD i = 0; i < kFrameBytes; ++i) {
            out[i] = static_cast<BYTE>(i + 1);
        }
        frame.lpbiOutput->biSizeImage = kFrameBytes;
        if (frame.lpdwFlags != nullptr) {
            *frame.lpdwFlags = AVIIF_KEYFRAME;
        }
        return ICERR_OK;
    }
    default:
        return ICERR_UNSUPPORTED;
    }
}

} // namespace orvel::test
