// The nearest of a cell's four candidates in one pass of SSE4.1, for processors that have it.
//
// The candidates' channels are widened to 16-bit lanes straight from the cell, the query's
// channels subtracted, the squares summed by pmaddwd (the index lanes multiplied by 0), keys of
// distance << 8 | index formed and the smallest of the four taken.
#pragma once

#if defined(__x86_64__)

#include "nearest_colour.h"

#include <immintrin.h>

namespace orvel::platform::detail {

/// Only for functions compiled for SSE4.1 (or a later set) themselves, into which it inlines.
__attribute__((target("sse4.1"))) inline UINT NearestOfCellSse41(const NearestCell& cell,
                                                                 COLORREF colour) noexcept {
    // red, green, blue and the colour's top byte as 16-bit lanes: red | green << 16 and
    // blue | top << 16 in 32-bit lanes. The top byte meets only the index lanes, which the blue
    // distances multiply by 0, so it takes no part.
    const __m128i query = _mm_cvtepu8_epi16(_mm_cvtsi32_si128(static_cast<int>(colour)));
    const __m128i redGreen = _mm_shuffle_epi32(query, _MM_SHUFFLE(0, 0, 0, 0));
    const __m128i blueZero = _mm_shuffle_epi32(query, _MM_SHUFFLE(1, 1, 1, 1));
    const __m128i candidateRedGreen =
        _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cell.redGreen)));
    const __m128i candidateBlueIndex =
        _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cell.blueIndex)));
    const __m128i redGreenDiff = _mm_sub_epi16(candidateRedGreen, redGreen);
    const __m128i blueDiffIndex = _mm_sub_epi16(candidateBlueIndex, blueZero);
    const __m128i blueDiff = _mm_blend_epi16(blueDiffIndex, _mm_setzero_si128(), 0xAA);
    const __m128i distances = _mm_add_epi32(_mm_madd_epi16(redGreenDiff, redGreenDiff),
                                            _mm_madd_epi16(blueDiffIndex, blueDiff));
    __m128i keys =
        _mm_or_si128(_mm_slli_epi32(distances, 8), _mm_srli_epi32(candidateBlueIndex, 16));
    keys = _mm_min_epu32(keys, _mm_shuffle_epi32(keys, _MM_SHUFFLE(1, 0, 3, 2)));
    keys = _mm_min_epu32(keys, _mm_shuffle_epi32(keys, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<UINT>(_mm_cvtsi128_si32(keys)) & 0xFFU;
}

} // namespace orvel::platform::detail

#endif
