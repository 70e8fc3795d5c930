#include "detail/rle8_encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace orvel::platform::detail {
namespace {

constexpr std::size_t kMaxRun = 255;
// Absolute runs of 1 and 2 pixels cannot be written: 00 01 and 00 02 are the end-of-picture and
// delta codes.
constexpr std::size_t kMinAbsolute = 3;
// Long stretches are cut into even absolute runs, which need no pad byte.
constexpr std::size_t kMaxAbsolute = 254;
// Inside a stretch of differing pixels, an encoded run saves bytes only from this length on:
// shorter ones cost their two bytes plus the two that restart the absolute run after them.
constexpr std::size_t kRunThatBreaksAStretch = 4;

inline int FirstFlaggedByte(std::uint64_t flags) noexcept {
    const int bit = std::endian::native == std::endian::little ? std::countr_zero(flags)
                                                               : std::countl_zero(flags);
    return bit / 8;
}

// The end of the run of pixels equal to *pixel, no further than `end`. Eight pixels are compared
// at a time, so a flat row crosses a word per step.
inline const BYTE* RunEnd(const BYTE* pixel, const BYTE* end) noexcept {
    const BYTE value = *pixel;
    const std::uint64_t repeated = 0x0101010101010101ULL * value;
    const BYTE* next = pixel + 1;
    while (end - next >= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, next, sizeof word);
        const std::uint64_t differing = word ^ repeated;
        if (differing != 0) {
            return next + FirstFlaggedByte(differing);
        }
        next += 8;
    }
    while (next < end && *next == value) {
        ++next;
    }
    return next;
}

// The first pixel from `pixel` on that equals its right neighbour, that is where the next run
// of two or more starts; `end` when there is none. Eight neighbour pairs are tested at a time:
// in noise such pairs are rare, and a word without one is passed in a single step.
inline const BYTE* NextPair(const BYTE* pixel, const BYTE* end) noexcept {
    constexpr std::uint64_t kLowBits = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    while (end - pixel >= 9) {
        std::uint64_t here = 0;
        std::uint64_t right = 0;
        std::memcpy(&here, pixel, sizeof here);
        std::memcpy(&right, pixel + 1, sizeof right);
        const std::uint64_t differences = here ^ right;
        // A zero byte of `differences` is a pair. The lowest flag this sets is exact; only flags
        // above a true zero byte can be false.
        const std::uint64_t zeroBytes = (differences - kLowBits) & ~differences & kHighBits;
        if (zeroBytes != 0) {
            return pixel + FirstFlaggedByte(zeroBytes);
        }
        pixel += 8;
    }
    for (; end - pixel >= 2; ++pixel) {
        if (pixel[0] == pixel[1]) {
            return pixel;
        }
    }
    return end;
}

inline BYTE* PutEncodedRun(BYTE value, std::size_t count, BYTE* out) noexcept {
    while (count > 0) {
        const std::size_t piece = std::min(count, kMaxRun);
        out[0] = static_cast<BYTE>(piece);
        out[1] = value;
        out += 2;
        count -= piece;
    }
    return out;
}

// Writes a stretch of pixels that are not worth encoded runs: absolute runs of at least three
// pixels, or single-pixel encoded runs when the stretch is too short for an absolute run.
inline BYTE* PutStretch(const BYTE* begin, const BYTE* end, BYTE* out) noexcept {
    std::size_t left = static_cast<std::size_t>(end - begin);
    if (left < kMinAbsolute) {
        for (; begin < end; ++begin) {
            out[0] = 1;
            out[1] = *begin;
            out += 2;
        }
        return out;
    }
    while (left > 0) {
        std::size_t piece = std::min(left, kMaxAbsolute);
        if (left - piece != 0 && left - piece < kMinAbsolute) {
            piece = left - kMinAbsolute; // leave a tail long enough for an absolute run
        }
        out[0] = 0;
        out[1] = static_cast<BYTE>(piece);
        std::memcpy(out + 2, begin, piece);
        out += 2 + piece;
        if ((piece & 1) != 0) {
            *out++ = 0; // absolute runs end on a word boundary of the stream
        }
        begin += piece;
        left -= piece;
    }
    return out;
}

BYTE* EncodeRow(const BYTE* row, const BYTE* end, BYTE* out) noexcept {
    const BYTE* stretch = row; // first pixel not yet written
    const BYTE* pixel = row;   // always the start of a run
    while (pixel < end) {
        // Single pixels always join the stretch, so only runs of two or more need a look.
        const BYTE* runStart = NextPair(pixel, end);
        if (runStart == end) {
            break;
        }
        const BYTE* runEnd = RunEnd(runStart, end);
        const auto run = static_cast<std::size_t>(runEnd - runStart);
        const auto pending = static_cast<std::size_t>(runStart - stretch);
        // One or two pending pixels are written as single-pixel runs anyway, so even a run of
        // two is worth its own code after them.
        const std::size_t worthwhile = pending < kMinAbsolute ? 2 : kRunThatBreaksAStretch;
        if (run >= worthwhile) {
            out = PutStretch(stretch, runStart, out);
            out = PutEncodedRun(*runStart, run, out);
            stretch = runEnd;
        }
        pixel = runEnd;
    }
    return PutStretch(stretch, end, out);
}

} // namespace

std::uint64_t Rle8FrameBound(std::uint32_t width, std::uint32_t height) noexcept {
    return static_cast<std::uint64_t>(height) * (2 * static_cast<std::uint64_t>(width) + 2);
}

std::size_t EncodeRle8Frame(const BYTE* pixels, std::size_t stride, std::uint32_t width,
                            std::uint32_t height, BYTE* out) noexcept {
    BYTE* const start = out;
    const BYTE* row = pixels;
    for (std::uint32_t y = 0; y < height; ++y, row += stride) {
        out = EncodeRow(row, row + width, out);
        out[0] = 0;
        out[1] = y + 1 == height ? 1 : 0; // end of picture after the last row, else end of line
        out += 2;
    }
    return static_cast<std::size_t>(out - start);
}

} // namespace orvel::platform::detail
