// Windows on an X server: what the server holds after each drawing call is what the window's
// surface holds, at every picture depth, through both drawing paths, on a 24-bit TrueColor and an
// 8-bit PseudoColor screen; Expose repaints; the system palette is the server's colormap.
#include "desktop_fixture.h"
#include "platform/drawing_helpers.h"
#include "platform/last_error.h"

#include <chrono>
#include <thread>

namespace orvel::test {
namespace {

// Odd sizes, so that no row of any depth ends on a word boundary.
constexpr int kWidth = 37;
constexpr int kHeight = 23;

class ShownWindow : public CWnd {
public:
    explicit ShownWindow(const char* title, int x = 40, int y = 30) {
        EXPECT_TRUE(Create(nullptr, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           CRect(x, y, x + kWidth, y + kHeight), nullptr, 0));
    }
    // Shows a test picture of `depth` bits over the whole client area, through DrawDib (1),
    // StretchDIBits (0) or the picture's own choice (-1).
    bool ShowPicture(int depth, int drawDib = -1) {
        std::unique_ptr<CDib> picture = MakeTestPicture(depth, kWidth, kHeight);
        if (drawDib >= 0) {
            picture->UseDrawDIB(drawDib);
        }
        CClientDC dc(this);
        return picture->Show(&dc, CRect(0, 0, kWidth, kHeight), CRect(0, 0, 0, 0), TRUE, SRCCOPY);
    }
};

struct DrawCase {
    Screen screen;
    bool drawDib;
};

class WindowOnScreen : public DesktopTest, public ::testing::WithParamInterface<DrawCase> {
protected:
    void SetUp() override { UseScreen(GetParam().screen); }
};

TEST_P(WindowOnScreen, ServerHoldsWhatEachPictureDepthDrew) {
    ShownWindow window("orvel-depths");
    for (int depth : {1, 4, 8, 16, 24, 32}) {
        ASSERT_TRUE(window.ShowPicture(depth, GetParam().drawDib ? 1 : 0)) << depth;
        // No wait: the drawing call has put its pixels on the server before returning.
        EXPECT_EQ(ShownPixels(window.GetSafeHwnd(), kWidth, kHeight),
                  ExpectedPixels(window.GetSafeHwnd(), kWidth, kHeight))
            << depth << "-bit picture";
    }
}

TEST_P(WindowOnScreen, ExposeRepaintsWhatAnotherWindowCovered) {
    ShownWindow window("orvel-covered");
    ASSERT_TRUE(window.ShowPicture(24, GetParam().drawDib ? 1 : 0));
    const std::vector<COLORREF> expected = ExpectedPixels(window.GetSafeHwnd(), kWidth, kHeight);
    {
        ShownWindow cover("orvel-cover", 50, 35);
        CClientDC coverDc(&cover);
        ASSERT_TRUE(coverDc.BitBlt(0, 0, kWidth, kHeight, nullptr, 0, 0, WHITENESS));
        ASSERT_NE(ShownPixels(window.GetSafeHwnd(), kWidth, kHeight), expected);
    }
    // The repaint comes from the platform's own thread; nothing here asks for it.
    std::vector<COLORREF> shown;
    for (int attempt = 0; attempt < 200 && shown != expected; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        shown = ShownPixels(window.GetSafeHwnd(), kWidth, kHeight);
    }
    EXPECT_EQ(shown, expected);
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowOnScreen,
                         ::testing::Values(DrawCase{Screen::trueColour24, true},
                                           DrawCase{Screen::trueColour24, false},
                                           DrawCase{Screen::pseudoColour8, true},
                                           DrawCase{Screen::pseudoColour8, false}),
                         [](const ::testing::TestParamInfo<DrawCase>& param) {
                             return ScreenName(param.param.screen) +
                                    (param.param.drawDib ? "_drawdib" : "_stretchdibits");
                         });

class ScreenTest : public DesktopTest, public ::testing::WithParamInterface<Screen> {
protected:
    void SetUp() override { UseScreen(GetParam()); }
};

// An outside program reads the same pixels: xwd dumps the window with its colormap, ImageMagick
// turns the dump into plain RGB.
TEST_P(ScreenTest, XwdReadsWhatTheWindowShows) {
    RequirePrograms({"xwd", "convert"});
    if (IsSkipped()) {
        return;
    }
    ShownWindow window("orvel-xwd");
    ASSERT_TRUE(window.ShowPicture(8));
    const std::string raw = ScratchPath("xwd.rgb");
    ASSERT_EQ(RunShell("xwd -silent -name orvel-xwd | convert xwd:- rgb:" + raw), 0);
    const std::vector<BYTE> bytes = ReadFileBytes(raw);
    std::vector<COLORREF> dumped;
    for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) {
        dumped.push_back(RGB(bytes[i], bytes[i + 1], bytes[i + 2]));
    }
    EXPECT_EQ(dumped, ExpectedPixels(window.GetSafeHwnd(), kWidth, kHeight));
}

TEST_P(ScreenTest, ScreenContextTakesTheServersSizeAndDepthAndAFailedReadKeepsItsError) {
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1024);
    EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 768);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), GetParam() == Screen::trueColour24 ? 24 : 8);
    ReleaseDC(nullptr, screen);
    // A failed read of the screen gives nothing and says why.
    ShownWindow window("orvel-failed-read");
    orvel::testing::InjectFault(orvel::testing::kFaultScreenRead, 1);
    EXPECT_REFUSED(ShownPixels(window.GetSafeHwnd(), kWidth, kHeight).empty(), true,
                   ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_TRUE(orvel::testing::FaultFired());
}

