// The halftone mapping eight pixels at a time, for processors with AVX2.
//
// The nearest cube entry is computed lane by lane: each channel's level is (v + 25) / 51, taken as
// a multiplication by 1286 / 65536, which equals the division for every v of 0 to 255. A grey q is
// never nearer than ((r-g)^2 + (g-b)^2 + (b-r)^2) / 3, the colour's squared distance to the grey
// diagonal, so where the cube entry is strictly nearer than that in all eight lanes it is the
// answer in all eight. Otherwise — a group with a colour near grey — the group is mapped pixel by
// pixel. Either way the answers are those of HalftoneMapping::Index.
#include "fixed_palette_mapping.h"

#include <cstring>

#if defined(__x86_64__)
#include "../../platform/detail/cpu_features.h"

#include <immintrin.h>
#endif

namespace orvel::convert::detail {

#if defined(__x86_64__)
namespace {
const bool kHasAvx2 = orvel::platform::detail::CpuHasAvx2();
} // namespace

std::size_t HalftoneMapping::MapEightAtATime(const BYTE* source, std::size_t pixelBytes,
                                             BYTE* target, std::size_t count) const noexcept {
    return kHasAvx2 ? MapEightAtATimeAvx2(source, pixelBytes, target, count) : 0;
}

// The whole function and its small helpers, lambdas included, are compiled for AVX2.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
std::size_t HalftoneMapping::MapEightAtATimeAvx2(const BYTE* source, std::size_t pixelBytes,
                                                 BYTE* target, std::size_t count) const noexcept {
    // Eight 3-byte pixels arrive as bytes 0 to 15 and 8 to 23 of the group, one in each half;
    // each half's four pixels are spread to blue | green << 8 | red << 16 in their lanes.
    const __m256i spread24 =
        _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 4, 5, 6, -1, 7, 8, 9,
                         -1, 10, 11, 12, -1, 13, 14, 15, -1);
    const __m256i channel = _mm256_set1_epi32(0xFF);
    const __m256i half = _mm256_set1_epi32(25);
    const __m256i reciprocal = _mm256_set1_epi32(1286);
    const __m256i step = _mm256_set1_epi32(51);
    const __m256i redWeight = _mm256_set1_epi32(36);
    const __m256i greenWeight = _mm256_set1_epi32(6);
    const __m256i three = _mm256_set1_epi32(3);
    // The low byte of each lane, gathered into the first four bytes of each 128-bit half.
    const __m256i lowBytes =
        _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4, 8, 12,
                         -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const std::size_t groupBytes = 8 * pixelBytes;
    std::size_t done = 0;
    for (; done + 8 <= count; done += 8, source += groupBytes, target += 8) {
        __m256i pixels;
        if (pixelBytes == 3) {
            const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
            const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 8));
            pixels = _mm256_shuffle_epi8(_mm256_set_m128i(last, first), spread24);
        } else {
            pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
        }
        const __m256i blue = _mm256_and_si256(pixels, channel);
        const __m256i green = _mm256_and_si256(_mm256_srli_epi32(pixels, 8), channel);
        const __m256i red = _mm256_and_si256(_mm256_srli_epi32(pixels, 16), channel);
        const auto level = [&](__m256i value) {
            return _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_add_epi32(value, half), reciprocal),
                                     16);
        };
        const auto squaredGap = [&](__m256i value, __m256i valueLevel) {
            const __m256i gap = _mm256_sub_epi32(value, _mm256_mullo_epi32(valueLevel, step));
            return _mm256_mullo_epi32(gap, gap);
        };
        const __m256i redLevel = level(red);
        const __m256i greenLevel = level(green);
        const __m256i blueLevel = level(blue);
        const __m256i cubeDistance = _mm256_add_epi32(
            _mm256_add_epi32(squaredGap(red, redLevel), squaredGap(green, greenLevel)),
            squaredGap(blue, blueLevel));
        const auto square = [&](__m256i value) { return _mm256_mullo_epi32(value, value); };
        const __m256i offDiagonal =
            _mm256_add_epi32(_mm256_add_epi32(square(_mm256_sub_epi32(red, green)),
                                              square(_mm256_sub_epi32(green, blue))),
                             square(_mm256_sub_epi32(blue, red)));
        const __m256i cubeNearer =
            _mm256_cmpgt_epi32(offDiagonal, _mm256_mullo_epi32(cubeDistance, three));
        if (_mm256_movemask_epi8(cubeNearer) != -1) {
            for (std::size_t i = 0; i < 8; ++i) {
                const BYTE* pixel = source + i * pixelBytes;
                target[i] = static_cast<BYTE>(Index(pixel[2], pixel[1], pixel[0]));
            }
            continue;
        }
        const __m256i cubeIndex =
            _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(redLevel, redWeight),
                                              _mm256_mullo_epi32(greenLevel, greenWeight)),
                             blueLevel);
        const __m256i indexes = _mm256_shuffle_epi8(cubeIndex, lowBytes);
        const auto low = static_cast<std::uint32_t>(_mm256_extract_epi32(indexes, 0));
        const auto high = static_cast<std::uint32_t>(_mm256_extract_epi32(indexes, 4));
        const std::uint64_t eight = low | (std::uint64_t{high} << 32U);
        std::memcpy(target, &eight, sizeof eight);
    }
    return done;
}
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#else
std::size_t HalftoneMapping::MapEightAtATime(const BYTE*, std::size_t, BYTE*,
                                             std::size_t) const noexcept {
    return 0;
}
#endif

} // namespace orvel::convert::detail
