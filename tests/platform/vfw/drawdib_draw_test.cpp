// DrawDibDraw: the same pixels as StretchDIBits with SRCCOPY, -1 destination extents, palette
// realisation in the foreground or the background, and failures.
#include <orvel/orvel.h>

#include "platform/drawing_helpers.h"
#include "platform/last_error.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using namespace orvel::test;

using DrawDibDrawTest = orvel::test::LeakCheckedTest;

// DrawDibDraw hands its rectangles to StretchDIBits, whose pixel rules for every depth are the
// StretchDIBits tests'; here one 24-bit picture shows the rectangles arrive in the right order,
// mirrored extents kept, -1 extents made the picture's own.
TEST_F(DrawDibDrawTest, SamePixelsAsStretchDIBitsWithSourceCopy) {
    TestDib dib(5, 4, 24);
    for (int n = 0; n < 20; ++n) {
        dib.Set(n % 5, n / 5, static_cast<DWORD>((n + 1) * 0x0A1B2C % 0x1000000));
    }
    const struct {
        int xDst, yDst, dxDst, dyDst, xSrc, ySrc, dxSrc, dySrc;
    } cases[] = {{2, 1, 3, 2, 1, 0, 3, 2},
                 {0, 0, 10, 8, 0, 0, 5, 4},
                 {6, 0, -5, 4, 0, 0, 5, 4},
                 {1, 2, -1, -1, 1, 0, 3, 4}};
    HDRAWDIB drawDib = DrawDibOpen();
    ASSERT_NE(drawDib, nullptr);
    for (const auto& r : cases) {
        SCOPED_TRACE(r.xDst);
        MemorySurface viaDrawDib(12, 10, 32);
        MemorySurface viaStretch(12, 10, 32);
        ASSERT_TRUE(DrawDibDraw(drawDib, viaDrawDib.Dc(), r.xDst, r.yDst, r.dxDst, r.dyDst,
                                dib.Header(), dib.Bits(), r.xSrc, r.ySrc, r.dxSrc, r.dySrc, 0));
        ASSERT_GT(StretchDIBits(viaStretch.Dc(), r.xDst, r.yDst, r.dxDst == -1 ? 5 : r.dxDst,
                                r.dyDst == -1 ? 4 : r.dyDst, r.xSrc, r.ySrc, r.dxSrc, r.dySrc,
                                dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY),
                  0);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 12; ++x) {
                EXPECT_EQ(GetPixel(viaDrawDib.Dc(), x, y), GetPixel(viaStretch.Dc(), x, y))
                    << x << "," << y;
            }
        }
    }
    EXPECT_TRUE(DrawDibClose(drawDib));
}

TEST_F(DrawDibDrawTest, RealisesTheContextPaletteInTheForegroundUnlessAskedForTheBackground) {
    orvel::testing::ResetSystemPalette();
    HDC screen = GetDC(nullptr);
    std::vector<COLORREF> colours;
    for (BYTE i = 0; i < 8; ++i) {
        colours.push_back(RGB(33, i, 77));
    }
    HPALETTE palette = PaletteOfColours(colours);
    HPALETTE previous = SelectPalette(screen, palette, FALSE);
    TestDib dib(1, 1, 24);
    HDRAWDIB drawDib = DrawDibOpen();
    auto systemHolds = [&](COLORREF colour) {
        const std::vector<COLORREF> system = orvel::test::SystemColours(screen);
        return std::find(system.begin(), system.end(), colour) != system.end();
    };

    ASSERT_TRUE(DrawDibDraw(drawDib, screen, 0, 0, 1, 1, dib.Header(), dib.Bits(), 0, 0, 1, 1,
                            DDF_BACKGROUNDPAL));
    EXPECT_FALSE(systemHolds(colours[3])) << "the background takes no system entries";
    EXPECT_EQ(RealizePalette(screen), 8U) << "the selection itself stays a foreground one";
    orvel::testing::ResetSystemPalette();
    ASSERT_TRUE(DrawDibDraw(drawDib, screen, 0, 0, 1, 1, dib.Header(), dib.Bits(), 0, 0, 1, 1, 0));
    EXPECT_TRUE(systemHolds(colours[3]));

    DrawDibClose(drawDib);
    SelectPalette(screen, previous, TRUE);
    DeleteObject(palette);
    ReleaseDC(nullptr, screen);
    orvel::testing::ResetSystemPalette();
}

TEST_F(DrawDibDrawTest, FailsForBadHandlesAndInjectedFaults) {
    TestDib dib(2, 2, 24);
    MemorySurface surface(2, 2, 32);
    HDRAWDIB drawDib = DrawDibOpen();
    auto draw = [&](HDRAWDIB instance, HDC dc, BITMAPINFOHEADER* header, int xSrc = 0) {
        return DrawDibDraw(instance, dc, 0, 0, 2, 2, header, dib.Bits(), xSrc, xSrc, 2, 2, 0);
    };
    EXPECT_REFUSED(draw(nullptr, surface.Dc(), dib.Header()), FALSE, ERROR_INVALID_HANDLE);
    EXPECT_REFUSED(draw(drawDib, nullptr, dib.Header()), FALSE, ERROR_INVALID_HANDLE);
    EXPECT_REFUSED(draw(drawDib, surface.Dc(), nullptr), FALSE, ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(draw(drawDib, surface.Dc(), dib.Header(), 5))
        << "a source wholly outside the picture draws nothing";

    orvel::testing::InjectFault(orvel::testing::kFaultDrawDibDraw, 1);
    EXPECT_REFUSED(draw(drawDib, surface.Dc(), dib.Header()), FALSE, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_TRUE(DrawDibClose(drawDib));

    orvel::testing::InjectFault(orvel::testing::kFaultDrawDibOpen, 1);
    EXPECT_REFUSED(DrawDibOpen(), nullptr, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(draw(drawDib, surface.Dc(), dib.Header())) << "a closed instance draws nothing";
}

} // namespace
