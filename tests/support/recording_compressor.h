// A video compressor that a test installs through ICInstall: it records every message it
// receives, with copies of the formats and records they point to, and answers as a well-behaved
// compressor unless the test tells it to answer a message otherwise.
#pragma once

#include <orvel/orvel.h>

#include <map>
#include <vector>

namespace orvel::test {

/// One message as the recording compressor received it.
struct RecordedMessage {
    UINT message = 0;
    DWORD_PTR driverId = 0;
    HDRVR driver = nullptr;
    LPARAM param1 = 0;
    LPARAM param2 = 0;
    BITMAPINFOHEADER format1{}; ///< the header at param1 (format messages), else zero
    BITMAPINFOHEADER
        format2{};      ///< the header at param2 (ICM_COMPRESS_BEGIN and queries), else zero
    ICOPEN open{};      ///< DRV_OPEN: the ICOPEN record
    ICCOMPRESS frame{}; ///< ICM_COMPRESS: the ICCOMPRESS record
};

/// Installed while it lives; only one can live at a time.
class RecordingCompressor {
public:
    static constexpr DWORD kHandler = mmioFOURCC('t', 'R', 'E', 'C');
    static constexpr DWORD_PTR kDriverId = 0x5EC0;
    /// The default size of the output format: a header and a 256-entry colour table.
    static constexpr LRESULT kFormatBytes = 40 + 256 * 4;
    /// Bytes every compressed frame has; the frame is these bytes counting up from 1.
    static constexpr DWORD kFrameBytes = 17;

    RecordingCompressor();
    ~RecordingCompressor();
    RecordingCompressor(const RecordingCompressor&) = delete;
    RecordingCompressor& operator=(const RecordingCompressor&) = delete;

    /// From now on answers `message` with `answer` instead of handling it.
    void Answer(UINT message, LRESULT answer) { overrides_[message] = answer; }
    /// Handles `message` normally again.
    void Handle(UINT message) { overrides_.erase(message); }
    /// Answers ICM_COMPRESS_GET_FORMAT with an output buffer (the request to fill the format, not
    /// the size query) with `answer`, without filling the buffer.
    void AnswerFormatFill(LRESULT answer) {
        fillAnswer_ = answer;
        fillOverridden_ = true;
    }

    /// Every message since installation or the last Clear, in order.
    const std::vector<RecordedMessage>& Log() const noexcept { return log_; }
    /// The message numbers of the log, in order; driver-load messages included.
    std::vector<UINT> Messages() const;
    /// The message numbers of the log without the ICM_GETINFO queries ICInfo makes.
    std::vector<UINT> CompressorMessages() const;
    /// How many times a message arrived.
    int Count(UINT message) const;
    /// The last arrival of a message; null when it never arrived.
    const RecordedMessage* Last(UINT message) const;
    void Clear() { log_.clear(); }

private:
    static LRESULT CALLBACK Proc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1,
                                 LPARAM param2) noexcept;
    LRESULT Receive(const RecordedMessage& received) noexcept;

    std::map<UINT, LRESULT> overrides_;
    LRESULT fillAnswer_ = ICERR_OK;
    bool fillOverridden_ = false;
    std::vector<RecordedMessage> log_;
};

} // namespace orvel::test
