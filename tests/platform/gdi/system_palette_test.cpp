// The system palette: static colours at both ends, foreground realisation taking free entries,
// background and memory-context realisation changing nothing.
#include <orvel/orvel.h>

#include "platform/drawing_helpers.h"
#include "platform/last_error.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using orvel::test::PaletteOfColours;

class SystemPaletteTest : public orvel::test::LeakCheckedTest {
protected:
    void SetUp() override {
        orvel::testing::ResetSystemPalette();
        screen_ = GetDC(nullptr);
    }
    void TearDown() override {
        ReleaseDC(nullptr, screen_);
        orvel::testing::ResetSystemPalette();
        LeakCheckedTest::TearDown();
    }

    std::vector<COLORREF> System() const { return orvel::test::SystemColours(screen_); }

    static bool Holds(const std::vector<COLORREF>& colours, COLORREF colour) {
        return std::find(colours.begin(), colours.end(), colour) != colours.end();
    }

    // Realises `palette` in `dc` selected with `forceBackground`, and selects the previous back.
    static UINT Realise(HDC dc, HPALETTE palette, BOOL forceBackground) {
        HPALETTE previous = SelectPalette(dc, palette, forceBackground);
        const UINT changed = RealizePalette(dc);
        SelectPalette(dc, previous, TRUE);
        return changed;
    }

    // Sixteen colours none of which is static.
    static std::vector<COLORREF> Colours(BYTE seed) {
        std::vector<COLORREF> colours;
        for (BYTE i = 0; i < 16; ++i) {
            colours.push_back(RGB(seed, static_cast<BYTE>(10 + i), static_cast<BYTE>(100 + i)));
        }
        return colours;
    }

    HDC screen_ = nullptr;
};

TEST_F(SystemPaletteTest, StartsWithTheStaticColoursAtBothEnds) {
    const std::vector<COLORREF> entries = System();
    EXPECT_EQ(entries[0], RGB(0, 0, 0));
    EXPECT_EQ(entries[1], RGB(128, 0, 0));
    EXPECT_EQ(entries[9], RGB(166, 202, 240));
    EXPECT_EQ(entries[246], RGB(255, 251, 240));
    EXPECT_EQ(entries[249], RGB(255, 0, 0));
    EXPECT_EQ(entries[255], RGB(255, 255, 255));
    EXPECT_EQ(GetSystemPaletteEntries(screen_, 0, 0, nullptr), 256U);
    PALETTEENTRY tail[4]{};
    EXPECT_EQ(GetSystemPaletteEntries(screen_, 254, 4, tail), 2U);
    EXPECT_REFUSED(GetSystemPaletteEntries(nullptr, 0, 4, tail), 0U, ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetDeviceCaps(screen_, SIZEPALETTE), 256);
    EXPECT_EQ(GetDeviceCaps(screen_, NUMRESERVED), 20);
    EXPECT_EQ(RealizePalette(screen_), 0U) << "the default palette is the static colours";
}

// Foreground palettes take free entries once and count them; a later one evicts older colours
// only when nothing is free.
TEST_F(SystemPaletteTest, ForegroundRealisationTakesFreeEntriesOnceAndEvictsOnlyWhenFull) {
    HPALETTE first = PaletteOfColours(Colours(1));
    HPALETTE second = PaletteOfColours(Colours(2));
    EXPECT_EQ(Realise(screen_, first, FALSE), 16U);
    EXPECT_EQ(Realise(screen_, second, FALSE), 16U);
    EXPECT_TRUE(Holds(System(), Colours(1)[0])) << "plenty of free entries: nothing evicted";
    EXPECT_TRUE(Holds(System(), Colours(2)[15]));

    HPALETTE halftone = CreateHalftonePalette(screen_);
    // 256 colours, 8 of them static: 236 free entries take 236 of the other 248.
    EXPECT_EQ(Realise(screen_, halftone, FALSE), 236U);
    EXPECT_EQ(Realise(screen_, halftone, FALSE), 0U) << "the colours are already there";
    const std::vector<COLORREF> entries = System();
    EXPECT_FALSE(Holds(entries, Colours(1)[0])) << "a full foreground palette takes every entry";
    EXPECT_TRUE(Holds(entries, RGB(51, 102, 153)));
    EXPECT_EQ(entries[0], RGB(0, 0, 0)) << "static entries never change";
    EXPECT_EQ(entries[250], RGB(0, 255, 0));
    for (HPALETTE palette : {halftone, first, second}) {
        DeleteObject(palette);
    }
}

TEST_F(SystemPaletteTest, BackgroundMemoryAndDefaultRealisationsChangeNothing) {
    HPALETTE palette = PaletteOfColours(Colours(3));
    EXPECT_EQ(Realise(screen_, palette, TRUE), 0U);
    EXPECT_FALSE(Holds(System(), Colours(3)[0]));

    HDC memory = CreateCompatibleDC(screen_);
    EXPECT_EQ(Realise(memory, palette, FALSE), 0U);
    EXPECT_FALSE(Holds(System(), Colours(3)[0]));
    DeleteDC(memory);

    // The background does not evict: after a foreground palette the background one finds it all
    // still there.
    HPALETTE other = PaletteOfColours(Colours(4));
    EXPECT_EQ(Realise(screen_, other, FALSE), 16U);
    const std::vector<COLORREF> before = System();
    EXPECT_EQ(Realise(screen_, palette, TRUE), 0U);
    EXPECT_EQ(System(), before);
    EXPECT_REFUSED(RealizePalette(nullptr), GDI_ERROR, ERROR_INVALID_HANDLE);
    DeleteObject(other);
    DeleteObject(palette);
}

} // namespace
