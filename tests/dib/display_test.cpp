// Drawing pictures into a 32-bit memory surface through DrawDib and through StretchDIBits, and
// reading every pixel back: own size, sub-rectangles in DIB coordinates, stretching, raster
// operations, the default rectangles, the palette put back, and each way a draw fails.
#include "drawing_support.h"

#include <tuple>

namespace {

using namespace orvel::test;
using orvel::testing::InjectFault;

enum class Path { DrawDib, StretchDIBits };

std::string PathName(Path path) {
    return path == Path::DrawDib ? "DrawDib" : "StretchDIBits";
}

void Choose(CDib& dib, Path path) {
    dib.UseDrawDIB(path == Path::DrawDib ? TRUE : FALSE);
}

// What a surface filled with kBackground shows after the source rectangle (left, top, width,
// height in DIB coordinates: top counts rows up from the bottom of the picture) is drawn into the
// destination rectangle; both extents positive. Destination pixel i shows source pixel
// floor(i * sourceExtent / destinationExtent), as the platform draws.
std::vector<COLORREF> Expected(const ColourPicture& picture, int surfaceWidth, int surfaceHeight,
                               CRect destination, CRect source) {
    std::vector<COLORREF> pixels(static_cast<std::size_t>(surfaceWidth * surfaceHeight),
                                 kBackground);
    const int topRow = picture.height - source.top - source.Height();
    for (int j = 0; j < destination.Height(); ++j) {
        for (int i = 0; i < destination.Width(); ++i) {
            const int x = destination.left + i;
            const int y = destination.top + j;
            if (x < 0 || y < 0 || x >= surfaceWidth || y >= surfaceHeight) {
                continue;
            }
            const int sx = source.left + i * source.Width() / destination.Width();
            const int sy = topRow + j * source.Height() / destination.Height();
            pixels[static_cast<std::size_t>(y * surfaceWidth + x)] = picture.At(sx, sy);
        }
    }
    return pixels;
}

// At every depth and through both paths: source rectangles go to the platform as they stand, in
// its DIB coordinates (rows counted up from the bottom of a bottom-up picture), and are stretched
// into the destination; an all-zero source is the whole picture. The rest of the surface stays.
struct Rectangles {
    CRect destination;
    CRect source;
};

class ShowRectanglesTest : public LeakCheckedTest,
                           public ::testing::WithParamInterface<std::tuple<int, Path, Rectangles>> {
};

TEST_P(ShowRectanglesTest, DrawsTheSourceRectangleStretchedIntoTheDestination) {
    const auto [depth, path, rects] = GetParam();
    const ColourPicture picture = MakeColourPicture(7, 5, depth);
    TestDib dib(picture.file);
    Choose(dib, path);
    Surface surface(16, 12);
    CPalette mine; // whatever happens, the context's palette is the caller's again afterwards
    ASSERT_TRUE(mine.CreateHalftonePalette(nullptr));
    CPalette* original = surface.Dc()->SelectPalette(&mine, FALSE);
    ASSERT_TRUE(dib.Show(surface.Dc(), rects.destination, rects.source));
    EXPECT_EQ(surface.Dc()->SelectPalette(original, FALSE), &mine);
    EXPECT_EQ(StatusOf(dib), kSuccess);
    const CRect source = rects.source.IsRectNull() ? CRect(0, 0, 7, 5) : rects.source;
    EXPECT_EQ(surface.Pixels(), Expected(picture, 16, 12, rects.destination, source));

    // The corner-and-size form draws the same.
    Surface again(16, 12);
    ASSERT_TRUE(dib.Show(again.Dc(), rects.destination.TopLeft(), rects.destination.Size(),
                         rects.source.TopLeft(), rects.source.Size()));
    EXPECT_EQ(again.Pixels(), surface.Pixels());
}

INSTANTIATE_TEST_SUITE_P(
    SubRectanglesAndStretches, ShowRectanglesTest,
    ::testing::Combine(
        ::testing::Values(1, 4, 8, 16, 24, 32),
        ::testing::Values(Path::DrawDib, Path::StretchDIBits),
        ::testing::Values(Rectangles{CRect(0, 0, 7, 5), CRect(0, 0, 0, 0)},   // the whole picture
                          Rectangles{CRect(1, 1, 4, 3), CRect(2, 1, 5, 3)},   // bottom-left origin
                          Rectangles{CRect(0, 0, 2, 1), CRect(0, 4, 2, 5)},   // the top row
                          Rectangles{CRect(5, 6, 7, 7), CRect(5, 0, 7, 1)},   // the bottom row
                          Rectangles{CRect(0, 0, 14, 10), CRect(0, 0, 7, 5)}, // twice the size
                          Rectangles{CRect(2, 3, 5, 5), CRect(0, 0, 7, 5)},   // shrunk
                          Rectangles{CRect(1, 0, 7, 8), CRect(1, 1, 4, 3)},   // part, enlarged
                          Rectangles{CRect(12, 9, 19, 14), CRect(0, 0, 7, 5)})), // off the edge
    [](const auto& param) {
        return std::to_string(std::get<0>(param.param)) + "Bits" +
               PathName(std::get<1>(param.param)) + std::to_string(param.index);
    });

// The tests below run once through each path.
class PathTest : public LeakCheckedTest, public ::testing::WithParamInterface<Path> {};

INSTANTIATE_TEST_SUITE_P(BothPaths, PathTest, ::testing::Values(Path::DrawDib, Path::StretchDIBits),
                         [](const auto& param) { return PathName(param.param); });

// The raster operation reaches StretchDIBits only; 0 there means SRCCOPY.
TEST_P(PathTest, RasterOperationAppliesOnlyOnTheStretchDIBitsPath) {
    const Path path = GetParam();
    const ColourPicture picture = MakeColourPicture(4, 3, 24);
    TestDib dib(picture.file);
    Choose(dib, path);
    const CRect whole(0, 0, 4, 3);
    const bool applies = path == Path::StretchDIBits;

    Surface copied(4, 3);
    ASSERT_TRUE(dib.Show(copied.Dc(), whole, whole, TRUE, 0));
    EXPECT_EQ(copied.Pixels(), Expected(picture, 4, 3, whole, whole));

    Surface inverted(4, 3);
    ASSERT_TRUE(dib.Show(inverted.Dc(), whole, whole, TRUE, NOTSRCCOPY));
    const COLORREF c = picture.At(1, 2);
    const COLORREF notSource = RGB(255 - GetRValue(c), 255 - GetGValue(c), 255 - GetBValue(c));
    EXPECT_EQ(inverted.At(1, 2), applies ? notSource : c);

    // A code the platform does not know fails there with its own error, and is never looked at
    // by DrawDib.
    Surface refused(4, 3);
    EXPECT_EQ(dib.Show(refused.Dc(), whole, whole, TRUE, 0x00123456), applies ? FALSE : TRUE);
    EXPECT_EQ(StatusOf(dib), applies ? SystemError(ERROR_INVALID_PARAMETER) : kSuccess);
}

TEST_P(PathTest, OnlyAnAllZeroSourceOrAMinusOnePairMeansThePicturesSize) {
    const ColourPicture picture = MakeColourPicture(5, 4, 8);
    TestDib dib(picture.file);
    Choose(dib, GetParam());
    const CRect whole(0, 0, 5, 4);
    const std::vector<COLORREF> wholePicture = Expected(picture, 8, 8, whole, whole);
    for (const CSize sourceSize : {CSize(-1, -1), CSize(0, 0)}) {
        Surface surface(8, 8);
        ASSERT_TRUE(dib.Show(surface.Dc(), CPoint(0, 0), CSize(-1, -1), CPoint(0, 0), sourceSize));
        EXPECT_EQ(surface.Pixels(), wholePicture) << sourceSize.cx;
    }

    // Sources that only look empty are passed on as they stand, and the platform refuses a
    // source extent of 0 on either path.
    const Status refused =
        GetParam() == Path::DrawDib ? ClassError(5) : SystemError(ERROR_INVALID_PARAMETER);
    Surface untouched(8, 8);
    CPalette mine;
    ASSERT_TRUE(mine.CreateHalftonePalette(nullptr));
    CPalette* original = untouched.Dc()->SelectPalette(&mine, FALSE);
    EXPECT_FALSE(dib.Show(untouched.Dc(), whole, CRect(0, 0, 0, 1), FALSE));
    EXPECT_EQ(untouched.Dc()->SelectPalette(original, FALSE), &mine) << "put back on failure too";
    EXPECT_EQ(StatusOf(dib), refused);
    dib.SetNoError();
    EXPECT_FALSE(dib.Show(untouched.Dc(), CPoint(0, 0), CSize(5, 4), CPoint(2, 1), CSize(0, 0)));
    EXPECT_EQ(StatusOf(dib), refused);
    EXPECT_EQ(untouched.Pixels(), std::vector<COLORREF>(64, kBackground));
}

// DrawDib takes a destination extent of -1 as the picture's own; StretchDIBits as one column to
// the left of the corner.
TEST_P(PathTest, OneMinusOneAloneIsAnExtentAsItStands) {
    const ColourPicture picture = MakeColourPicture(5, 4, 8);
    TestDib dib(picture.file);
    Choose(dib, GetParam());
    Surface surface(8, 8);
    ASSERT_TRUE(dib.Show(surface.Dc(), CPoint(3, 1), CSize(-1, 5), CPoint(0, 0), CSize(-1, -1)));
    if (GetParam() == Path::DrawDib) {
        EXPECT_EQ(surface.Pixels(), Expected(picture, 8, 8, CRect(3, 1, 8, 6), CRect(0, 0, 5, 4)));
        return;
    }
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(surface.At(x, y) != kBackground, x == 2 && y >= 1 && y < 6) << x << "," << y;
        }
    }
}

