// ISA-L's deflate coder, for the strips of a PNG's rows where it does as well as zlib.
//
// On rows that are mostly noise (photographs, after filtering), deflate's search for repeats
// finds little, the Huffman codes do nearly all the work, and ISA-L's level-1 coder makes a
// stream as small as zlib's at the usual level in about a tenth of the time. On rows that repeat
// (drawings, screenshots) zlib's search makes streams 5 to 20% smaller. The strip compressor
// asks both for a sample of each strip and keeps ISA-L only where it comes within 1% of zlib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace orvel::png::detail {

class FastDeflate {
public:
    /// True when this build has ISA-L.
    static bool Available() noexcept;

    FastDeflate();
    ~FastDeflate();
    FastDeflate(const FastDeflate&) = delete;
    FastDeflate& operator=(const FastDeflate&) = delete;

    /// Deflates `count` bytes as a run of raw deflate blocks that may look back into the
    /// `windowBytes` before them (up to 32 KiB). The run ends on a byte boundary, or, when
    /// `last`, with the final block. Returns the bytes written to `out`; 0 when they did not fit
    /// in `room` or ISA-L refused.
    std::size_t Compress(const std::uint8_t* window, std::size_t windowBytes,
                         const std::uint8_t* bytes, std::size_t count, bool last, std::uint8_t* out,
                         std::size_t room) noexcept;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace orvel::png::detail
