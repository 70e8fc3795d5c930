#include "rle_decoders.h"
#include "rle_stream.h"
#include "short_runs.h"

namespace orvel::dib::detail {
namespace {

// The write position is a byte offset into the pixel area, not a (column, row) pair: a run that
// passes the end of a row goes on into its padding and the next row, as the format's writers
// expect. `position` never exceeds `size`.
class Rle8Writer {
public:
    // Starts at the row that begins at byte rowStart; writes below byte `size` only.
    Rle8Writer(BYTE* pixels, std::size_t size, std::size_t stride, std::size_t rowStart) noexcept
        : pixels_(pixels), size_(size), stride_(stride), position_(rowStart), rowStart_(rowStart) {}

    bool Run(BYTE count, BYTE value) noexcept {
        const std::size_t room = size_ - position_;
        const std::size_t put = count < room ? count : room;
        FillRun(pixels_ + position_, value, put);
        position_ += put;
        return put == count;
    }

    bool EndOfLine() noexcept {
        rowStart_ += stride_;
        position_ = rowStart_;
        return rowStart_ <= size_;
    }

    bool Delta(BYTE right, BYTE up) noexcept {
        const std::size_t rowsUp = std::size_t{up} * stride_;
        rowStart_ += rowsUp;
        position_ += rowsUp + right;
        return position_ <= size_;
    }

    static std::size_t AbsoluteStreamBytes(BYTE count) noexcept {
        return (std::size_t{count} + 1) & ~std::size_t{1};
    }

    bool Absolute(const BYTE* source, BYTE count, std::size_t availableBytes) noexcept {
        std::size_t put = count < availableBytes ? count : availableBytes;
        const std::size_t room = size_ - position_;
        put = put < room ? put : room;
        CopyRun(pixels_ + position_, source, put);
        position_ += put;
        return put == count;
    }

private:
    BYTE* pixels_;
    std::size_t size_;
    std::size_t stride_;
    std::size_t position_;
    std::size_t rowStart_;
};

} // namespace

void DecodeRle8(const BYTE* stream, std::size_t streamBytes, BYTE* pixels, std::size_t pixelBytes,
                std::size_t stride) noexcept {
    DecodeRleShared(
        stream, streamBytes, pixels, pixelBytes, stride, 2,
        [&](std::size_t limit, std::size_t rowStart) {
            return Rle8Writer(pixels, limit, stride, rowStart);
        },
        kKeepStream);
}

} // namespace orvel::dib::detail