// Foreground drawing into a window realises the picture's palette into the system palette;
// background drawing takes no system entries, on either path.
TEST_P(PathTest, RealisesThePicturesPaletteInTheForegroundOnly) {
    const ColourPicture picture = MakeColourPicture(4, 4, 8);
    TestDib dib(picture.file);
    Choose(dib, GetParam());
    CWnd window;
    ASSERT_TRUE(window.Create(nullptr, "display", 0, CRect(0, 0, 8, 8), nullptr, 0));
    {
        CClientDC dc(&window);
        orvel::testing::ResetSystemPalette();
        ASSERT_FALSE(SystemHolds(dc, picture.table[100]));
        ASSERT_TRUE(dib.Show(&dc, CRect(0, 0, 4, 4), CRect(0, 0, 0, 0), FALSE));
        EXPECT_FALSE(SystemHolds(dc, picture.table[100]));
        ASSERT_TRUE(dib.Show(&dc, CRect(0, 0, 4, 4), CRect(0, 0, 0, 0), TRUE));
        EXPECT_TRUE(SystemHolds(dc, picture.table[100]));
        EXPECT_EQ(dc.GetPixel(1, 2), picture.At(1, 2));
    }
    orvel::testing::ResetSystemPalette();
}

using DisplayTest = LeakCheckedTest;

