// Reading and writing direct-colour pixels: 16 bits (5-5-5), 24 bits (blue, green, red) and
// 32 bits (blue, green, red and a fourth byte).
//
// Between a reader and a writer a colour travels as one 32-bit value laid out like a 24-bit
// pixel in memory: blue in bits 0 to 7, green 8 to 15, red 16 to 23, bits 24 to 31 zero. The
// nearest-colour search wants the platform's colour value instead (red in the low byte), which
// each reader also gives.
#pragma once

#include "../../platform/win/types.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace orvel::convert::detail {

static_assert(std::endian::native == std::endian::little,
              "pixels are moved as little-endian words, as the DIB format stores them");

/// blue | green << 8 | red << 16.
constexpr std::uint32_t PackBgr(BYTE red, BYTE green, BYTE blue) noexcept {
    return static_cast<std::uint32_t>(blue) | (static_cast<std::uint32_t>(green) << 8U) |
           (static_cast<std::uint32_t>(red) << 16U);
}

/// A 5-bit field widened to a channel: the field in the top five bits, the low three bits 0.
constexpr std::uint32_t WidenField(std::uint32_t word, unsigned shift) noexcept {
    return ((word >> shift) & 0x1FU) << 3U;
}

/// 16 bits per pixel, always 5-5-5: blue in bits 0 to 4, green 5 to 9, red 10 to 14. Bit 15 is
/// ignored on reading and 0 on writing; the format's colour masks are never consulted.
struct Pixel16 {
    static constexpr std::size_t kBytes = 2;
    using Packed = std::uint32_t;

    static std::uint32_t Word(const BYTE* pixel) noexcept {
        return static_cast<std::uint32_t>(pixel[0]) | (static_cast<std::uint32_t>(pixel[1]) << 8U);
    }
    static std::uint32_t Bgr(const BYTE* pixel) noexcept {
        const std::uint32_t word = Word(pixel);
        return WidenField(word, 0) | (WidenField(word, 5) << 8U) | (WidenField(word, 10) << 16U);
    }
    static COLORREF ColourRef(const BYTE* pixel) noexcept {
        const std::uint32_t word = Word(pixel);
        return WidenField(word, 10) | (WidenField(word, 5) << 8U) | (WidenField(word, 0) << 16U);
    }
    /// Each channel keeps its top five bits; nothing is rounded.
    static constexpr Packed Pack(std::uint32_t bgr) noexcept {
        return ((bgr >> 19U) & 0x1FU) << 10U | ((bgr >> 11U) & 0x1FU) << 5U | ((bgr >> 3U) & 0x1FU);
    }
    static void Store(BYTE* pixel, Packed word) noexcept {
        pixel[0] = static_cast<BYTE>(word);
        pixel[1] = static_cast<BYTE>(word >> 8U);
    }
    static std::uint32_t BgrBeforeNext(const BYTE* pixel) noexcept { return Bgr(pixel); }
    static void StoreBeforeNext(BYTE* pixel, Packed word) noexcept { Store(pixel, word); }
};

/// 24 bits per pixel: blue, green, red.
struct Pixel24 {
    static constexpr std::size_t kBytes = 3;
    using Packed = std::uint32_t;

    static std::uint32_t Bgr(const BYTE* pixel) noexcept {
        return PackBgr(pixel[2], pixel[1], pixel[0]);
    }
    static COLORREF ColourRef(const BYTE* pixel) noexcept {
        return RGB(pixel[2], pixel[1], pixel[0]);
    }
    static constexpr Packed Pack(std::uint32_t bgr) noexcept { return bgr; }
    static void Store(BYTE* pixel, Packed bgr) noexcept { std::memcpy(pixel, &bgr, kBytes); }

    // A pixel that another pixel of the same row follows is moved as one 32-bit word: the extra
    // byte read is the next pixel's first byte, and the extra byte written (0) is overwritten
    // when the next pixel is stored. Neither reaches the row's padding.
    static std::uint32_t BgrBeforeNext(const BYTE* pixel) noexcept {
        std::uint32_t value = 0;
        std::memcpy(&value, pixel, sizeof value);
        return value & 0x00FFFFFFU;
    }
    static void StoreBeforeNext(BYTE* pixel, Packed bgr) noexcept {
        std::memcpy(pixel, &bgr, sizeof bgr);
    }
};

/// 32 bits per pixel: blue, green, red and a fourth byte that carries nothing. It is ignored on
/// reading and left 0 on writing.
struct Pixel32 {
    static constexpr std::size_t kBytes = 4;
    using Packed = std::uint32_t;

    static std::uint32_t Bgr(const BYTE* pixel) noexcept {
        std::uint32_t value = 0;
        std::memcpy(&value, pixel, kBytes);
        return value & 0x00FFFFFFU;
    }
    static COLORREF ColourRef(const BYTE* pixel) noexcept {
        return RGB(pixel[2], pixel[1], pixel[0]);
    }
    static constexpr Packed Pack(std::uint32_t bgr) noexcept { return bgr; }
    /// Writes the fourth byte as the 0 the work block already holds there.
    static void Store(BYTE* pixel, Packed bgr) noexcept { std::memcpy(pixel, &bgr, kBytes); }
    static std::uint32_t BgrBeforeNext(const BYTE* pixel) noexcept { return Bgr(pixel); }
    static void StoreBeforeNext(BYTE* pixel, Packed bgr) noexcept { Store(pixel, bgr); }
};

/// Repacks `width` pixels of one direct-colour format into another.
template <class Source, class Target>
void RepackRow(const BYTE* source, BYTE* target, LONG width) noexcept {
    if (width < 1) {
        return;
    }
    for (LONG x = 1; x < width; ++x) {
        Target::StoreBeforeNext(target, Target::Pack(Source::BgrBeforeNext(source)));
        source += Source::kBytes;
        target += Target::kBytes;
    }
    Target::Store(target, Target::Pack(Source::Bgr(source)));
}

} // namespace orvel::convert::detail
