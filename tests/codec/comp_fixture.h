// What the CDibComp tests share: a recording compressor installed for each test, leak checks,
// and an 8-bit input format.
#pragma once

#include <orvel/orvel.h>

#include "support/live_objects.h"
#include "support/recording_compressor.h"
#include "support/status.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace orvel::test {

class CompFixture : public LeakCheckedTest {
public:
    static constexpr DWORD kRecorder = RecordingCompressor::kHandler;

    CompFixture() : input_(40 + 256 * 4, 0) {
        const BITMAPINFOHEADER header = CDibSupport::MakeBIH(16, 4, 8, BI_RGB, 64, 0, 0, 0, 0);
        std::memcpy(input_.data(), &header, sizeof header);
        for (std::size_t i = 40; i < input_.size(); ++i) {
            input_[i] = static_cast<BYTE>(i);
        }
    }

    BITMAPINFO* Input() { return reinterpret_cast<BITMAPINFO*>(input_.data()); }
    DWORD InputSize() const { return static_cast<DWORD>(input_.size()); }

    /// Opens the recorder and obtains the output format; the log is cleared afterwards.
    void MakeReady(CDibComp& comp) {
        ASSERT_TRUE(comp.Open(kRecorder));
        BITMAPINFO* output = nullptr;
        DWORD outputSize = 0;
        ASSERT_TRUE(comp.GetFormat(Input(), InputSize(), &output, outputSize));
        recorder.Clear();
    }

    /// A frame for the input format, and room for what the recording compressor makes of it.
    std::vector<BYTE> pixels_ = std::vector<BYTE>(64, 0x11);
    std::vector<BYTE> compressed_ = std::vector<BYTE>(256, 0);

protected:
    RecordingCompressor recorder;
    std::vector<BYTE> input_;
};

} // namespace orvel::test
