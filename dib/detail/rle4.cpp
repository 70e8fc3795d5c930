#include "rle_decoders.h"
#include "rle_stream.h"

#include <cstring>

namespace orvel::dib::detail {
namespace {

// Both nibbles of a byte, swapped: the byte pattern of a run that starts in a low nibble.
constexpr BYTE SwapNibbles(BYTE value) noexcept {
    return static_cast<BYTE>((value << 4) | (value >> 4));
}

void PutHigh(BYTE* byte, unsigned nibble) noexcept {
    *byte = static_cast<BYTE>((*byte & 0x0F) | (nibble << 4));
}

void PutLow(BYTE* byte, unsigned nibble) noexcept {
    *byte = static_cast<BYTE>((*byte & 0xF0) | nibble);
}

// The write position counts nibbles: byte position / 2, and odd for the low nibble. Putting a
// nibble keeps the byte's other nibble, so a run that starts or ends inside a byte leaves its
// neighbour alone; whole bytes in between are written at once, which puts the same nibbles the
// one-by-one rule would. `position` never exceeds twice `size`.
class Rle4Writer {
public:
    // Starts at the row that begins at byte rowStart; writes below byte `size` only.
    Rle4Writer(BYTE* pixels, std::size_t size, std::size_t stride, std::size_t rowStart) noexcept
        : pixels_(pixels), limit_(2 * size), stride_(stride), position_(2 * rowStart),
          rowStart_(rowStart) {}

    bool Run(BYTE count, BYTE value) noexcept {
        const std::size_t room = limit_ - position_;
        std::size_t put = count < room ? count : room;
        const bool complete = put == count;
        BYTE* byte = pixels_ + position_ / 2;
        position_ += put;
        BYTE pattern = value;
        if (put != 0 && (position_ - put) % 2 != 0) {
            // Starts in a low nibble: the run's first pixel completes this byte, and from the next
            // byte on the run's nibbles fall the other way round.
            PutLow(byte++, value >> 4);
            pattern = SwapNibbles(value);
            --put;
        }
        std::memset(byte, pattern, put / 2);
        if (put % 2 != 0) {
            PutHigh(byte + put / 2, pattern >> 4);
        }
        return complete;
    }

    bool EndOfLine() noexcept {
        rowStart_ += stride_;
        position_ = 2 * rowStart_; // every row starts in the high nibble of its first byte
        return position_ <= limit_;
    }

    bool Delta(BYTE right, BYTE up) noexcept {
        const std::size_t rowsUp = std::size_t{up} * stride_;
        rowStart_ += rowsUp;
        position_ += 2 * rowsUp + right;
        return position_ <= limit_;
    }

    static std::size_t AbsoluteStreamBytes(BYTE count) noexcept {
        return (std::size_t{count} + 3) / 4 * 2;
    }

    bool Absolute(const BYTE* source, BYTE count, std::size_t availableBytes) noexcept {
        std::size_t put = count < 2 * availableBytes ? count : 2 * availableBytes;
        const std::size_t room = limit_ - position_;
        put = put < room ? put : room;
        const bool complete = put == count;
        BYTE* byte = pixels_ + position_ / 2;
        const bool lowStart = position_ % 2 != 0;
        position_ += put;
        if (put == 0) {
            return complete;
        }
        if (!lowStart) {
            std::memcpy(byte, source, put / 2);
            if (put % 2 != 0) {
                PutHigh(byte + put / 2, source[put / 2] >> 4);
            }
            return complete;
        }
        // Starts in a low nibble: every stored byte straddles two written bytes.
        PutLow(byte++, source[0] >> 4);
        const std::size_t rest = put - 1;
        for (std::size_t i = 0; i < rest / 2; ++i) {
            byte[i] = static_cast<BYTE>((source[i] << 4) | (source[i + 1] >> 4));
        }
        if (rest % 2 != 0) {
            PutHigh(byte + rest / 2, source[rest / 2] & 0x0F);
        }
        return complete;
    }

private:
    BYTE* pixels_;
    std::size_t limit_;
    std::size_t stride_;
    std::size_t position_;
    std::size_t rowStart_;
};

} // namespace

void DecodeRle4(const BYTE* stream, std::size_t streamBytes, BYTE* pixels, std::size_t pixelBytes,
                std::size_t stride) noexcept {
    DecodeRleShared(
        stream, streamBytes, pixels, pixelBytes, stride, 4,
        [&](std::size_t limit, std::size_t rowStart) {
            return Rle4Writer(pixels, limit, stride, rowStart);
        },
        kKeepStream);
}

} // namespace orvel::dib::detail
