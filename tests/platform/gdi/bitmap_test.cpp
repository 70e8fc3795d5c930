// Device-dependent bitmaps: creation, selection into memory contexts, pixels drawn with SetPixel
// and read back with GetPixel and GetDIBits at every depth.
#include <orvel/orvel.h>

#include "platform/drawing_helpers.h"
#include "platform/last_error.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using namespace orvel::test;

BITMAP RecordOf(HBITMAP bitmap) {
    BITMAP record{};
    EXPECT_EQ(GetObjectA(bitmap, sizeof record, &record), static_cast<int>(sizeof record));
    return record;
}

// Sixteen colours that no two of which share a nearest index, in a deliberately scrambled order.
const std::vector<COLORREF> kSixteen = {
    RGB(250, 10, 10),  RGB(10, 250, 10),   RGB(10, 10, 250),   RGB(250, 250, 10),
    RGB(10, 250, 250), RGB(250, 10, 250),  RGB(128, 64, 0),    RGB(0, 64, 128),
    RGB(64, 0, 128),   RGB(200, 200, 200), RGB(30, 30, 30),    RGB(90, 160, 40),
    RGB(160, 40, 90),  RGB(40, 90, 160),   RGB(255, 255, 255), RGB(0, 0, 0)};

using BitmapCreationTest = LeakCheckedTest;

