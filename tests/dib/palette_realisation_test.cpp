// Realising a palette for a window: the window is asked to repaint (without erasing) exactly when
// the system palette changed, a missing palette is replaced by a halftone one made and deleted on
// the spot, and the context gets its previous palette back.
#include "drawing_support.h"

#include <algorithm>

namespace {

using namespace orvel::test;

// A palette of colours that no static entry and no earlier palette holds.
HPALETTE FreshPalette(BYTE green) {
    std::vector<PALETTEENTRY> entries;
    for (BYTE i = 0; i < 8; ++i) {
        entries.push_back({static_cast<BYTE>(17 + i), green, 211, 0});
    }
    return MakePalette(entries);
}

class PaletteRealisationTest : public LeakCheckedTest {
protected:
    void SetUp() override {
        orvel::testing::ResetSystemPalette();
        ASSERT_TRUE(window_.Create(nullptr, "palette", 0, CRect(0, 0, 30, 20), nullptr, 0));
        ASSERT_TRUE(other_.Create(nullptr, "other", 0, CRect(0, 0, 10, 10), nullptr, 0));
        ValidateRect(window_.m_hWnd, nullptr);
        ValidateRect(other_.m_hWnd, nullptr);
    }
    void TearDown() override {
        window_.DestroyWindow();
        other_.DestroyWindow();
        orvel::testing::ResetSystemPalette();
        LeakCheckedTest::TearDown();
    }

    // The window's update area; all zero when nothing waits to be repainted.
    static CRect UpdateArea(const CWnd& window) {
        CRect area(-1, -1, -1, -1);
        GetUpdateRect(window.m_hWnd, area, FALSE);
        return area;
    }

    CWnd window_;
    CWnd other_;
};

TEST_F(PaletteRealisationTest, ChangedSystemPaletteAsksTheWholeWindowToRepaintWithoutErasing) {
    CPalette palette;
    ASSERT_TRUE(palette.Attach(FreshPalette(99)));
    CClientDC dc(&window_);

    CDib::DoRealizePalette(&window_, &dc, &palette, TRUE);
    EXPECT_TRUE(SystemHolds(dc, RGB(20, 99, 211)));
    EXPECT_EQ(UpdateArea(window_), CRect(0, 0, 30, 20));
    EXPECT_EQ(UpdateArea(other_), CRect(0, 0, 0, 0)) << "only the window given";
    PAINTSTRUCT paint{};
    ASSERT_NE(BeginPaint(window_.m_hWnd, &paint), nullptr);
    EXPECT_FALSE(paint.fErase);
    EndPaint(window_.m_hWnd, &paint);

    // Realising it again changes no entry, so nothing is invalidated.
    CDib::DoRealizePalette(&window_, &dc, &palette, TRUE);
    EXPECT_EQ(UpdateArea(window_), CRect(0, 0, 0, 0));
}

TEST_F(PaletteRealisationTest, BackgroundRealisationAndMemoryContextsInvalidateNothing) {
    CPalette palette;
    ASSERT_TRUE(palette.Attach(FreshPalette(77)));
    {
        CClientDC dc(&window_);
        CDib::DoRealizePalette(&window_, &dc, &palette, FALSE);
        EXPECT_FALSE(SystemHolds(dc, RGB(20, 77, 211)));
    }
    Surface memory(4, 4);
    CDib::DoRealizePalette(&window_, memory.Dc(), &palette, TRUE);
    EXPECT_EQ(UpdateArea(window_), CRect(0, 0, 0, 0));
}

TEST_F(PaletteRealisationTest, NullPaletteRealisesAHalftonePaletteMadeAndDeletedForTheCall) {
    CClientDC dc(&window_);
    const long gdiObjectsBefore = orvel::testing::GetLiveCounts().gdiObjects;
    CDib::DoRealizePalette(&window_, &dc, nullptr, TRUE);
    EXPECT_EQ(orvel::testing::GetLiveCounts().gdiObjects, gdiObjectsBefore);
    EXPECT_TRUE(SystemHolds(dc, RGB(51, 102, 153))) << "a colour of the halftone cube";
    EXPECT_EQ(UpdateArea(window_), CRect(0, 0, 30, 20));
}

TEST_F(PaletteRealisationTest, TheContextGetsItsPreviousPaletteBack) {
    CPalette mine;
    CPalette realised;
    ASSERT_TRUE(mine.Attach(FreshPalette(55)));
    ASSERT_TRUE(realised.Attach(FreshPalette(66)));
    CClientDC dc(&window_);
    CPalette* original = dc.SelectPalette(&mine, FALSE);
    ASSERT_NE(original, nullptr);
    for (CPalette* palette : {&realised, static_cast<CPalette*>(nullptr)}) {
        CDib::DoRealizePalette(&window_, &dc, palette, TRUE);
        EXPECT_EQ(dc.SelectPalette(&mine, FALSE), &mine);
    }
    dc.SelectPalette(original, TRUE);
}

TEST_F(PaletteRealisationTest, WithoutAWindowOrAContextNothingElseIsTouched) {
    CPalette palette;
    ASSERT_TRUE(palette.Attach(FreshPalette(44)));
    CClientDC dc(&window_);
    CDib::DoRealizePalette(nullptr, &dc, &palette, TRUE);
    EXPECT_TRUE(SystemHolds(dc, RGB(20, 44, 211)));
    EXPECT_EQ(UpdateArea(window_), CRect(0, 0, 0, 0)) << "no window, no repaint anywhere";
    EXPECT_EQ(UpdateArea(other_), CRect(0, 0, 0, 0));

    CDib::DoRealizePalette(&window_, nullptr, &palette, TRUE);
    CDC noContext;
    CDib::DoRealizePalette(&window_, &noContext, nullptr, TRUE);
    EXPECT_EQ(UpdateArea(window_), CRect(0, 0, 0, 0));
}

TEST_F(PaletteRealisationTest, HalftonePaletteTheSystemWillNotMakeLeavesNothingBehind) {
    CClientDC dc(&window_);
    orvel::testing::InjectFault(orvel::testing::kFaultCreatePalette, 1);
    CDib::DoRealizePalette(&window_, &dc, nullptr, TRUE);
    EXPECT_TRUE(orvel::testing::FaultFired());
    EXPECT_EQ(UpdateArea(window_), CRect(0, 0, 0, 0));
}

TEST_F(PaletteRealisationTest, MemberFormRealisesThePicturesOwnPalette) {
    const ColourPicture picture = MakeColourPicture(4, 4, 8);
    TestDib dib(picture.file);
    CClientDC dc(&window_);
    dib.DoRealizePalette(&window_, &dc, TRUE);
    EXPECT_TRUE(SystemHolds(dc, picture.table[100]));
    EXPECT_EQ(UpdateArea(window_), CRect(0, 0, 30, 20));
    EXPECT_EQ(StatusOf(dib), kSuccess);

    // Without a picture there is no palette of its own: the halftone one stands in.
    orvel::testing::ResetSystemPalette();
    ValidateRect(window_.m_hWnd, nullptr);
    TestDib empty;
    empty.DoRealizePalette(&window_, &dc, TRUE);
    EXPECT_TRUE(SystemHolds(dc, RGB(51, 102, 153)));
    EXPECT_EQ(StatusOf(empty), ClassError(6));
}

} // namespace
