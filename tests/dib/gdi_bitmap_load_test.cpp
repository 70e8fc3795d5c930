// Pictures from device-dependent bitmaps: colours drawn into a bitmap through a memory context
// come back from the picture at every depth; handles that are no readable bitmap and platform
// failures leave an empty object.
#include "picture_reader.h"

#include <string>

namespace {

using namespace orvel::test;

constexpr int kWidth = 7; // odd, so that rows of every depth end in padding
constexpr int kHeight = 3;

/// A bitmap load realises its palette into the system palette; each test starts afresh.
class GdiBitmapTest : public LeakCheckedTest {
protected:
    void TearDown() override {
        orvel::testing::ResetSystemPalette();
        LeakCheckedTest::TearDown();
    }
};

/// Colours a bitmap of `depth` bits holds exactly: black and white for 1 bit, palette colours
/// for 4 and 8 bits, widened 5-5-5 colours for 16 bits, any colour above.
COLORREF ExactColour(int depth, int x, int y) {
    static const std::vector<COLORREF> halftone = HalftoneColours();
    auto widen = [](int five) { return static_cast<BYTE>((five << 3) | (five >> 2)); };
    switch (depth) {
    case 1:
        return (x + y) % 2 == 0 ? RGB(0, 0, 0) : RGB(255, 255, 255);
    case 4:
        return kSixteen[static_cast<std::size_t>(x + 5 * y) % 16];
    case 8:
        return halftone[static_cast<std::size_t>(37 * x + 101 * y) % 256];
    case 16:
        return RGB(widen(4 * x + 3), widen(31 - 7 * y), widen(x * y));
    default:
        return RGB(36 * x + 1, 85 * y + 2, 17 * x * y + 3);
    }
}

/// Draws ExactColour into a new bitmap through a memory context with `palette` selected, then
/// takes the bitmap out of the context so that another context can read it.
void DrawBitmap(CBitmap& bitmap, int depth, CPalette* palette) {
    ASSERT_TRUE(bitmap.CreateBitmap(kWidth, kHeight, 1, static_cast<UINT>(depth), nullptr));
    CDC memory;
    ASSERT_TRUE(memory.CreateCompatibleDC(nullptr));
    if (palette != nullptr) {
        memory.SelectPalette(palette, FALSE);
    }
    CBitmap* previous = memory.SelectObject(&bitmap);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            ASSERT_EQ(memory.SetPixel(x, y, ExactColour(depth, x, y)), ExactColour(depth, x, y));
        }
    }
    memory.SelectObject(previous);
}

/// The palette a bitmap of `depth` bits is drawn with: one that holds its colours exactly.
void DrawingPalette(CPalette& palette, int depth) {
    ASSERT_TRUE(palette.Attach(PaletteOfColours(StandardPalette(static_cast<WORD>(depth)))));
}

using BitmapPictureTest = GdiBitmapTest;

// At every depth, with and without the palette the bitmap was drawn with given to the load.
TEST_F(BitmapPictureTest, PictureShowsTheColoursDrawnIntoTheBitmap) {
    const struct {
        int depth;
        bool passPalette;
    } cases[] = {{1, true},  {4, true},   {8, true},   {8, false}, {16, false},
                 {16, true}, {24, false}, {32, false}, {32, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.depth) + (c.passPalette ? " bits, palette given" : " bits"));
        orvel::testing::ResetSystemPalette();
        CPalette palette;
        DrawingPalette(palette, c.depth);
        CBitmap bitmap;
        ASSERT_NO_FATAL_FAILURE(DrawBitmap(bitmap, c.depth, &palette));
        TestDib dib(bitmap, c.passPalette ? &palette : nullptr);
        ASSERT_EQ(StatusOf(dib), kSuccess);
        EXPECT_EQ(dib.GetColorNum(), c.depth);
        EXPECT_EQ(dib.GetSize(), CSize(kWidth, kHeight));
        const Bytes block = BlockBytes(dib.GetSafeHandle());
        const std::uint32_t stride = (kWidth * c.depth + 31) / 32 * 4;
        EXPECT_EQ(U32At(block, 10), 54 + (c.depth <= 8 ? 4U << c.depth : 0U));
        EXPECT_EQ(block.size(), U32At(block, 10) + stride * kHeight);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                EXPECT_EQ(ColourAt(block, x, y), ExactColour(c.depth, x, y)) << x << "," << y;
            }
            // Whole padding bytes after the row's pixels are 0.
            const std::size_t rowEnd = U32At(block, 10) + (y + 1) * stride;
            for (std::size_t i = U32At(block, 10) + y * stride + (kWidth * c.depth + 7) / 8;
                 i < rowEnd; ++i) {
                EXPECT_EQ(block[i], 0) << "padding of row " << y;
            }
        }
        EXPECT_NE(palette.GetEntryCount(), 0) << "borrowed, not taken";
    }
}