TEST_F(BitmapCreationTest, RecordReportsSizeDepthAndEvenRowBytes) {
    struct Case {
        int width;
        UINT requestedBits;
        WORD bitsPixel;
        LONG widthBytes;
    };
    // Rows are padded to whole 16-bit words; odd depths are rounded up to the next kept one.
    for (const Case c :
         {Case{9, 1, 1, 2}, Case{17, 1, 1, 4}, Case{3, 4, 4, 2}, Case{5, 2, 4, 4}, Case{3, 8, 8, 4},
          Case{3, 16, 16, 6}, Case{3, 24, 24, 10}, Case{3, 32, 32, 12}, Case{1, 5, 8, 2}}) {
        HBITMAP bitmap = CreateBitmap(c.width, 2, 1, c.requestedBits, nullptr);
        ASSERT_NE(bitmap, nullptr);
        const BITMAP record = RecordOf(bitmap);
        EXPECT_EQ(record.bmWidth, c.width);
        EXPECT_EQ(record.bmHeight, 2);
        EXPECT_EQ(record.bmPlanes, 1);
        EXPECT_EQ(record.bmBitsPixel, c.bitsPixel) << c.requestedBits;
        EXPECT_EQ(record.bmWidthBytes, c.widthBytes) << c.width << " x " << c.requestedBits;
        EXPECT_EQ(GetObjectType(bitmap), OBJ_BITMAP);
        EXPECT_TRUE(DeleteObject(bitmap));
    }
    // Callers of a 32-bit build's BITMAP ask for 24 bytes: every field but the bits.
    HBITMAP bitmap = CreateBitmap(5, 7, 1, 8, nullptr);
    BITMAP record{};
    record.bmBits = &record;
    EXPECT_EQ(GetObjectA(bitmap, 24, &record), 24);
    EXPECT_EQ(record.bmWidth, 5);
    EXPECT_EQ(record.bmHeight, 7);
    EXPECT_EQ(record.bmBitsPixel, 8);
    EXPECT_EQ(record.bmBits, &record) << "nothing past the 24 bytes asked for is written";
    EXPECT_EQ(GetObjectA(bitmap, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
    DeleteObject(bitmap);
}

TEST_F(BitmapCreationTest, EmptySizeGivesTheStockMonochromeBitmapAndBadSizesFail) {
    HBITMAP stock = CreateBitmap(0, 10, 1, 24, nullptr);
    ASSERT_NE(stock, nullptr);
    const BITMAP record = RecordOf(stock);
    EXPECT_EQ(record.bmWidth, 1);
    EXPECT_EQ(record.bmHeight, 1);
    EXPECT_EQ(record.bmBitsPixel, 1);
    EXPECT_TRUE(DeleteObject(stock)) << "deleting a stock object is a harmless success";
    EXPECT_EQ(GetObjectType(stock), OBJ_BITMAP);

    EXPECT_REFUSED(CreateBitmap(-1, 4, 1, 8, nullptr), nullptr, ERROR_INVALID_PARAMETER);
    EXPECT_REFUSED(CreateBitmap(4, 4, 1, 33, nullptr), nullptr, ERROR_INVALID_PARAMETER);
    EXPECT_REFUSED(CreateBitmap(70000, 4, 1, 8, nullptr), nullptr, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_REFUSED(CreateBitmap(60000, 60000, 1, 32, nullptr), nullptr, ERROR_NOT_ENOUGH_MEMORY)
        << "beyond 1 GiB of pixels";

    orvel::testing::InjectFault(orvel::testing::kFaultCreateBitmap, 1);
    EXPECT_REFUSED(CreateBitmap(4, 4, 1, 8, nullptr), nullptr, ERROR_NOT_ENOUGH_MEMORY);
}

TEST_F(BitmapCreationTest, CompatibleBitmapTakesTheSurfaceDepthOfTheContext) {
    HDC screen = GetDC(nullptr);
    HBITMAP fromScreen = CreateCompatibleBitmap(screen, 4, 4);
    EXPECT_EQ(RecordOf(fromScreen).bmBitsPixel, 32);

    // The classic surprise, as published: a fresh memory context holds a monochrome bitmap.
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP fromFreshMemory = CreateCompatibleBitmap(memory, 4, 4);
    EXPECT_EQ(RecordOf(fromFreshMemory).bmBitsPixel, 1);

    HBITMAP eight = CreateBitmap(2, 2, 1, 8, nullptr);
    HGDIOBJ previous = SelectObject(memory, eight);
    HBITMAP fromEight = CreateCompatibleBitmap(memory, 4, 4);
    EXPECT_EQ(RecordOf(fromEight).bmBitsPixel, 8);

    EXPECT_REFUSED(CreateCompatibleBitmap(nullptr, 4, 4), nullptr, ERROR_INVALID_HANDLE);

    SelectObject(memory, previous);
    for (HBITMAP bitmap : {fromScreen, fromFreshMemory, eight, fromEight}) {
        EXPECT_TRUE(DeleteObject(bitmap));
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

TEST_F(BitmapCreationTest, InitialBitsAreTopDownWordPaddedRowsWithTheLeftmostPixelHighest) {
    // 1 bit: row 0 = 1000 0001 0..., row 1 = 0100 0000 (each row 2 bytes).
    const BYTE mono[] = {0x81, 0x00, 0x40, 0x00};
    HBITMAP bitmap = CreateBitmap(9, 2, 1, 1, mono);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    // Set bits are white: row 0 is 1000 0001 0, row 1 is 0100 0000 0.
    std::vector<COLORREF> expected(18, kBlack);
    expected[0] = expected[7] = expected[10] = kWhite;
    EXPECT_EQ(PixelsOf(dc, 9, 2), expected);
    EXPECT_EQ(GetPixel(dc, 9, 0), CLR_INVALID);
    SelectObject(dc, previous);
    DeleteObject(bitmap);

    // 16 bits: 5-5-5, little endian: 0x7C00 is pure red, 0x001F pure blue.
    const BYTE words[] = {0x00, 0x7C, 0x1F, 0x00};
    bitmap = CreateBitmap(2, 1, 1, 16, words);
    previous = SelectObject(dc, bitmap);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 0, 255));
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

using BitmapSelectionTest = LeakCheckedTest;

TEST_F(BitmapSelectionTest, MemoryContextStartsWithTheStockBitmapAndHoldsItsBitmapAlone) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP first = CreateBitmap(3, 3, 1, 24, nullptr);
    HBITMAP second = CreateBitmap(3, 3, 1, 8, nullptr);

    const auto stock = static_cast<HBITMAP>(SelectObject(dc, first));
    EXPECT_EQ(stock, CreateBitmap(0, 0, 1, 1, nullptr)) << "the stock 1 x 1 monochrome bitmap";
    EXPECT_EQ(SelectObject(dc, second), first);
    EXPECT_EQ(SelectObject(dc, second), second) << "reselecting is allowed";

    EXPECT_REFUSED(DeleteObject(second), FALSE, ERROR_BUSY) << "a selected bitmap stays alive";

    EXPECT_EQ(SelectObject(dc, stock), second);
    EXPECT_TRUE(DeleteObject(first));

    // A bitmap goes into one memory context only, and only bitmaps go in by SelectObject.
    HDC screen = GetDC(nullptr);
    HDC two = CreateCompatibleDC(nullptr);
    HPALETTE palette = PaletteOfColours({RGB(1, 2, 3)});
    ASSERT_EQ(SelectObject(dc, second), stock);
    EXPECT_REFUSED(SelectObject(two, second), nullptr, ERROR_BUSY);
    EXPECT_REFUSED(SelectObject(screen, CreateBitmap(0, 0, 1, 1, nullptr)), nullptr,
                   ERROR_INVALID_PARAMETER)
        << "a bitmap goes into memory contexts";
    EXPECT_REFUSED(SelectObject(two, palette), nullptr, ERROR_INVALID_PARAMETER)
        << "palettes go through SelectPalette";
    EXPECT_REFUSED(SelectObject(two, nullptr), nullptr, ERROR_INVALID_HANDLE);

    // Ending the context frees the bitmap for another one.
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(SelectObject(two, second), stock);
    SelectObject(two, stock);

    DeleteDC(two);
    EXPECT_TRUE(DeleteObject(second));
    DeleteObject(palette);
    ReleaseDC(nullptr, screen);
}

TEST_F(BitmapSelectionTest, FrameworkSelectionHandsBackTheCallersObjectOrATemporary) {
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    CBitmap first;
    CBitmap second;
    ASSERT_TRUE(first.CreateBitmap(4, 4, 1, 32, nullptr));
    ASSERT_TRUE(second.CreateCompatibleBitmap(&dc, 4, 4));
    BITMAP record{};
    EXPECT_GT(second.GetBitmap(&record), 0);
    EXPECT_EQ(record.bmBitsPixel, 1);
    CBitmap refused;
    EXPECT_REFUSED(refused.CreateBitmap(-1, 4, 1, 8, nullptr), FALSE, ERROR_INVALID_PARAMETER);

    CBitmap* stock = dc.SelectObject(&first);
    ASSERT_NE(stock, nullptr);
    EXPECT_NE(stock, &first);
    EXPECT_EQ(dc.SelectObject(&second), &first);
    EXPECT_EQ(dc.SetPixel(1, 1, RGB(200, 200, 200)), RGB(255, 255, 255));
    EXPECT_EQ(dc.GetPixel(1, 1), RGB(255, 255, 255));
    EXPECT_EQ(dc.SelectObject(stock), &second);
    // The temporary only borrowed the stock handle: the next context still gets a stock bitmap.
}

// Pixels drawn into a bitmap of each depth come back through GetPixel and GetDIBits.
class BitmapPixelsTest : public LeakCheckedTest, public ::testing::WithParamInterface<int> {};

TEST_P(BitmapPixelsTest, ColoursOfTheSelectedPaletteComeBackAtEveryDepth) {
    const int depth = GetParam();
    constexpr int kWidth = 5;
    constexpr int kHeight = 3;
    // Colours every depth holds exactly: the sixteen for indexed depths, their 5-5-5 versions
    // for 16 bits, black and white for 1 bit.
    auto colourAt = [depth](int x, int y) -> COLORREF {
        const int n = (x + kWidth * y) % 16;
        if (depth == 1) {
            return n % 2 == 0 ? RGB(0, 0, 0) : RGB(255, 255, 255);
        }
        const COLORREF colour = kSixteen[static_cast<std::size_t>(n)];
        if (depth == 16) {
            auto widen = [](BYTE v) { return static_cast<BYTE>((v & 0xF8) | (v >> 5)); };
            return RGB(widen(GetRValue(colour)), widen(GetGValue(colour)),
                       widen(GetBValue(colour)));
        }
        return colour;
    };
    MemorySurface surface(kWidth, kHeight, depth, PaletteOfColours(kSixteen));
    ASSERT_TRUE(surface.Ready());
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            EXPECT_EQ(SetPixel(surface.Dc(), x, y, colourAt(x, y)), colourAt(x, y));
        }
    }
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            EXPECT_EQ(GetPixel(surface.Dc(), x, y), colourAt(x, y)) << x << "," << y;
        }
    }

    // As a DIB of the bitmap's own depth (what a picture library builds), then of 8 bits (a
    // wider index) and of 32.
    for (const int dibDepth : {depth, std::max(depth, 8), 32}) {
        orvel::test::TestDib dib(kWidth, kHeight, dibDepth);
        dib.Header()->biSizeImage = 12345;
        ASSERT_EQ(GetDIBits(surface.Dc(), surface.Bitmap(), 0, kHeight, nullptr, dib.Info(),
                            DIB_RGB_COLORS),
                  kHeight);
        EXPECT_EQ(+dib.Header()->biSizeImage, dib.Stride() * kHeight);
        ASSERT_EQ(GetDIBits(surface.Dc(), surface.Bitmap(), 0, kHeight, dib.Bits(), dib.Info(),
                            DIB_RGB_COLORS),
                  kHeight);
        MemorySurface check(kWidth, kHeight, 32);
        ASSERT_EQ(StretchDIBits(check.Dc(), 0, 0, kWidth, kHeight, 0, 0, kWidth, kHeight,
                                dib.Bits(), dib.Info(), DIB_RGB_COLORS, SRCCOPY),
                  kHeight);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                EXPECT_EQ(GetPixel(check.Dc(), x, y), colourAt(x, y))
                    << "DIB of " << dibDepth << " bits at " << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, BitmapPixelsTest, ::testing::Values(1, 4, 8, 16, 24, 32));

