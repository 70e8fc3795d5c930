// StretchDIBits: DIBs of every depth drawn whole, in parts, stretched, shrunk, mirrored and
// clipped, into 32-bit and indexed surfaces; the pixels are read back.
#include <orvel/orvel.h>

#include "platform/drawing_helpers.h"
#include "platform/last_error.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace orvel::test;

constexpr int kWidth = 4;
constexpr int kHeight = 3;
constexpr COLORREF kMarker = RGB(1, 2, 3);

// Twelve colours whose channels (0, 132, 255) survive 5-5-5 exactly.
const std::array<COLORREF, 12> kColours = {RGB(255, 0, 0),     RGB(0, 255, 0),   RGB(0, 0, 255),
                                           RGB(255, 255, 0),   RGB(0, 255, 255), RGB(255, 0, 255),
                                           RGB(132, 0, 0),     RGB(0, 132, 0),   RGB(0, 0, 132),
                                           RGB(132, 132, 132), RGB(255, 132, 0), RGB(0, 132, 255)};

// The test picture: 4 x 3, pixel (x, y counted from the top) shows colour x + 4y (for 1 bit,
// white where x + y is odd).
TestDib MakePicture(int depth, bool topDown = false) {
    std::vector<RGBQUAD> table;
    if (depth == 1) {
        table = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    } else if (depth <= 8) {
        for (COLORREF c : kColours) {
            table.push_back({GetBValue(c), GetGValue(c), GetRValue(c), 0});
        }
    }
    TestDib dib(kWidth, kHeight, depth, topDown, table);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int n = x + kWidth * y;
            const COLORREF c = kColours[static_cast<std::size_t>(n)];
            DWORD value = static_cast<DWORD>(n);
            if (depth == 1) {
                value = static_cast<DWORD>((x + y) % 2);
            } else if (depth == 16) {
                value = static_cast<DWORD>(((GetRValue(c) >> 3) << 10) |
                                           ((GetGValue(c) >> 3) << 5) | (GetBValue(c) >> 3));
            } else if (depth > 16) {
                value = RawOf(c);
            }
            dib.Set(x, y, value);
        }
    }
    return dib;
}

COLORREF PictureColour(int depth, int x, int y) {
    if (depth == 1) {
        return (x + y) % 2 != 0 ? RGB(255, 255, 255) : RGB(0, 0, 0);
    }
    return kColours[static_cast<std::size_t>(x + kWidth * y)];
}

constexpr int kCanvasWidth = 10;
constexpr int kCanvasHeight = 8;

// The picture's column (or row) a canvas column (or row) shows: (v * scale + offset) / divisor.
struct Map {
    int scale, offset, divisor;
    int operator()(int v) const { return (v * scale + offset) / divisor; }
};
constexpr Map kSame{1, 0, 1};

// One StretchDIBits call onto a canvas of the marker colour: its rectangles (destination x, y,
// width, height, then the source's), the lines it reports, the canvas area that then shows the
// picture (the marker elsewhere), and which of its pixels. The picture is 4 x 3, the canvas 10 x 8.
struct Placement {
    const char* name;
    int r[8];
    bool topDown;
    int lines;
    RECT shown;
    Map column, row;
};

const Placement kPlacements[] = {
    {"Whole", {1, 2, 4, 3, 0, 0, 4, 3}, false, 3, {1, 2, 5, 5}, {1, -1, 1}, {1, -2, 1}},
    // ySrc 0 and height 2 are the two bottom rows of a bottom-up picture, shown top row first;
    // of a top-down picture, the two top rows.
    {"BottomUpRows", {0, 0, 2, 2, 1, 0, 2, 2}, false, 2, {0, 0, 2, 2}, {1, 1, 1}, {1, 1, 1}},
    {"TopDownRows", {0, 0, 2, 2, 1, 0, 2, 2}, true, 2, {0, 0, 2, 2}, {1, 1, 1}, kSame},
    {"Stretched", {0, 0, 8, 6, 0, 0, 4, 3}, false, 3, {0, 0, 8, 6}, {1, 0, 2}, {1, 0, 2}},
    // 4 x 3 into 2 x 1 keeps the first of each group: columns 0 and 2 of the top row.
    {"Shrunk", {0, 0, 2, 1, 0, 0, 4, 3}, false, 3, {0, 0, 2, 1}, {2, 0, 1}, kSame},
    // Width -4 from x 4 covers columns 0 to 3, mirrored; height -3 from y 3 covers rows 0 to 2.
    {"Mirrored", {4, 3, -4, -3, 0, 0, 4, 3}, false, 3, {0, 0, 4, 3}, {-1, 3, 1}, {-1, 2, 1}},
    {"SourceMirrored", {0, 0, 4, 3, 4, 0, -4, 3}, false, 3, {0, 0, 4, 3}, {-1, 3, 1}, kSame},
    {"TwoMirrorsCancel", {4, 0, -4, 3, 4, 0, -4, 3}, false, 3, {0, 0, 4, 3}, kSame, kSame},
    // Clipped to the surface, but every line counts, even wholly outside it.
    {"Clipped", {-2, 7, 4, 3, 0, 0, 4, 3}, false, 3, {0, 7, 2, 8}, {1, 2, 1}, {1, -7, 1}},
    {"OutsideTheSurface", {10, 0, 4, 3, 0, 0, 4, 3}, false, 3, {0, 0, 0, 0}, kSame, kSame},
    // Source pixels outside the picture leave the destination alone: of columns 2 to 5 only 2
    // and 3 exist; of rows 1 to 4 from the bottom, rows 1 and 2, shown at the bottom of the
    // destination rectangle since it reaches above the picture.
    {"ColumnsBeyond", {0, 0, 4, 3, 2, 0, 4, 3}, false, 3, {0, 0, 2, 3}, {1, 2, 1}, kSame},
    {"RowsAbove", {6, 0, 1, 4, 0, 1, 1, 4}, false, 2, {6, 2, 7, 4}, {1, -6, 1}, {1, -2, 1}},
    // Stretched by 6/4 from x -1: the stepping starts part-way into the first source column.
    {"ClippedStretch", {-1, 0, 6, 3, 0, 0, 4, 3}, false, 3, {0, 0, 5, 3}, {4, 4, 6}, kSame},
};

