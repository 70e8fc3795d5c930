#include "bmp_rows.h"

#include "../../dib/detail/rle_stream.h"
#include "../../dib/detail/short_runs.h"
#include "../../platform/memory/global_memory.h"

#include <bit>
#include <cstring>

namespace orvel::formats::detail {

void CopyRows(SourceRows source, WORD bitCount, const Canvas& canvas) noexcept {
    const std::uint64_t rowBits = std::uint64_t{canvas.width} * bitCount;
    const std::size_t rowBytes = (rowBits + 7) / 8;
    const unsigned tailBits = rowBits % 8;
    const BYTE tailMask = tailBits == 0 ? BYTE{0xFF} : static_cast<BYTE>(0xFF << (8 - tailBits));
    const BYTE* from = source.bottom;
    BYTE* to = canvas.rows;
    for (std::size_t row = 0; row < canvas.rowCount; ++row) {
        std::memcpy(to, from, rowBytes);
        if (rowBytes != 0) {
            to[rowBytes - 1] &= tailMask;
        }
        from += source.stepUp;
        to += canvas.stride;
    }
}

void WidenRows2To4(SourceRows source, const Canvas& canvas) noexcept {
    const BYTE* from = source.bottom;
    BYTE* to = canvas.rows;
    for (std::size_t row = 0; row < canvas.rowCount; ++row) {
        const BYTE* in = from;
        BYTE* out = to;
        // Pixels go in pairs: the even one into the high nibble.
        for (std::size_t x = 0; x < canvas.width; ++x) {
            const unsigned index = (in[x / 4] >> (6 - 2 * (x % 4))) & 3U;
            out[x / 2] |= static_cast<BYTE>(x % 2 == 0 ? index << 4 : index);
        }
        from += source.stepUp;
        to += canvas.stride;
    }
}

FieldScale MakeFieldScale(DWORD mask) {
    FieldScale scale;
    scale.mask = mask;
    if (mask == 0) {
        scale.levels.assign(1, 0);
        return scale;
    }
    const int lowest = std::countr_zero(mask);
    const int width = std::popcount(mask);
    const int kept = width > 16 ? 16 : width;
    scale.shift = lowest + (width - kept);
    const std::uint32_t largest = (std::uint32_t{1} << kept) - 1;
    scale.levels.resize(std::size_t{largest} + 1);
    for (std::uint32_t value = 0; value <= largest; ++value) {
        // Narrow fields repeat their bits downwards (v << 3 | v >> 2 for five bits), so the
        // largest value is 255 and the stored value is the level's top bits; wide ones keep
        // their top eight bits.
        std::uint32_t level = 0;
        for (int shift = 8 - kept; shift > -kept; shift -= kept) {
            level |= shift >= 0 ? value << shift : value >> -shift;
        }
        scale.levels[value] = static_cast<BYTE>(level);
    }
    return scale;
}

void ScaleFieldRows(SourceRows source, WORD sourceBits, const std::array<FieldScale, 4>& fields,
                    WORD canvasBits, const Canvas& canvas) noexcept {
    const std::size_t inStep = sourceBits / 8U;
    const std::size_t outStep = canvasBits / 8U;
    const bool alpha = canvasBits == 32;
    const BYTE* from = source.bottom;
    BYTE* to = canvas.rows;
    auto level = [](const FieldScale& field, DWORD pixel) {
        return field.levels[(pixel & field.mask) >> field.shift];
    };
    for (std::size_t row = 0; row < canvas.rowCount; ++row) {
        const BYTE* in = from;
        BYTE* out = to;
        for (const BYTE* const end = in + canvas.width * inStep; in != end;
             in += inStep, out += outStep) {
            const DWORD pixel = inStep == 2 ? DWORD{in[0]} | DWORD{in[1]} << 8
                                            : DWORD{in[0]} | DWORD{in[1]} << 8 |
                                                  DWORD{in[2]} << 16 | DWORD{in[3]} << 24;
            out[0] = level(fields[2], pixel);
            out[1] = level(fields[1], pixel);
            out[2] = level(fields[0], pixel);
            if (alpha) {
                out[3] = level(fields[3], pixel);
            }
        }
        from += source.stepUp;
        to += canvas.stride;
    }
}

namespace {

/// Where run-length codes put their pixels: a position that codes move, clipped to the canvas.
struct RunCursor {
    Canvas canvas; // a copy, which the pixel stores cannot change, so it stays in registers
    WORD bitCount; ///< 4, 8 or 24
    std::size_t x = 0;
    std::size_t y = 0; ///< from the bottom row

