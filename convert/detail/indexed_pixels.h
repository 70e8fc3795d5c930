// Reading and writing colour-table indexes packed 1, 4 or 8 bits per pixel, the leftmost pixel in
// the most significant bits of a byte.
//
// Indexed sources are consumed a whole byte at a time through tables made once per conversion:
// a source byte maps straight to its target bytes, or to its pixels' packed colours. Only an
// 8-bit source, or a direct-colour one, is read pixel by pixel.
#pragma once

#include "../../platform/win/palette_structs.h"
#include "../../platform/win/types.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

namespace orvel::convert::detail {

/// Colours a source of each indexed depth reads from its palette; none for a direct-colour one.
constexpr int kOneBitColours = 2;
constexpr int kFourBitColours = 16;
constexpr int kEightBitColours = 256;
constexpr int kDirectColour = 0;

/// Pixel positions of one row that a converter to an indexed format converts. It works in whole
/// groups (the pixels of one target byte, or of one source byte), so the last group of a row
/// reaches into the row padding when the width is not a multiple of the group. Those padding
/// positions are converted like the others as long as their source bytes lie within the source
/// stride and their target bits within the target stride; beyond either they are neither read
/// nor written, and keep the 0 of the work block.
inline std::size_t PositionsToConvert(LONG width, std::size_t groupPixels,
                                      std::size_t sourcePositions,
                                      std::size_t targetPositions) noexcept {
    if (width < 1) {
        return 0;
    }
    const std::size_t groups = (static_cast<std::size_t>(width) + groupPixels - 1) / groupPixels;
    return std::min({groups * groupPixels, sourcePositions, targetPositions});
}

/// Writes `count` indexes, taken from next() left to right, packed kTargetBits to the pixel. Each
/// index is cut to the target's width, never clamped: with a palette larger than the depth can
/// address, indexes wrap.
template <unsigned kTargetBits, class NextIndex>
void PackIndexes(BYTE* target, std::size_t count, NextIndex&& next) {
    static_assert(kTargetBits == 1 || kTargetBits == 4 || kTargetBits == 8);
    if constexpr (kTargetBits == 8) {
        for (std::size_t i = 0; i < count; ++i) {
            target[i] = static_cast<BYTE>(next());
        }
    } else if constexpr (kTargetBits == 4) {
        for (; count >= 2; count -= 2) {
            const unsigned high = next() & 0x0FU;
            const unsigned low = next() & 0x0FU;
            *target++ = static_cast<BYTE>((high << 4U) | low);
        }
        if (count != 0) {
            *target = static_cast<BYTE>((next() & 0x0FU) << 4U);
        }
    } else {
        for (; count >= 8; count -= 8) {
            unsigned bits = 0;
            for (int k = 0; k < 8; ++k) {
                bits = (bits << 1U) | (next() & 1U);
            }
            *target++ = static_cast<BYTE>(bits);
        }
        if (count != 0) {
            unsigned bits = 0;
            for (std::size_t k = 0; k < count; ++k) {
                bits = (bits << 1U) | (next() & 1U);
            }
            *target = static_cast<BYTE>(bits << (8U - count));
        }
    }
}

/// Maps every possible byte of a 1- or 4-bit source to the whole target bytes its pixels become,
/// through the palette index table. Made once per conversion (256 entries), it turns a row into
/// one table lookup and one small copy per source byte.
template <unsigned kSourceBits, unsigned kTargetBits>
class ByteExpansion {
public:
    static constexpr unsigned kPixelsPerByte = 8 / kSourceBits;
    static constexpr std::size_t kTargetBytes = kPixelsPerByte * kTargetBits / 8;
    static_assert(kSourceBits == 1 || kSourceBits == 4);
    static_assert(kTargetBytes >= 1, "each source byte must fill whole target bytes");

    explicit ByteExpansion(const BYTE* indexTable) noexcept {
        constexpr unsigned kSourceMask = (1U << kSourceBits) - 1;
        constexpr unsigned kTargetMask = (1U << kTargetBits) - 1;
        for (unsigned value = 0; value < 256; ++value) {
            BYTE* out = targetBytes_[value];
            std::memset(out, 0, kTargetBytes);
            for (unsigned pixel = 0; pixel < kPixelsPerByte; ++pixel) {
                const unsigned sourceIndex =
                    (value >> (8 - kSourceBits * (pixel + 1))) & kSourceMask;
                const unsigned index = indexTable[sourceIndex] & kTargetMask;
                const unsigned bit = pixel * kTargetBits;
                out[bit / 8] |= static_cast<BYTE>(index << (8 - kTargetBits - bit % 8));
            }
        }
    }

