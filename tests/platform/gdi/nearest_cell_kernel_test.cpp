// The kernels that pick the nearest of a cell's four candidates: the portable one and the SSE4.1
// one (which GetNearestPaletteIndex also runs in its AVX encoding). GetNearestPaletteIndex runs
// only the one this processor chooses, so each is held here to the same reference: the smallest
// squared distance, the lowest index among equally near candidates, the colour's top byte
// ignored.
#include <orvel/platform/gdi/detail/nearest_colour.h>
#include <orvel/platform/gdi/detail/nearest_colour_sse41.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using orvel::platform::detail::NearestCell;

struct Candidate {
    BYTE red;
    BYTE green;
    BYTE blue;
    BYTE index;
};

// A cell as the search lays it out; the candidates' indexes must not decrease.
NearestCell MakeCell(const std::array<Candidate, 4>& candidates) {
    NearestCell cell{};
    for (std::size_t slot = 0; slot < 4; ++slot) {
        cell.redGreen[2 * slot] = candidates[slot].red;
        cell.redGreen[2 * slot + 1] = candidates[slot].green;
        cell.blueIndex[2 * slot] = candidates[slot].blue;
        cell.blueIndex[2 * slot + 1] = candidates[slot].index;
    }
    return cell;
}

UINT Reference(const std::array<Candidate, 4>& candidates, COLORREF colour) {
    long best = -1;
    UINT bestIndex = 0;
    for (const Candidate& c : candidates) {
        const long dr = c.red - static_cast<long>(GetRValue(colour));
        const long dg = c.green - static_cast<long>(GetGValue(colour));
        const long db = c.blue - static_cast<long>(GetBValue(colour));
        const long distance = dr * dr + dg * dg + db * db;
        if (best < 0 || distance < best || (distance == best && c.index < bestIndex)) {
            best = distance;
            bestIndex = c.index;
        }
    }
    return bestIndex;
}

enum class Kernel { Portable, Sse41 };

#if defined(__x86_64__)
__attribute__((target("sse4.1"))) UINT RunSse41(const NearestCell& cell, COLORREF colour) {
    return orvel::platform::detail::NearestOfCellSse41(cell, colour);
}
#endif

class NearestCellKernelTest : public ::testing::TestWithParam<Kernel> {
protected:
    void SetUp() override {
        if (GetParam() == Kernel::Sse41) {
#if defined(__x86_64__)
            __builtin_cpu_init();
            if (__builtin_cpu_supports("sse4.1") == 0) {
                GTEST_SKIP() << "this processor has no SSE4.1";
            }
#else
            GTEST_SKIP() << "SSE4.1 is an x86-64 kernel";
#endif
        }
    }

    UINT Run(const NearestCell& cell, COLORREF colour) const {
#if defined(__x86_64__)
        if (GetParam() == Kernel::Sse41) {
            return RunSse41(cell, colour);
        }
#endif
        return orvel::platform::detail::NearestOfCellPortable(cell, colour);
    }
};

TEST_P(NearestCellKernelTest, RandomCellsAndColoursMatchTheReference) {
    std::mt19937 random(4242);
    long mismatches = 0;
    for (int round = 0; round < 200000; ++round) {
        std::array<BYTE, 4> indexes{};
        for (BYTE& index : indexes) {
            index = static_cast<BYTE>(random());
        }
        std::sort(indexes.begin(), indexes.end());
        std::array<Candidate, 4> candidates{};
        for (std::size_t slot = 0; slot < 4; ++slot) {
            candidates[slot] = {static_cast<BYTE>(random()), static_cast<BYTE>(random()),
                                static_cast<BYTE>(random()), indexes[slot]};
        }
        const auto colour = static_cast<COLORREF>(random()); // top byte included
        if (Run(MakeCell(candidates), colour) != Reference(candidates, colour)) {
            ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST_P(NearestCellKernelTest, EquallyNearGiveTheLowestIndexAndTheFarthestDoNotOverflow) {
    // 100 is as far from 90 as from 110, in every channel; the slot order follows the indexes.
    const std::array<Candidate, 4> candidates = {
        {{110, 110, 110, 3}, {90, 90, 90, 7}, {110, 110, 110, 9}, {0, 0, 0, 200}}};
    EXPECT_EQ(Run(MakeCell(candidates), RGB(100, 100, 100)), 3U);
    // A shorter list repeats its last candidate.
    const std::array<Candidate, 4> repeated = {
        {{10, 0, 0, 1}, {0, 10, 0, 2}, {0, 10, 0, 2}, {0, 10, 0, 2}}};
    EXPECT_EQ(Run(MakeCell(repeated), RGB(5, 5, 0)), 1U);
    EXPECT_EQ(Run(MakeCell(repeated), RGB(4, 6, 0)), 2U);

    // The largest distance, 3 x 255^2, must still order correctly against a slightly smaller one,
    // and the top byte must not overflow the keys.
    const std::array<Candidate, 4> far = {
        {{255, 255, 255, 0}, {255, 255, 254, 1}, {255, 254, 254, 2}, {254, 254, 254, 255}}};
    const NearestCell cell = MakeCell(far);
    EXPECT_EQ(Run(cell, RGB(0, 0, 0)), 255U);
    EXPECT_EQ(Run(cell, RGB(0, 0, 0) | 0xFF000000U), 255U);
    EXPECT_EQ(Run(cell, RGB(255, 255, 255) | 0x01000000U), 0U);
    EXPECT_EQ(Run(cell, RGB(255, 0, 0) | 0x80000000U), Reference(far, RGB(255, 0, 0)));
}

INSTANTIATE_TEST_SUITE_P(Kernels, NearestCellKernelTest,
                         ::testing::Values(Kernel::Portable, Kernel::Sse41),
                         [](const ::testing::TestParamInfo<Kernel>& kernel) {
                             return std::string(kernel.param == Kernel::Portable ? "Portable"
                                                                                 : "Sse41");
                         });

} // namespace