TEST_F(DisplayTest, FailedDrawDibIsClassErrorFiveAndTheObjectRefusesToDrawUntilItSucceeds) {
    const ColourPicture picture = MakeColourPicture(4, 3, 24);
    TestDib dib(picture.file);
    Surface surface(4, 3);
    const CRect whole(0, 0, 4, 3);

    InjectFault(orvel::testing::kFaultDrawDibDraw, 1);
    EXPECT_FALSE(dib.Show(surface.Dc(), whole, whole));
    EXPECT_EQ(StatusOf(dib), ClassError(5));
    EXPECT_NE(dib.GetSafeHandle(), nullptr) << "the picture stays";
    CSize size;
    EXPECT_FALSE(dib.GetSize(size));
    orvel::testing::ClearFault();

    // Refused without drawing; the record stays as it was.
    EXPECT_FALSE(dib.Show(surface.Dc(), whole, whole));
    EXPECT_FALSE(dib.Show(surface.Dc(), CPoint(0, 0), CSize(-1, -1), CPoint(0, 0), CSize(-1, -1)));
    EXPECT_EQ(StatusOf(dib), ClassError(5));
    EXPECT_EQ(surface.Pixels(), std::vector<COLORREF>(12, kBackground));

    // Any operation that records success makes the picture drawable again: pasting the same
    // picture over it does, since the destination's own record is not consulted.
    TestDib same(picture.file);
    ASSERT_TRUE(dib.Attach(same, CPoint(0, 0)));
    EXPECT_TRUE(dib.Show(surface.Dc(), whole, whole));
    EXPECT_EQ(surface.Pixels(), Expected(picture, 4, 3, whole, whole));
}

