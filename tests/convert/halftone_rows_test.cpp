// The halftone mapping's eight-at-a-time rows, which conversion to 8-bit indexes runs where the
// processor has AVX2. The mapping is internal to the library; this suite compiles its own copy.
#include <orvel/convert/detail/fixed_palette_mapping.h>

#include "support/bmp_builder.h"

#include <gtest/gtest.h>

namespace {

// Two groups of near-grey pixels (mapped pixel by pixel) in buffers that go on past the row: every
// pixel gets the single-pixel answer, and nothing after the row's last index is written.
TEST(HalftoneRowsTest, GroupsMapLikeSinglePixelsAndStopAtTheRowEnd) {
    const std::vector<PALETTEENTRY> entries = orvel::test::HalftoneEntries();
    const orvel::convert::detail::HalftoneMapping mapping(entries.data(), 256);
    std::vector<BYTE> source(17 * 3);
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<BYTE>(i / 3 * 15 + i % 3 * 4);
    }
    std::vector<BYTE> target(17, 0xEE);
    const std::size_t done = mapping.MapEightAtATime(source.data(), 3, target.data(), 16);
#if defined(__x86_64__)
    EXPECT_EQ(done, __builtin_cpu_supports("avx2") ? 16U : 0U);
#endif
    for (std::size_t i = 0; i < done; ++i) {
        const BYTE* pixel = &source[3 * i];
        EXPECT_EQ(target[i], mapping.Index(pixel[2], pixel[1], pixel[0])) << i;
    }
    EXPECT_EQ(target[16], 0xEE) << "written past the row";
}

} // namespace
