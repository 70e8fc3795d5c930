// A video compressor that a test installs through ICInstall: it records every message it
// receives and answers as a well-behaved compressor, unless the test tells it to answer a
// message otherwise.
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
    ICOPEN open{};      ///< DRV_OPEN: a copy of the ICOPEN record
    ICCOMPRESS frame{}; ///< ICM_COMPRESS: a copy of the ICCOMPRESS record
};

/// Installed under kHandler while it lives; one at a time.
class RecordingCompressor {
public:
    static constexpr DWORD kHandler = mmioFOURCC('t', 'R', 'E', 'C');
    static constexpr DWORD_PTR kDriverId = 0x5EC0;
    /// The size of its output format: a header and a 256-entry colour table.
    static constexpr LRESULT kFormatBytes = 40 + 256 * 4;
    /// Bytes of every compressed frame.
    static constexpr DWORD kFrameBytes = 17;

    RecordingCompressor();
    ~RecordingCompressor();
    RecordingCompressor(const RecordingCompressor&) = delete;
    RecordingCompressor& operator=(const RecordingCompressor&) = delete;

    /// From now on answers `message` with `answer` instead of handling it; Handle undoes that.
    void Answer(UINT message, LRESULT answer) { overrides_[message] = answer; }
    void Handle(UINT message) { overrides_.erase(message); }
    /// Answers the request to fill the output format (not the size query) with `answer`.
    void AnswerFormatFill(LRESULT answer) { fillAnswer_ = answer; }

    const std::vector<RecordedMessage>& Log() const noexcept { return log_; }
    /// The message numbers of the log, in order.
    std::vector<UINT> Messages() const;
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
    std::vector<RecordedMessage> log_;
};

} // namespace orvel::test