    bool Inside() const noexcept { return y < canvas.rowCount; }
    /// Sets the pixel under the cursor, if it is in the picture, and moves right. `pixel` is an
    /// index, or the three bytes blue, green, red of a 24-bit pixel.
    void Put(const BYTE* pixel, unsigned index) noexcept {
        if (x < canvas.width) {
            BYTE* row = canvas.rows + y * canvas.stride;
            if (bitCount == 4) {
                Set4(row, index);
            } else if (bitCount == 8) {
                row[x] = static_cast<BYTE>(index);
            } else {
                std::memcpy(row + 3 * x, pixel, 3);
            }
        }
        ++x;
    }
    void Set4(BYTE* row, unsigned index) const noexcept {
        row[x / 2] = static_cast<BYTE>(x % 2 == 0 ? (row[x / 2] & 0x0F) | index << 4
                                                  : (row[x / 2] & 0xF0) | index);
    }
    /// For 8-bit pixels: `count` pixels from `pixels` (or `count` copies of *pixels when
    /// `repeat`), clipped at the row's end, as that many Put calls would leave them.
    void Put8(const BYTE* pixels, std::size_t count, bool repeat) noexcept {
        if (x >= canvas.width) {
            return;
        }
        const std::size_t put = count < canvas.width - x ? count : canvas.width - x;
        BYTE* at = canvas.rows + y * canvas.stride + x;
        if (repeat) {
            dib::detail::FillRun(at, *pixels, put);
        } else {
            dib::detail::CopyRun(at, pixels, put);
        }
        x += put;
    }
    /// `count` pixels of 4 bits, alternating the high and the low nibble of each byte from
    /// `pixels` (an encoded run repeats its one byte: `repeat`).
    void Put4(const BYTE* pixels, std::size_t count, bool repeat) noexcept {
        BYTE* row = canvas.rows + y * canvas.stride;
        for (std::size_t i = 0; i < count && x < canvas.width; ++i, ++x) {
            const BYTE pair = repeat ? *pixels : pixels[i / 2];
            Set4(row, i % 2 == 0 ? pair >> 4 : pair & 0x0F);
        }
    }
};

/// The codes of an RLE8 or RLE4 stream put through a RunCursor, for the shared stream decoder.
/// The writer of one part of the stream stops where it would write at or above `rowLimit`, the
/// first row of the next part (for the whole stream, the row past the top one).
template <WORD kBits>
class RunWriter {
public:
    RunWriter(const Canvas& canvas, std::size_t rowLimit, std::size_t firstRow) noexcept
        : cursor_{canvas, kBits, 0, firstRow}, rowLimit_(rowLimit) {}

    bool Run(BYTE count, BYTE value) noexcept { return Put(&value, count, true); }
    bool EndOfLine() noexcept {
        cursor_.x = 0;
        ++cursor_.y;
        return cursor_.y <= rowLimit_;
    }
    bool Delta(BYTE right, BYTE up) noexcept {
        cursor_.x += right;
        cursor_.y += up;
        return cursor_.y <= rowLimit_;
    }
    static std::size_t AbsoluteStreamBytes(BYTE count) noexcept {
        return (DataBytes(count) + 1) & ~std::size_t{1};
    }
    /// An absolute run whose pixels the stream does not hold in full is not written at all.
    bool Absolute(const BYTE* source, BYTE count, std::size_t availableBytes) noexcept {
        return availableBytes >= DataBytes(count) && Put(source, count, false);
    }

private:
    static std::size_t DataBytes(BYTE count) noexcept {
        return kBits == 4 ? (std::size_t{count} + 1) / 2 : count;
    }
    bool Put(const BYTE* pixels, BYTE count, bool repeat) noexcept {
        if (cursor_.y >= rowLimit_) {
            return false;
        }
        if (kBits == 8) {
            cursor_.Put8(pixels, count, repeat);
        } else {
            cursor_.Put4(pixels, count, repeat);
        }
        return true;
    }

