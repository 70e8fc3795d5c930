#include <orvel/orvel.h>

#include "platform/drawing_helpers.h"
#include "platform/last_error.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <thread>
#include <vector>

namespace {

using namespace orvel::test;
using PaletteTest = LeakCheckedTest;

std::vector<PALETTEENTRY> EntriesOf(HPALETTE palette) {
    std::vector<PALETTEENTRY> entries(GetPaletteEntries(palette, 0, 0, nullptr));
    GetPaletteEntries(palette, 0, static_cast<UINT>(entries.size()), entries.data());
    return entries;
}

// The reference the accelerated search must equal: every entry, in index order, strict compare.
UINT ScanNearest(const std::vector<PALETTEENTRY>& entries, int red, int green, int blue) {
    int best = INT32_MAX;
    UINT bestIndex = 0;
    for (UINT i = 0; i < entries.size(); ++i) {
        const int dr = entries[i].peRed - red;
        const int dg = entries[i].peGreen - green;
        const int db = entries[i].peBlue - blue;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < best) {
            best = distance;
            bestIndex = i;
        }
    }
    return bestIndex;
}

TEST_F(PaletteTest, EntriesComeBackInOrderAndCountIsReported) {
    std::vector<PALETTEENTRY> entries;
    for (int i = 0; i < 16; ++i) {
        entries.push_back({static_cast<BYTE>(i * 10), static_cast<BYTE>(255 - i), 7, 0});
    }
    HPALETTE palette = MakePalette(entries);
    ASSERT_NE(palette, nullptr);

    WORD count = 0;
    EXPECT_EQ(GetObjectA(palette, sizeof count, &count), 2);
    EXPECT_EQ(count, 16);
    EXPECT_EQ(GetObjectA(palette, 0, nullptr), 2);
    EXPECT_EQ(GetObjectType(palette), OBJ_PAL);

    const std::vector<PALETTEENTRY> back = EntriesOf(palette);
    ASSERT_EQ(back.size(), 16U);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(back[i].peRed, entries[i].peRed);
        EXPECT_EQ(back[i].peGreen, entries[i].peGreen);
    }
    PALETTEENTRY tail[8]{};
    EXPECT_EQ(GetPaletteEntries(palette, 12, 8, tail), 4U);
    EXPECT_EQ(tail[0].peRed, 120);
    EXPECT_EQ(GetPaletteEntries(palette, 16, 1, tail), 0U);
    EXPECT_TRUE(DeleteObject(palette));
    EXPECT_REFUSED(DeleteObject(palette), FALSE, ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetPaletteEntries(palette, 0, 0, nullptr), 0U) << "a deleted palette has none";
}

TEST_F(PaletteTest, CreatePaletteRefusesMalformedRecords) {
    LOGPALETTE bad{0x0200, 1, {{0, 0, 0, 0}}};
    EXPECT_REFUSED(CreatePalette(&bad), nullptr, ERROR_INVALID_PARAMETER);
    LOGPALETTE empty{PALETTE_VERSION, 0, {{0, 0, 0, 0}}};
    EXPECT_EQ(CreatePalette(&empty), nullptr);
    EXPECT_EQ(CreatePalette(nullptr), nullptr);

    orvel::testing::InjectFault(orvel::testing::kFaultCreatePalette, 1);
    LOGPALETTE good{PALETTE_VERSION, 1, {{0, 0, 0, 0}}};
    EXPECT_REFUSED(CreatePalette(&good), nullptr, ERROR_NOT_ENOUGH_MEMORY);
}

