// Realising a palette for a window: the window is asked to repaint (without erasing) exactly when
// the system palette changed, a missing palette is replaced by a halftone one made and deleted on
// the spot, and the context gets its previous palette back.
#include "drawing_support.h"

#include <functional>

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

// Each palette a realisation may take: the window is asked once to repaint whole, without
// erasing, and only when the system palette changed; the context gets its palette back.
TEST_F(PaletteRealisationTest, ChangedSystemPaletteAsksTheWholeWindowToRepaintWithoutErasing) {
    CPalette given;
    CPalette mine;
    ASSERT_TRUE(given.Attach(FreshPalette(99)));
    ASSERT_TRUE(mine.Attach(FreshPalette(55)));
    const ColourPicture picture = MakeColourPicture(4, 4, 8);
    TestDib dib(picture.file);
    TestDib empty;
    const COLORREF halftone = RGB(51, 102, 153); // a colour of the halftone cube
    const struct {
        const char* name;
        std::function<void(CDC&)> realise;
        COLORREF shown;
    } rows[] = {
        {"given", [&](CDC& dc) { CDib::DoRealizePalette(&window_, &dc, &given, TRUE); },
         RGB(20, 99, 211)},
        // A missing palette is replaced by a halftone one made and deleted for the call.
        {"none", [&](CDC& dc) { CDib::DoRealizePalette(&window_, &dc, nullptr, TRUE); }, halftone},
        {"the picture's", [&](CDC& dc) { dib.DoRealizePalette(&window_, &dc, TRUE); },
         picture.table[100]},
        // Without a picture there is no palette of its own: the halftone one stands in.
        {"no picture's", [&](CDC& dc) { empty.DoRealizePalette(&window_, &dc, TRUE); }, halftone},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        orvel::testing::ResetSystemPalette();
        CClientDC dc(&window_);
        CPalette* original = dc.SelectPalette(&mine, FALSE);
        row.realise(dc);
        EXPECT_TRUE(SystemHolds(dc, row.shown));
        EXPECT_EQ(dc.SelectPalette(original, FALSE), &mine);
        EXPECT_EQ(UpdateArea(window_), CRect(0, 0, 30, 20));
        EXPECT_EQ(UpdateArea(other_), CRect(0, 0, 0, 0)) << "only the window given";
        PAINTSTRUCT paint{};
        ASSERT_NE(BeginPaint(window_.m_hWnd, &paint), nullptr);
        EXPECT_FALSE(paint.fErase);
        EndPaint(window_.m_hWnd, &paint);
        row.realise(dc); // changes no entry now
        EXPECT_EQ(UpdateArea(window_), CRect(0, 0, 0, 0));
    }
    EXPECT_EQ(StatusOf(dib), kSuccess);
    EXPECT_EQ(StatusOf(empty), ClassError(6));
}

// In the background, into a memory context, without a context, without a halftone palette the
// system will make, or without a window: nothing is asked to repaint.
TEST_F(PaletteRealisationTest, RealisationsThatChangeNothingForTheWindowInvalidateNothing) {
    CPalette background;
    CPalette windowless;
    ASSERT_TRUE(background.Attach(FreshPalette(77)));
    ASSERT_TRUE(windowless.Attach(FreshPalette(44)));
    CClientDC dc(&window_);
    CDib::DoRealizePalette(&window_, &dc, &background, FALSE);
    EXPECT_FALSE(SystemHolds(dc, RGB(20, 77, 211)));
    Surface memory(4, 4);
    CDib::DoRealizePalette(&window_, memory.Dc(), &background, TRUE);
    CDib::DoRealizePalette(&window_, nullptr, &background, TRUE);
    CDC noContext;
    CDib::DoRealizePalette(&window_, &noContext, nullptr, TRUE);
    orvel::testing::InjectFault(orvel::testing::kFaultCreatePalette, 1);
    CDib::DoRealizePalette(&window_, &dc, nullptr, TRUE);
    EXPECT_TRUE(orvel::testing::FaultFired());
    EXPECT_EQ(UpdateArea(window_), CRect(0, 0, 0, 0));

    CDib::DoRealizePalette(nullptr, &dc, &windowless, TRUE);
    EXPECT_TRUE(SystemHolds(dc, RGB(20, 44, 211)));
    EXPECT_EQ(UpdateArea(window_), CRect(0, 0, 0, 0));
    EXPECT_EQ(UpdateArea(other_), CRect(0, 0, 0, 0));
}

} // namespace