TEST_F(DisplayTest, StretchDIBitsPathIgnoresDrawDibAndReportsThePlatformsError) {
    const ColourPicture picture = MakeColourPicture(4, 3, 24);
    TestDib dib(picture.file);
    Surface surface(4, 3);
    const CRect whole(0, 0, 4, 3);
    EXPECT_EQ(dib.UseDrawDIB(0), TRUE);
    EXPECT_EQ(dib.UseDrawDIB(0), FALSE);

    InjectFault(orvel::testing::kFaultDrawDibDraw, 1, true);
    EXPECT_TRUE(dib.Show(surface.Dc(), whole, whole));
    orvel::testing::ClearFault();

    InjectFault(orvel::testing::kFaultStretchDIBits, 1);
    EXPECT_FALSE(dib.Show(surface.Dc(), whole, whole));
    EXPECT_EQ(StatusOf(dib), SystemError(ERROR_NOT_ENOUGH_MEMORY));

    ASSERT_TRUE(LoadImage(dib, picture.file));
    EXPECT_EQ(dib.UseDrawDIB(1), TRUE) << "a new picture draws through DrawDib again";

    // An object without a DrawDib handle records class error 2 until a load succeeds, and draws
    // through StretchDIBits whatever its preference: the raster operation applies.
    InjectFault(orvel::testing::kFaultDrawDibOpen, 1);
    TestDib without;
    orvel::testing::ClearFault();
    EXPECT_EQ(StatusOf(without), ClassError(2));
    ASSERT_EQ(without.DrawDibHandle(), nullptr);
    ASSERT_TRUE(LoadImage(without, picture.file));
    EXPECT_EQ(StatusOf(without), kSuccess);
    ASSERT_EQ(without.DrawDibPreference(), TRUE);
    ASSERT_TRUE(without.Show(surface.Dc(), whole, whole, TRUE, NOTSRCCOPY));
    const COLORREF c = picture.At(1, 0);
    EXPECT_EQ(surface.At(1, 0), RGB(255 - GetRValue(c), 255 - GetGValue(c), 255 - GetBValue(c)));
}

TEST_F(DisplayTest, DrawWithoutAPictureOrAContextFailsBeforeThePlatform) {
    const ColourPicture picture = MakeColourPicture(2, 2, 8);
    TestDib dib;
    Surface surface(2, 2);
    const CRect whole(0, 0, 2, 2);
    EXPECT_FALSE(dib.Show(surface.Dc(), whole, CRect(0, 0, 0, 0))); // refused by the record
    EXPECT_EQ(StatusOf(dib), ClassError(6));
    dib.SetNoError(); // a record that says nothing about the missing picture
    EXPECT_FALSE(dib.Draw(surface.Dc(), whole, whole, TRUE, 0));
    EXPECT_EQ(StatusOf(dib), ClassError(6));

    ASSERT_TRUE(LoadImage(dib, picture.file));
    EXPECT_FALSE(dib.Draw(nullptr, whole, whole, TRUE, 0));
    EXPECT_EQ(StatusOf(dib), kProgError14);
    CDC noContext;
    EXPECT_FALSE(dib.Show(&noContext, whole, whole));
    EXPECT_EQ(StatusOf(dib), kProgError14);
}

// A caller may write over a lent block: a header that claims more rows than the block holds is
// refused before the platform reads a pixel.
TEST_F(DisplayTest, BlockWhoseHeaderNoLongerFitsIsNotDrawn) {
    const ColourPicture picture = MakeColourPicture(3, 3, 24);
    TestDib dib(picture.file);
    auto* base = static_cast<BYTE*>(GlobalLock(dib.GetSafeHandle()));
    const std::int32_t widerThanTheBlock = 300;
    std::memcpy(base + 18, &widerThanTheBlock, sizeof widerThanTheBlock); // biWidth
    FullUnlock(dib.GetSafeHandle());
    Surface surface(3, 3);
    for (const Path path : {Path::DrawDib, Path::StretchDIBits}) {
        Choose(dib, path);
        dib.SetNoError();
        EXPECT_FALSE(dib.Show(surface.Dc(), CRect(0, 0, 3, 3), CRect(0, 0, 3, 3)));
        EXPECT_EQ(StatusOf(dib), ClassError(1));
    }
    EXPECT_EQ(surface.Pixels(), std::vector<COLORREF>(9, kBackground));
}

} // namespace