using GetDIBitsTest = LeakCheckedTest;

TEST_F(GetDIBitsTest, NullBitsCompletesTheHeaderAndTheColourTableOfTheContextPalette) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateBitmap(6, 4, 1, 4, nullptr);
    HPALETTE palette = PaletteOfColours({RGB(9, 8, 7), RGB(1, 2, 3), RGB(200, 100, 50)});
    HPALETTE previous = SelectPalette(screen, palette, FALSE);
    RealizePalette(screen);

    orvel::test::TestDib dib(6, 4, 8);
    ASSERT_NE(GetDIBits(screen, bitmap, 0, 4, nullptr, dib.Info(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(+dib.Header()->biSizeImage, 8U * 4U);
    const RGBQUAD* table = dib.Info()->bmiColors;
    EXPECT_EQ(RGB(table[1].rgbRed, table[1].rgbGreen, table[1].rgbBlue), RGB(1, 2, 3));
    EXPECT_EQ(table[2].rgbRed, 200);
    EXPECT_EQ(table[3].rgbRed, 0) << "beyond the palette the table is black";
    EXPECT_EQ(table[255].rgbBlue, 0);

    // A biBitCount of 0 asks for the bitmap's own format, with no table.
    orvel::test::TestDib own(1, 1, 8);
    own.Header()->biBitCount = 0;
    own.Header()->biClrUsed = own.Header()->biClrImportant = 9; // a table the answer does not have
    own.Info()->bmiColors[0] = {77, 77, 77, 77};
    ASSERT_NE(GetDIBits(screen, bitmap, 0, 4, nullptr, own.Info(), DIB_RGB_COLORS), 0);
    EXPECT_EQ(+own.Header()->biWidth, 6);
    EXPECT_EQ(+own.Header()->biHeight, 4);
    EXPECT_EQ(own.Header()->biBitCount, 4);
    EXPECT_EQ(+own.Header()->biSizeImage, 4U * 4U);
    EXPECT_EQ(+own.Header()->biClrUsed + own.Header()->biClrImportant, 0U);
    EXPECT_EQ(own.Info()->bmiColors[0].rgbRed, 77);

    SelectPalette(screen, previous, TRUE);
    DeleteObject(palette);
    DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
}

TEST_F(GetDIBitsTest, ScanLinesCountFromTheBottomAndFillConsecutiveRows) {
    // Rows top to bottom hold the indexes 10, 20, 30, 40.
    const BYTE rows[] = {10, 10, 20, 20, 30, 30, 40, 40};
    HBITMAP bitmap = CreateBitmap(2, 4, 1, 8, rows);
    HDC screen = GetDC(nullptr);
    orvel::test::TestDib dib(2, 4, 8);
    std::vector<BYTE> out(4 * 4, 0xEE);

    EXPECT_EQ(GetDIBits(screen, bitmap, 1, 2, out.data(), dib.Info(), DIB_RGB_COLORS), 2);
    // Scan line 1 is the second row from the bottom (30), written first; then scan line 2 (20).
    // Row padding is zero, and nothing is written past the lines asked for.
    EXPECT_EQ(std::vector<BYTE>(out.begin(), out.begin() + 9),
              (std::vector<BYTE>{30, 30, 0, 0, 20, 20, 0, 0, 0xEE}));

    EXPECT_EQ(GetDIBits(screen, bitmap, 3, 10, out.data(), dib.Info(), DIB_RGB_COLORS), 1)
        << "only the lines the bitmap has";
    EXPECT_EQ(out[0], 10);

    // A top-down DIB gets the highest line of the range first.
    dib.Header()->biHeight = -4;
    EXPECT_EQ(GetDIBits(screen, bitmap, 0, 4, out.data(), dib.Info(), DIB_RGB_COLORS), 4);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[12], 40);

    DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
}

TEST_F(GetDIBitsTest, RefusesWhatItCannotServeWithTheErrorNumber) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 16, nullptr);
    orvel::test::TestDib dib(4, 4, 16);
    std::vector<BYTE> out(dib.Stride() * 4);
    auto call = [&](HDC dc, HBITMAP bm, UINT first, UINT count, LPBITMAPINFO info, UINT usage) {
        SetLastError(0);
        return GetDIBits(dc, bm, first, count, out.data(), info, usage);
    };

    EXPECT_REFUSED(call(nullptr, bitmap, 0, 4, dib.Info(), DIB_RGB_COLORS), 0,
                   ERROR_INVALID_HANDLE);
    EXPECT_REFUSED(call(screen, nullptr, 0, 4, dib.Info(), DIB_RGB_COLORS), 0,
                   ERROR_INVALID_HANDLE);
    EXPECT_REFUSED(call(screen, bitmap, 0, 4, nullptr, DIB_RGB_COLORS), 0, ERROR_INVALID_PARAMETER);
    EXPECT_REFUSED(call(screen, bitmap, 0, 4, dib.Info(), DIB_PAL_COLORS), 0,
                   ERROR_INVALID_PARAMETER);
    EXPECT_REFUSED(call(screen, bitmap, 4, 1, dib.Info(), DIB_RGB_COLORS), 0,
                   ERROR_INVALID_PARAMETER)
        << "first scan line beyond the bitmap";
    dib.Header()->biBitCount = 8;
    EXPECT_REFUSED(call(screen, bitmap, 0, 4, dib.Info(), DIB_RGB_COLORS), 0,
                   ERROR_INVALID_PARAMETER)
        << "below the bitmap's depth";
    dib.Header()->biBitCount = 16;

    // Selected into a memory context, the bitmap is read through that context only.
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    EXPECT_REFUSED(call(screen, bitmap, 0, 4, dib.Info(), DIB_RGB_COLORS), 0,
                   ERROR_INVALID_PARAMETER);
    EXPECT_EQ(call(memory, bitmap, 0, 4, dib.Info(), DIB_RGB_COLORS), 4);
    SelectObject(memory, previous);
    EXPECT_EQ(call(screen, bitmap, 0, 4, dib.Info(), DIB_RGB_COLORS), 4);

    orvel::testing::InjectFault(orvel::testing::kFaultGetDIBits, 1);
    EXPECT_REFUSED(call(screen, bitmap, 0, 4, dib.Info(), DIB_RGB_COLORS), 0,
                   ERROR_NOT_ENOUGH_MEMORY);

    DeleteDC(memory);
    DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
}

} // namespace