    RunCursor cursor_;
    std::size_t rowLimit_;
};

template <WORD kBits>
void DecodeIndexRuns(const BYTE* stream, std::size_t streamBytes, const Canvas& canvas,
                     StreamBlock owned) noexcept {
    // The shared decoder counts in bytes of the pixel area, the writers in rows; an absolute run
    // takes a 16-bit word of the stream for every 16 / kBits pixels. The canvas is zero-filled,
    // as the shared decoder expects of rows it clears and decodes again.
    const std::size_t stride = canvas.stride;
    dib::detail::DecodeRleShared(
        stream, streamBytes, canvas.rows, stride * canvas.rowCount, stride, 16 / kBits,
        [&](std::size_t limit, std::size_t rowStart) {
            return RunWriter<kBits>(canvas, stride != 0 ? limit / stride : canvas.rowCount,
                                    stride != 0 ? rowStart / stride : 0);
        },
        [owned](std::size_t offset, std::size_t bytes) noexcept {
            if (owned.block != nullptr) {
                platform::ReleaseBlockBytes(owned.block, owned.offset + offset, bytes);
            }
        });
}

/// OS/2's RLE24: a run is a count and three bytes of colour; an absolute run holds three bytes a
/// pixel.
void DecodeRuns24(const BYTE* stream, std::size_t streamBytes, const Canvas& canvas) noexcept {
    RunCursor cursor{canvas, 24};
    constexpr std::size_t kValueBytes = 3;
    std::size_t at = 0;
    while (cursor.Inside() && streamBytes - at >= 2) {
        const unsigned count = stream[at];
        if (count != 0) {
            if (streamBytes - at < 1 + kValueBytes) {
                return;
            }
            const BYTE* value = stream + at + 1;
            at += 1 + kValueBytes;
            for (unsigned i = 0; i < count && cursor.x < canvas.width; ++i) {
                cursor.Put(value, 0);
            }
            continue;
        }
        const unsigned code = stream[at + 1];
        at += 2;
        if (code == 0) { // end of line
            cursor.x = 0;
            ++cursor.y;
        } else if (code == 1) { // end of picture
            return;
        } else if (code == 2) { // delta: right and up
            if (streamBytes - at < 2) {
                return;
            }
            cursor.x += stream[at];
            cursor.y += stream[at + 1];
            at += 2;
        } else { // an absolute run of `code` pixels, its bytes padded to a 16-bit boundary
            const std::size_t dataBytes = std::size_t{code} * kValueBytes;
            const std::size_t paddedBytes = (dataBytes + 1) & ~std::size_t{1};
            if (streamBytes - at < dataBytes) {
                return;
            }
            for (unsigned i = 0; i < code && cursor.x < canvas.width; ++i) {
                cursor.Put(stream + at + i * kValueBytes, 0);
            }
            at += paddedBytes <= streamBytes - at ? paddedBytes : streamBytes - at;
        }
    }
}

} // namespace

void DecodeRunLengths(const BYTE* stream, std::size_t streamBytes, WORD bitCount,
                      const Canvas& canvas, StreamBlock owned) noexcept {
    if (bitCount == 8) {
        DecodeIndexRuns<8>(stream, streamBytes, canvas, owned);
    } else if (bitCount == 4) {
        DecodeIndexRuns<4>(stream, streamBytes, canvas, owned);
    } else {
        DecodeRuns24(stream, streamBytes, canvas);
    }
}

} // namespace orvel::formats::detail
