#include "bmp_rows.h"

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
    const Canvas& canvas;
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
                row[x / 2] = static_cast<BYTE>(x % 2 == 0 ? (row[x / 2] & 0x0F) | index << 4
                                                          : (row[x / 2] & 0xF0) | index);
            } else if (bitCount == 8) {
                row[x] = static_cast<BYTE>(index);
            } else {
                std::memcpy(row + 3 * x, pixel, 3);
            }
        }
        ++x;
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
            std::memset(at, *pixels, put);
        } else {
            std::memcpy(at, pixels, put);
        }
        x += put;
    }
};

} // namespace

void DecodeRunLengths(const BYTE* stream, std::size_t streamBytes, WORD bitCount,
                      const Canvas& canvas) noexcept {
    RunCursor cursor{canvas, bitCount};
    // An encoded run's value: one byte (RLE4's two nibbles, RLE8's index) or, for RLE24, three.
    const std::size_t valueBytes = bitCount == 24 ? 3 : 1;
    std::size_t at = 0;
    while (cursor.Inside() && streamBytes - at >= 2) {
        const unsigned count = stream[at];
        if (count != 0) {
            if (streamBytes - at < 1 + valueBytes) {
                return;
            }
            const BYTE* value = stream + at + 1;
            at += 1 + valueBytes;
            if (bitCount == 8) {
                cursor.Put8(value, count, true);
                continue;
            }
            // RLE4 alternates the two nibbles of its byte, high one first.
            for (unsigned i = 0; i < count && cursor.x < canvas.width; ++i) {
                cursor.Put(value,
                           bitCount == 4 ? (i % 2 == 0 ? *value >> 4 : *value & 0x0F) : *value);
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
            const std::size_t dataBytes =
                bitCount == 4 ? (code + 1) / 2 : std::size_t{code} * valueBytes;
            const std::size_t paddedBytes = (dataBytes + 1) & ~std::size_t{1};
            if (streamBytes - at < dataBytes) {
                return;
            }
            const BYTE* data = stream + at;
            if (bitCount == 8) {
                cursor.Put8(data, code, false);
            } else {
                for (unsigned i = 0; i < code && cursor.x < canvas.width; ++i) {
                    const BYTE* pixel = data + i * valueBytes;
                    cursor.Put(pixel, bitCount == 4
                                          ? (i % 2 == 0 ? data[i / 2] >> 4 : data[i / 2] & 0x0F)
                                          : *pixel);
                }
            }
            at += paddedBytes <= streamBytes - at ? paddedBytes : streamBytes - at;
        }
    }
}

} // namespace orvel::formats::detail