TEST_F(PaletteTest, HalftonePaletteHoldsTheDocumentedColours) {
    const std::vector<PALETTEENTRY> entries = orvel::test::HalftoneEntries();
    ASSERT_EQ(entries.size(), 256U);
    std::set<std::uint32_t> distinct;
    for (const PALETTEENTRY& e : entries) {
        distinct.insert(e.peRed | (e.peGreen << 8) | (e.peBlue << 16));
        EXPECT_EQ(e.peFlags, 0);
    }
    EXPECT_EQ(distinct.size(), 256U);
    auto at = [&](UINT i) { return RGB(entries[i].peRed, entries[i].peGreen, entries[i].peBlue); };
    EXPECT_EQ(at(0), RGB(0, 0, 0));
    EXPECT_EQ(at(215), RGB(255, 255, 255));
    EXPECT_EQ(at(5 * 36), RGB(255, 0, 0));
    EXPECT_EQ(at(5 * 6), RGB(0, 255, 0));
    EXPECT_EQ(at(5), RGB(0, 0, 255));
    EXPECT_EQ(at(5 * 36 + 5 * 6), RGB(255, 255, 0));
    EXPECT_EQ(at(216), RGB(6, 6, 6));
    EXPECT_EQ(at(255), RGB(249, 249, 249));
    for (UINT i = 217; i < 256; ++i) {
        EXPECT_GT(entries[i].peRed, entries[i - 1].peRed);
    }
    EXPECT_EQ(CreateHalftonePalette(nullptr), nullptr);
}

// Ties and repeated entries are the exhaustive comparisons' below; here what they cannot see.
TEST_F(PaletteTest, NearestIndexIgnoresTheTopByteAndADeletedPaletteHasNone) {
    HPALETTE palette = MakePalette({{10, 20, 30, 0}, {200, 0, 0, 0}});
    EXPECT_EQ(GetNearestPaletteIndex(palette, RGB(200, 0, 0) | 0x02000000), 1U);
    DeleteObject(palette);
    EXPECT_REFUSED(GetNearestPaletteIndex(palette, 0), CLR_INVALID, ERROR_INVALID_HANDLE);
}

// Every one of the 2^24 colours, split over two threads: the accelerated search must equal the
// plain scan everywhere, including the cell borders and the ties it prunes.
void ExpectExhaustiveMatch(const std::vector<PALETTEENTRY>& entries) {
    HPALETTE palette = MakePalette(entries);
    ASSERT_NE(palette, nullptr);
    std::atomic<long> mismatches{0};
    std::atomic<std::uint32_t> firstMismatch{0};
    auto check = [&](int redBegin, int redEnd) {
        for (int red = redBegin; red < redEnd; ++red) {
            for (int green = 0; green < 256; ++green) {
                for (int blue = 0; blue < 256; ++blue) {
                    const UINT expected = ScanNearest(entries, red, green, blue);
                    const UINT actual = GetNearestPaletteIndex(
                        palette, RGB(static_cast<BYTE>(red), static_cast<BYTE>(green),
                                     static_cast<BYTE>(blue)));
                    if (actual != expected && mismatches.fetch_add(1) == 0) {
                        firstMismatch = RGB(red, green, blue);
                    }
                }
            }
        }
    };
    std::thread low(check, 0, 128);
    check(128, 256);
    low.join();
    EXPECT_EQ(mismatches.load(), 0) << "first at colour 0x" << std::hex << firstMismatch.load();
    DeleteObject(palette);
}

// The halftone palette, the sixteen colours, and a random palette with duplicates and clustered
// near-ties, which exercise the pruning hardest.
TEST_F(PaletteTest, NearestSearchEqualsThePlainScanOnEveryColourOfLargePalettes) {
    ExpectExhaustiveMatch(orvel::test::HalftoneEntries());
    ExpectExhaustiveMatch(
        std::vector<PALETTEENTRY>(kSixteenColourPalette, kSixteenColourPalette + 16));
    std::mt19937 random(20261205);
    std::vector<PALETTEENTRY> entries(256);
    for (PALETTEENTRY& e : entries) {
        e = {static_cast<BYTE>(random()), static_cast<BYTE>(random()), static_cast<BYTE>(random()),
             0};
    }
    entries[200] = entries[3];
    for (int i = 0; i < 16; ++i) {
        entries[240 + i] = {static_cast<BYTE>(120 + (i & 1)), static_cast<BYTE>(64 + (i >> 1 & 1)),
                            static_cast<BYTE>(32 + (i >> 2)), 0};
    }
    ExpectExhaustiveMatch(entries);
}