class StretchDIBitsTest : public LeakCheckedTest,
                          public ::testing::WithParamInterface<std::tuple<int, Placement>> {};

TEST_P(StretchDIBitsTest, CanvasShowsThePicturesPixelsWhereThePlacementPutsThem) {
    const auto& [depth, p] = GetParam();
    MemorySurface canvas(kCanvasWidth, kCanvasHeight, 32);
    canvas.Fill(kCanvasWidth, kCanvasHeight, kMarker);
    TestDib picture = MakePicture(depth, p.topDown);
    EXPECT_EQ(StretchDIBits(canvas.Dc(), p.r[0], p.r[1], p.r[2], p.r[3], p.r[4], p.r[5], p.r[6],
                            p.r[7], picture.Bits(), picture.Info(), DIB_RGB_COLORS, SRCCOPY),
              p.lines);
    for (int y = 0; y < kCanvasHeight; ++y) {
        for (int x = 0; x < kCanvasWidth; ++x) {
            const bool shown =
                x >= p.shown.left && x < p.shown.right && y >= p.shown.top && y < p.shown.bottom;
            const COLORREF want = shown ? PictureColour(depth, p.column(x), p.row(y)) : kMarker;
            EXPECT_EQ(GetPixel(canvas.Dc(), x, y), want) << "canvas " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EverySourceDepth, StretchDIBitsTest,
                         ::testing::Combine(::testing::Values(1, 4, 8, 16, 24, 32),
                                            ::testing::ValuesIn(kPlacements)),
                         [](const auto& param) {
                             return std::to_string(std::get<0>(param.param)) + "bit_" +
                                    std::get<1>(param.param).name;
                         });

using StretchIntoIndexedTest = LeakCheckedTest;

// One row drawn onto a surface of each kind, read back at the surface's own depth: colours become
// the nearest index of the context palette (on 4 bits, among the first sixteen entries only),
// black or white on 1 bit with the leftmost pixel highest, 5-5-5 words on 16 bits, and indexes
// past the colour table draw black.
TEST_F(StretchIntoIndexedTest, RowsBecomeTheSurfacesOwnPixels) {
    std::vector<COLORREF> twenty(20, RGB(0, 0, 0));
    twenty[3] = RGB(100, 100, 100);
    twenty[18] = RGB(200, 10, 10); // exact, but no 4-bit index reaches it
    const RGBQUAD white{255, 255, 255, 0};
    const struct {
        const char* name;
        int surfaceDepth;
        std::vector<COLORREF> palette;
        int dibDepth;
        std::vector<RGBQUAD> table;
        std::vector<DWORD> pixels;
        std::vector<BYTE> expected;
    } cases[] = {
        {"nearest index",
         8,
         {RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 0, 255), RGB(250, 250, 250)},
         24,
         {},
         {RawOf(RGB(240, 20, 20)), RawOf(RGB(10, 10, 10)), RawOf(RGB(255, 255, 255)),
          RawOf(RGB(20, 20, 200))},
         {1, 0, 3, 2}},
        {"first sixteen",
         4,
         twenty,
         8,
         {{10, 10, 200, 0}, {100, 100, 100, 0}},
         {0, 1, 0},
         {0x33, 0x30}},
        {"monochrome",
         1,
         {},
         24,
         {},
         {0xC8C8C8, 0x3C3C3C, 0x3C3C3C, 0xC8C8C8, 0x3C3C3C, 0x3C3C3C, 0xC8C8C8, 0x3C3C3C, 0x3C3C3C,
          0xC8C8C8},
         {0x92, 0x40}},
        {"5-5-5", 16, {}, 24, {}, {RawOf(RGB(255, 132, 8))}, {0x01, 0x7E}},
        {"past the table", 24, {}, 4, {white, white}, {0, 1}, {255, 255, 255, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int width = static_cast<int>(c.pixels.size());
        MemorySurface surface(width, 1, c.surfaceDepth,
                              c.palette.empty() ? nullptr : PaletteOfColours(c.palette));
        TestDib dib(width, 1, c.dibDepth, false, c.table);
        dib.Header()->biClrUsed = c.dibDepth == 4 ? 1 : 0; // "past the table": entry 1 is not there
        for (int x = 0; x < width; ++x) {
            dib.Set(x, 0, c.pixels[static_cast<std::size_t>(x)]);
        }
        ASSERT_EQ(StretchDIBits(surface.Dc(), 0, 0, width, 1, 0, 0, width, 1, dib.Bits(),
                                dib.Info(), DIB_RGB_COLORS, SRCCOPY),
                  1);
        TestDib back(width, 1, c.surfaceDepth); // read back at the surface's own depth
        ASSERT_EQ(GetDIBits(surface.Dc(), surface.Bitmap(), 0, 1, back.Bits(), back.Info(),
                            DIB_RGB_COLORS),
                  1);
        const std::vector<BYTE> bytes(back.Bits(), back.Bits() + c.expected.size());
        EXPECT_EQ(bytes, c.expected);
    }
}

using StretchDIBitsFailureTest = LeakCheckedTest;

TEST_F(StretchDIBitsFailureTest, RefusesBadArgumentsWithTheErrorNumberAndDrawsNothing) {
    MemorySurface surface(4, 4, 32);
    surface.Fill(4, 4, kMarker);
    TestDib dib = MakePicture(24);
    // One argument at a time made bad: the call refuses it with ERROR_INVALID_PARAMETER unless
    // `error` says otherwise.
    struct Call {
        HDC dc;
        int width = 4, xSrc = 0;
        bool bits = true, info = true;
        UINT usage = DIB_RGB_COLORS;
        DWORD rop = SRCCOPY;
        void (*spoil)(BITMAPINFOHEADER*) = [](BITMAPINFOHEADER*) {};
        DWORD error = ERROR_INVALID_PARAMETER;
    };
    const HDC dc = surface.Dc();
    const Call calls[] = {
        {.dc = nullptr, .error = ERROR_INVALID_HANDLE},
        {.dc = dc, .bits = false},
        {.dc = dc, .info = false},
        {.dc = dc, .usage = DIB_PAL_COLORS},
        {.dc = dc, .rop = 0x00AA0029U},
        {.dc = dc, .rop = 0x00F00021U},
        {.dc = dc, .rop = 0},
        {.dc = dc, .rop = SRCCOPY + 1},
        {.dc = dc, .width = 0},
        {.dc = dc, .xSrc = kWidth}, // the source wholly right of the picture
        {.dc = dc, .spoil = [](BITMAPINFOHEADER* h) { h->biSize = 12; }},
        {.dc = dc, .spoil = [](BITMAPINFOHEADER* h) { h->biCompression = BI_RLE8; }},
        {.dc = dc, .spoil = [](BITMAPINFOHEADER* h) { h->biBitCount = 2; }},
        {.dc = dc, .spoil = [](BITMAPINFOHEADER* h) { h->biPlanes = 2; }},
        {.dc = dc, .spoil = [](BITMAPINFOHEADER* h) { h->biWidth = 0; }},
        {.dc = dc, .spoil = [](BITMAPINFOHEADER* h) { h->biHeight = 0; }},
    };
    auto draw = [&](const Call& c, TestDib& picture) {
        c.spoil(picture.Header());
        return StretchDIBits(c.dc, 0, 0, c.width, 3, c.xSrc, 0, kWidth, kHeight,
                             c.bits ? picture.Bits() : nullptr, c.info ? picture.Info() : nullptr,
                             c.usage, c.rop);
    };
    for (const Call& c : calls) {
        TestDib picture = MakePicture(24);
        EXPECT_REFUSED(draw(c, picture), 0, c.error) << &c - calls;
    }
    orvel::testing::InjectFault(orvel::testing::kFaultStretchDIBits, 1);
    EXPECT_REFUSED(draw({.dc = dc}, dib), 0, ERROR_NOT_ENOUGH_MEMORY);

    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(GetPixel(surface.Dc(), x, y), kMarker);
        }
    }
}

} // namespace