// Window managers read the size a window keeps from its size hints; a destroyed window leaves.
TEST_P(ScreenTest, WindowHintsItsSizeAndLeavesTheServerWhenDestroyed) {
    RequirePrograms({"xwininfo", "xprop"});
    if (IsSkipped()) {
        return;
    }
    {
        ShownWindow window("orvel-destroyed");
        ASSERT_EQ(RunShell("xwininfo -name orvel-destroyed >/dev/null 2>&1"), 0);
        EXPECT_EQ(RunShell("xprop -name orvel-destroyed WM_NORMAL_HINTS | grep -q "
                           "'program specified maximum size: 37 by 23'"),
                  0);
    }
    EXPECT_NE(RunShell("xwininfo -name orvel-destroyed >/dev/null 2>&1"), 0);
}

INSTANTIATE_TEST_SUITE_P(Screens, ScreenTest,
                         ::testing::Values(Screen::trueColour24, Screen::pseudoColour8),
                         [](const ::testing::TestParamInfo<Screen>& param) {
                             return ScreenName(param.param);
                         });

class PaletteScreenTest : public DesktopTest {
protected:
    void SetUp() override { UseScreen(Screen::pseudoColour8); }
};

// A foreground palette's colours go into the free entries of the colormap, in order, and the
// system palette and nearest colours answer from what the server then holds.
TEST_F(PaletteScreenTest, RealisedPaletteIsWhatTheServersColormapHolds) {
    orvel::testing::ResetSystemPalette();
    ShownWindow window("orvel-palette");
    std::vector<COLORREF> colours;
    for (int k = 0; k < 16; ++k) {
        colours.push_back(RGB(static_cast<BYTE>(3 + k * 15), static_cast<BYTE>(250 - k * 9),
                              static_cast<BYTE>(17 + k * 11)));
    }
    HPALETTE palette = PaletteOfColours(colours);
    HDC dc = GetDC(window.GetSafeHwnd());
    HPALETTE previous = SelectPalette(dc, palette, FALSE);
    EXPECT_EQ(RealizePalette(dc), 16U);
    PALETTEENTRY entries[16];
    ASSERT_EQ(GetSystemPaletteEntries(dc, 10, 16, entries), 16U);
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(RGB(entries[k].peRed, entries[k].peGreen, entries[k].peBlue), colours[k]) << k;
    }
    const COLORREF nearMiss = colours[5] + 1; // one step of red away
    EXPECT_EQ(GetNearestColor(dc, nearMiss), colours[5]);
    EXPECT_EQ(GetNearestColor(dc, RGB(255, 255, 255)), RGB(255, 255, 255));
    SelectPalette(dc, previous, FALSE);
    ReleaseDC(window.GetSafeHwnd(), dc);
    DeleteObject(palette);
}

TEST(DesktopChoice, RefusedConnectionLeavesTheProcessHeadless) {
    if (!HasProgram("Xvfb")) {
        GTEST_SKIP() << "Xvfb is not installed (Debian: xvfb)";
    }
    setenv("DISPLAY", ":0", 1);
    unsetenv("ORVEL_HEADLESS");
    orvel::testing::InjectFault(orvel::testing::kFaultDesktopConnect, 1);
    orvel::testing::ReopenDesktop();
    EXPECT_TRUE(orvel::testing::FaultFired());
    EXPECT_FALSE(IsDesktopReal());
    orvel::testing::ClearFault();
    setenv("ORVEL_HEADLESS", "1", 1);
    orvel::testing::ReopenDesktop();
    EXPECT_FALSE(IsDesktopReal());
}

} // namespace
} // namespace orvel::test