    /// Converts the `sourceBytes` bytes that hold a row's pixels (padding bits of the last byte
    /// included). The last source byte may expand beyond the target stride; only the bytes within
    /// it are written.
    void Row(const BYTE* source, BYTE* target, std::size_t sourceBytes,
             std::size_t targetStride) const noexcept {
        const std::size_t whole = std::min(sourceBytes, targetStride / kTargetBytes);
        for (std::size_t i = 0; i < whole; ++i) {
            std::memcpy(target, targetBytes_[source[i]], kTargetBytes);
            target += kTargetBytes;
        }
        if (whole < sourceBytes) {
            std::memcpy(target, targetBytes_[source[whole]], targetStride - whole * kTargetBytes);
        }
    }

private:
    BYTE targetBytes_[256][kTargetBytes];
};

/// Maps a 4-bit source to 1-bit targets: a source byte's two pixels become two bits, and four
/// source bytes make one target byte (the first pixel in bit 7).
class NibblesToBits {
public:
    explicit NibblesToBits(const BYTE* indexTable) noexcept {
        for (unsigned value = 0; value < 256; ++value) {
            bits_[value] = static_cast<BYTE>(((indexTable[value >> 4U] & 1U) << 1U) |
                                             (indexTable[value & 0x0FU] & 1U));
        }
    }

    /// Writes `targetBytes` target bytes from 4 x `targetBytes` source bytes.
    void Row(const BYTE* source, BYTE* target, std::size_t targetBytes) const noexcept {
        for (std::size_t i = 0; i < targetBytes; ++i) {
            *target++ = static_cast<BYTE>((bits_[source[0]] << 6U) | (bits_[source[1]] << 4U) |
                                          (bits_[source[2]] << 2U) | bits_[source[3]]);
            source += 4;
        }
    }

private:
    BYTE bits_[256];
};

/// The colour of each palette entry already packed as the direct-colour target stores it, so that
/// an indexed pixel costs one lookup and one store.
template <class Target>
class PackedPalette {
public:
    /// `entries` holds `count` entries (at most 256); further indexes give black.
    PackedPalette(const PALETTEENTRY* entries, std::size_t count) noexcept {
        for (std::size_t i = 0; i < 256; ++i) {
            const PALETTEENTRY entry = i < count ? entries[i] : PALETTEENTRY{0, 0, 0, 0};
            packed_[i] = Target::Pack(static_cast<std::uint32_t>(entry.peBlue) |
                                      (static_cast<std::uint32_t>(entry.peGreen) << 8U) |
                                      (static_cast<std::uint32_t>(entry.peRed) << 16U));
        }
    }

    typename Target::Packed operator[](unsigned index) const noexcept { return packed_[index]; }

    /// `width` pixels of a 1-bit row: each source byte's eight pixels in one unrolled step, bit 7
    /// first; the padding bits of a last partial byte produce nothing.
    void Row1(const BYTE* source, BYTE* target, LONG width) const noexcept {
        for (LONG whole = width / 8; whole > 0; --whole) {
            const unsigned bits = *source++;
            StoreFirstSeven(bits, target, std::make_index_sequence<7>{});
            Target::Store(target + 7 * Target::kBytes, packed_[bits & 1U]);
            target += 8 * Target::kBytes;
        }
        const unsigned bits = width % 8 != 0 ? *source : 0U;
        for (LONG k = 0; k < width % 8; ++k) {
            Target::Store(target, packed_[(bits >> (7 - k)) & 1U]);
            target += Target::kBytes;
        }
    }

    /// `width` pixels of a 4-bit row: high nibble, then low nibble; the low nibble of the last
    /// byte of an odd width is padding.
    void Row4(const BYTE* source, BYTE* target, LONG width) const noexcept {
        for (LONG pairs = width / 2; pairs > 0; --pairs) {
            const unsigned value = *source++;
            Target::StoreBeforeNext(target, packed_[value >> 4U]);
            Target::Store(target + Target::kBytes, packed_[value & 0x0FU]);
            target += 2 * Target::kBytes;
        }
        if (width % 2 != 0) {
            Target::Store(target, packed_[*source >> 4U]);
        }
    }

    /// `width` pixels of an 8-bit row.
    void Row8(const BYTE* source, BYTE* target, LONG width) const noexcept {
        if (width < 1) {
            return;
        }
        for (LONG x = 1; x < width; ++x) {
            Target::StoreBeforeNext(target, packed_[*source++]);
            target += Target::kBytes;
        }
        Target::Store(target, packed_[*source]);
    }

private:
    // The first seven pixels of a source byte: each is followed by another of the same byte.
    template <std::size_t... kBit>
    void StoreFirstSeven(unsigned bits, BYTE* target, std::index_sequence<kBit...>) const noexcept {
        (Target::StoreBeforeNext(target + kBit * Target::kBytes,
                                 packed_[(bits >> (7 - kBit)) & 1U]),
         ...);
    }

    typename Target::Packed packed_[256];
};

} // namespace orvel::convert::detail