// Palettes of at most four distinct colours give every cell the same candidates, made with the
// palette; five distinct colours are the fewest whose cells are built from the geometry. Repeated
// colours must never win over the first entry of their colour.
class SmallPaletteTest : public LeakCheckedTest,
                         public ::testing::WithParamInterface<std::vector<PALETTEENTRY>> {};

TEST_P(SmallPaletteTest, NearestSearchEqualsThePlainScanOnEveryColour) {
    ExpectExhaustiveMatch(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    OneToFiveColours, SmallPaletteTest,
    ::testing::Values(
        std::vector<PALETTEENTRY>{{7, 200, 90, 0}},
        std::vector<PALETTEENTRY>{{0, 0, 0, 0}, {255, 255, 255, 0}},
        std::vector<PALETTEENTRY>{{255, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}},
        std::vector<PALETTEENTRY>{
            {10, 20, 30, 0}, {200, 100, 50, 0}, {10, 20, 31, 0}, {128, 128, 128, 0}},
        std::vector<PALETTEENTRY>{
            {0, 0, 0, 0}, {255, 255, 255, 0}, {0, 0, 0, 0}, {128, 128, 128, 0}, {255, 0, 0, 0}},
        std::vector<PALETTEENTRY>{
            {0, 0, 0, 0}, {255, 255, 255, 0}, {128, 128, 128, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}}));

TEST_F(PaletteTest, PaletteSelectedIntoAContextCannotBeDeleted) {
    HPALETTE palette = MakePalette({PALETTEENTRY{1, 2, 3, 0}});
    HDC dc = CreateCompatibleDC(nullptr);
    HPALETTE previous = SelectPalette(dc, palette, FALSE);
    EXPECT_EQ(previous, GetStockObject(DEFAULT_PALETTE));
    EXPECT_FALSE(DeleteObject(palette));
    EXPECT_EQ(SelectPalette(dc, previous, TRUE), palette);
    EXPECT_TRUE(DeleteObject(palette));
    // Stock objects survive deletion.
    EXPECT_TRUE(DeleteObject(GetStockObject(DEFAULT_PALETTE)));
    EXPECT_EQ(GetObjectType(GetStockObject(DEFAULT_PALETTE)), OBJ_PAL);
    DeleteDC(dc);
}

TEST_F(PaletteTest, FrameworkPalettesOwnTheirHandlesAndContextsTheirSelections) {
    HPALETTE handle = nullptr;
    LOGPALETTE record{PALETTE_VERSION, 1, {{9, 8, 7, 0}}};
    {
        CPalette palette;
        EXPECT_FALSE(palette.Attach(nullptr));
        ASSERT_TRUE(palette.CreatePalette(&record));
        handle = palette;
        EXPECT_EQ(palette.GetEntryCount(), 1);
        EXPECT_EQ(palette.GetNearestPaletteIndex(RGB(0, 0, 0)), 0U);
        // A second handle is refused rather than leaking the first.
        EXPECT_FALSE(palette.CreatePalette(&record));
    }
    EXPECT_EQ(GetObjectType(handle), 0U);

    // Selected through a CDC, the caller's object comes back, or a temporary for the stock one.
    CPalette first;
    CPalette second;
    first.CreatePalette(&record);
    second.CreatePalette(&record);
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    CPalette* stock = dc.SelectPalette(&first, FALSE);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(static_cast<HPALETTE>(*stock), GetStockObject(DEFAULT_PALETTE));
    EXPECT_EQ(dc.SelectPalette(&second, FALSE), &first);
    EXPECT_EQ(dc.SelectPalette(stock, TRUE), &second);
    EXPECT_EQ(dc.RealizePalette(), 0U);
    // A window context of no window is the screen's, released with its object (the program's
    // count check sees one left behind).
    CWindowDC screen(nullptr);
    EXPECT_EQ(GetObjectType(screen.m_hDC), OBJ_DC);
}

} // namespace