TEST_F(BitmapPictureTest, WithoutAPaletteTheTableIsTheHalftonesFirstColoursAndIndexesStay) {
    // So a monochrome bitmap's white shows as the halftone palette's second colour: callers
    // pass a two-colour palette to keep black and white.
    const std::vector<COLORREF> halftone = HalftoneColours();
    for (const int depth : {1, 4, 8}) {
        CPalette palette;
        DrawingPalette(palette, depth);
        CBitmap bitmap;
        ASSERT_NO_FATAL_FAILURE(DrawBitmap(bitmap, depth, &palette));
        TestDib dib(bitmap, nullptr);
        const Bytes block = BlockBytes(dib.GetSafeHandle());
        EXPECT_EQ(TableOf(block),
                  std::vector<COLORREF>(halftone.begin(), halftone.begin() + (1 << depth)));
        for (int x = 0; x < kWidth; ++x) {
            const DWORD drawn = palette.GetNearestPaletteIndex(ExactColour(depth, x, 1));
            EXPECT_EQ(PixelValue(block, x, 1), drawn) << depth << " bits, x " << x;
        }
    }
}

// Handles that are no readable bitmap are invalid handles; a bitmap a memory context holds
// cannot be read until the context lets it go.
TEST_F(BitmapPictureTest, BitmapsThatCannotBeReadLeaveAnEmptyObject) {
    CBitmap destroyed;
    ASSERT_TRUE(destroyed.CreateBitmap(2, 2, 1, 8, nullptr));
    HGDIOBJ staleHandle = destroyed.m_hObject;
    destroyed.DeleteObject();
    CPalette palette;
    ASSERT_TRUE(palette.Attach(PaletteOfColours(kSixteen)));
    CBitmap empty;
    CBitmap stale;
    CBitmap notABitmap;
    CBitmap selected;
    stale.Attach(staleHandle);
    notABitmap.Attach(palette.m_hObject); // reads as a palette's entry count
    ASSERT_TRUE(selected.CreateBitmap(4, 4, 1, 24, nullptr));
    CDC memory;
    ASSERT_TRUE(memory.CreateCompatibleDC(nullptr));
    CBitmap* previous = memory.SelectObject(&selected);
    const struct {
        const CBitmap* bitmap;
        Status status;
    } rows[] = {{&empty, SystemError(ERROR_INVALID_HANDLE)},
                {&stale, SystemError(ERROR_INVALID_HANDLE)},
                {&notABitmap, SystemError(ERROR_INVALID_HANDLE)},
                {&selected, SystemError(ERROR_INVALID_PARAMETER)}};
    for (const auto& row : rows) {
        TestDib dib(EightBitFile());
        EXPECT_FALSE(dib.Load(*row.bitmap, nullptr));
        EXPECT_EQ(StatusOf(dib), row.status);
        EXPECT_TRUE(HoldsNothing(dib));
    }
    memory.SelectObject(previous);
    EXPECT_EQ(StatusOf(TestDib(selected, nullptr)), kSuccess);
    stale.Detach();
    notABitmap.Detach();
}

TEST_F(BitmapPictureTest, EachFailingStepReportsItsStatusAndLeavesTheObjectEmpty) {
    CPalette palette;
    DrawingPalette(palette, 8);
    CBitmap bitmap;
    ASSERT_NO_FATAL_FAILURE(DrawBitmap(bitmap, 8, &palette));
    // The block and GetDIBits have one status each, which the library sweep proves; it cannot
    // tell these steps' statuses apart, and lets a refused screen context pass as absorbed.
    const struct {
        orvel::testing::FaultSite site;
        long nth;
        Status status;
    } steps[] = {
        {orvel::testing::kFaultGlobalLock, 1, SystemError(ERROR_DISCARDED)},
        {orvel::testing::kFaultDeviceContext, 1, SystemError(ERROR_INVALID_HANDLE)},
        {orvel::testing::kFaultObjectAlloc, 1, ClassError(3)},
        {orvel::testing::kFaultCreatePalette, 1, ClassError(4)},
    };
    for (const auto& step : steps) {
        TestDib dib(EightBitFile());
        orvel::testing::InjectFault(step.site, step.nth);
        EXPECT_FALSE(dib.Load(bitmap, &palette));
        EXPECT_EQ(StatusOf(dib), step.status) << "site " << step.site;
        EXPECT_TRUE(HoldsNothing(dib)) << "site " << step.site;
    }
    // The first GetDIBits only completes a header the load has already written.
    orvel::testing::InjectFault(orvel::testing::kFaultGetDIBits, 1);
    TestDib dib(bitmap, &palette);
    EXPECT_EQ(StatusOf(dib), kSuccess);
}

} // namespace
