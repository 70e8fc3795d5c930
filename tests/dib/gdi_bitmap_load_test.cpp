// Pictures from device-dependent bitmaps: colours drawn into a bitmap through a memory context
// come back from the picture at every depth; handles that are no readable bitmap, and failures of
// the platform, leave an empty object and nothing behind.
#include "dib_test_support.h"
#include "picture_reader.h"
#include "support/live_objects.h"

#include <functional>
#include <string>

namespace {

using namespace orvel::test;
using orvel::testing::InjectFault;

constexpr int kWidth = 7; // odd, so that rows of every depth end in padding
constexpr int kHeight = 3;

/// Resets the system palette, which a bitmap load realises its palette into.
class GdiBitmapTest : public LeakCheckedTest {
protected:
    void TearDown() override {
        orvel::testing::ResetSystemPalette();
        LeakCheckedTest::TearDown();
    }
};

using ColourAtFn = std::function<COLORREF(int x, int y)>;

/// Makes `bitmap` a bitmap of `depth` bits and draws colourAt(x, y) into each pixel through a
/// memory context with `palette` selected (when given), then takes the bitmap out of the context
/// again so that it can be read through another.
void DrawBitmap(CBitmap& bitmap, int depth, CPalette* palette, const ColourAtFn& colourAt) {
    ASSERT_TRUE(bitmap.CreateBitmap(kWidth, kHeight, 1, static_cast<UINT>(depth), nullptr));
    CDC memory;
    ASSERT_TRUE(memory.CreateCompatibleDC(nullptr));
    CPalette* previousPalette = palette != nullptr ? memory.SelectPalette(palette, FALSE) : nullptr;
    CBitmap* previousBitmap = memory.SelectObject(&bitmap);
    ASSERT_NE(previousBitmap, nullptr);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            // Only colours the bitmap holds exactly are drawn, so what is drawn is what it keeps.
            ASSERT_EQ(memory.SetPixel(x, y, colourAt(x, y)), colourAt(x, y)) << x << "," << y;
        }
    }
    memory.SelectObject(previousBitmap);
    if (previousPalette != nullptr) {
        memory.SelectPalette(previousPalette, TRUE);
    }
}

/// Every row's padding bytes (after the bytes its pixels need) are 0.
::testing::AssertionResult PaddingIsZero(const Bytes& block) {
    const BITMAPINFOHEADER header = HeaderOf(block);
    const std::size_t stride = StrideOf(header);
    const std::size_t used = (static_cast<std::size_t>(header.biWidth) * header.biBitCount + 7) / 8;
    for (int row = 0; row < header.biHeight; ++row) {
        const std::size_t start = U32At(block, 10) + static_cast<std::size_t>(row) * stride;
        for (std::size_t i = used; i < stride; ++i) {
            if (block.at(start + i) != 0) {
                return ::testing::AssertionFailure() << "row " << row << " byte " << i;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

enum class PaletteKind { None, TwoColour, Sixteen, Halftone };

void MakeKnownPalette(CPalette& palette, PaletteKind kind) {
    switch (kind) {
    case PaletteKind::TwoColour:
        MakePalette(palette, {RGB(0, 0, 0), RGB(255, 255, 255)});
        break;
    case PaletteKind::Sixteen:
        MakePalette(palette, SixteenColours());
        break;
    case PaletteKind::Halftone:
        MakePalette(palette, HalftoneColours());
        break;
    case PaletteKind::None:
        break;
    }
}

/// Colours a bitmap of `depth` bits holds exactly: palette colours for indexed depths (black
/// and white for 1 bit), 5-5-5 colours widened for 16 bits, any colour above.
ColourAtFn ExactColours(int depth) {
    switch (depth) {
    case 1:
        return [](int x, int y) { return (x + y) % 2 == 0 ? RGB(0, 0, 0) : RGB(255, 255, 255); };
    case 4:
        return [](int x, int y) { return SixteenColours()[(x + 5 * y) % 16]; };
    case 8:
        return [colours = HalftoneColours()](int x, int y) {
            return colours[static_cast<std::size_t>(37 * x + 101 * y) % colours.size()];
        };
    case 16:
        return [](int x, int y) {
            auto widen = [](int five) { return static_cast<BYTE>((five << 3) | (five >> 2)); };
            return RGB(widen(4 * x + 3), widen(31 - 7 * y), widen((x * y) % 32));
        };
    default:
        return [](int x, int y) {
            return RGB(static_cast<BYTE>(36 * x + 1), static_cast<BYTE>(85 * y + 2),
                       static_cast<BYTE>(17 * x * y + 3));
        };
    }
}

// ---------------------------------------------------------------------------------------------
// The colours drawn come back.

struct RoundTrip {
    const char* name;
    int depth;
    PaletteKind drawnWith; ///< the palette selected while drawing
    bool passPalette;      ///< whether that palette is also given to the load
};

void PrintTo(const RoundTrip& value, std::ostream* out) {
    *out << value.name;
}

class BitmapRoundTripTest : public GdiBitmapTest,
                            public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(BitmapRoundTripTest, PictureShowsTheColoursDrawnIntoTheBitmap) {
    const RoundTrip& c = GetParam();
    CPalette palette;
    MakeKnownPalette(palette, c.drawnWith);
    CPalette* drawingPalette = c.drawnWith == PaletteKind::None ? nullptr : &palette;
    const ColourAtFn colourAt = ExactColours(c.depth);
    CBitmap bitmap;
    ASSERT_NO_FATAL_FAILURE(DrawBitmap(bitmap, c.depth, drawingPalette, colourAt));

    TestDib dib(bitmap, c.passPalette ? drawingPalette : nullptr);
    ASSERT_EQ(StatusOf(dib), kSuccess);
    EXPECT_EQ(dib.GetColorNum(), c.depth);
    EXPECT_EQ(dib.GetSize(), CSize(kWidth, kHeight));
    const Bytes block = BlockBytes(dib.GetSafeHandle());
    const BITMAPINFOHEADER header = HeaderOf(block);
    const std::uint32_t entries = c.depth <= 8 ? 1U << c.depth : 0;
    EXPECT_EQ(U32At(block, 10), 54 + 4 * entries);
    EXPECT_EQ(U32At(block, 2), block.size());
    EXPECT_EQ(+header.biSizeImage, StrideOf(header) * kHeight);
    EXPECT_EQ(+header.biCompression, BI_RGB);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            EXPECT_EQ(ColourAt(block, x, y), colourAt(x, y)) << x << "," << y;
        }
    }
    EXPECT_TRUE(PaddingIsZero(block));
    EXPECT_EQ(dib.GetPalette()->GetEntryCount(), c.depth <= 8 ? static_cast<int>(entries) : 256);
    // The caller's palette is only borrowed.
    if (drawingPalette != nullptr) {
        EXPECT_EQ(GetObjectType(palette.m_hObject), OBJ_PAL);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryDepth, BitmapRoundTripTest,
    ::testing::Values(RoundTrip{"Mono", 1, PaletteKind::TwoColour, true},
                      RoundTrip{"Four", 4, PaletteKind::Sixteen, true},
                      RoundTrip{"Eight", 8, PaletteKind::Halftone, true},
                      // Without a palette the object's own halftone palette gives the colours.
                      RoundTrip{"EightOwnHalftone", 8, PaletteKind::Halftone, false},
                      RoundTrip{"Sixteen", 16, PaletteKind::None, false},
                      RoundTrip{"SixteenPaletteIgnored", 16, PaletteKind::Halftone, true},
                      RoundTrip{"TwentyFour", 24, PaletteKind::None, false},
                      RoundTrip{"TwentyFourPaletteIgnored", 24, PaletteKind::Sixteen, true},
                      RoundTrip{"ThirtyTwo", 32, PaletteKind::None, false},
                      RoundTrip{"ThirtyTwoPaletteIgnored", 32, PaletteKind::TwoColour, true}),
    [](const auto& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------------------------------------
// Colour tables.

using BitmapTableTest = GdiBitmapTest;

TEST_F(BitmapTableTest, WithoutAPaletteTheTableIsTheHalftonePalettesFirstColours) {
    // The pixels keep their indexes; the colours are the halftone palette's, as many as the
    // depth has entries. A monochrome bitmap therefore shows its white pixels in the halftone
    // palette's second colour: callers pass a two-colour palette to keep black and white.
    const std::vector<COLORREF> halftone = HalftoneColours();
    CPalette sixteen;
    MakePalette(sixteen, SixteenColours());
    CPalette halftonePalette;
    MakePalette(halftonePalette, halftone);
    for (const int depth : {1, 4, 8}) {
        const ColourAtFn colourAt = ExactColours(depth);
        CBitmap bitmap;
        ASSERT_NO_FATAL_FAILURE(
            DrawBitmap(bitmap, depth, depth == 4 ? &sixteen : &halftonePalette, colourAt));
        TestDib dib(bitmap, nullptr);
        ASSERT_EQ(StatusOf(dib), kSuccess) << depth;
        const Bytes block = BlockBytes(dib.GetSafeHandle());
        const std::vector<COLORREF> table = TableOf(block);
        EXPECT_EQ(table, std::vector<COLORREF>(halftone.begin(),
                                               halftone.begin() + (std::ptrdiff_t{1} << depth)))
            << depth;
        const std::vector<COLORREF>& drawnTable =
            depth == 1   ? std::vector<COLORREF>{RGB(0, 0, 0), RGB(255, 255, 255)}
            : depth == 4 ? SixteenColours()
                         : halftone;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                EXPECT_EQ(drawnTable.at(PixelValue(block, x, y)), colourAt(x, y))
                    << depth << " bits at " << x << "," << y;
            }
        }
    }
}

TEST_F(BitmapTableTest, ShortPaletteGivesTheFirstEntriesAndTheColoursStay) {
    const std::vector<COLORREF> eight = {RGB(10, 0, 0),   RGB(0, 20, 0),   RGB(0, 0, 30),
                                         RGB(40, 40, 0),  RGB(0, 50, 50),  RGB(60, 0, 60),
                                         RGB(70, 70, 70), RGB(80, 90, 100)};
    CPalette palette;
    MakePalette(palette, eight);
    CBitmap bitmap;
    ASSERT_NO_FATAL_FAILURE(
        DrawBitmap(bitmap, 8, &palette, [&eight](int x, int y) { return eight[(x + y) % 8]; }));
    TestDib dib;
    ASSERT_TRUE(dib.Load(bitmap, &palette));
    const Bytes block = BlockBytes(dib.GetSafeHandle());
    const std::vector<COLORREF> table = TableOf(block);
    ASSERT_EQ(table.size(), 256U);
    EXPECT_EQ(std::vector<COLORREF>(table.begin(), table.begin() + 8), eight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            EXPECT_EQ(ColourAt(block, x, y), eight[(x + y) % 8]) << x << "," << y;
        }
    }
}

TEST_F(BitmapTableTest, ReloadingReplacesThePicture) {
    CBitmap mono;
    CBitmap direct;
    ASSERT_NO_FATAL_FAILURE(DrawBitmap(mono, 1, nullptr, ExactColours(1)));
    ASSERT_NO_FATAL_FAILURE(DrawBitmap(direct, 24, nullptr, ExactColours(24)));
    TestDib dib(mono, nullptr);
    ASSERT_EQ(dib.GetColorNum(), 1);
    ASSERT_TRUE(dib.Load(direct, nullptr));
    EXPECT_EQ(dib.GetColorNum(), 24);
    EXPECT_EQ(ColourAt(BlockBytes(dib.GetSafeHandle()), 6, 2), ExactColours(24)(6, 2));
}

// ---------------------------------------------------------------------------------------------
// Failures: the object is left empty, and nothing is left behind.

using BitmapFailureTest = GdiBitmapTest;

TEST_F(BitmapFailureTest, HandlesThatAreNoReadableBitmapAreInvalidHandles) {
    TestDib dib;
    CBitmap empty;
    ASSERT_TRUE(LoadImage(dib, EightBitFile()));
    EXPECT_FALSE(dib.Load(empty, nullptr));
    EXPECT_EQ(StatusOf(dib), SystemError(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(HoldsNothing(dib));

    CBitmap destroyed;
    ASSERT_TRUE(destroyed.CreateBitmap(2, 2, 1, 8, nullptr));
    HGDIOBJ stale = destroyed.m_hObject;
    ASSERT_TRUE(destroyed.DeleteObject());
    CBitmap staleWrapper;
    staleWrapper.Attach(stale);
    ASSERT_TRUE(LoadImage(dib, EightBitFile()));
    EXPECT_FALSE(dib.Load(staleWrapper, nullptr));
    EXPECT_EQ(StatusOf(dib), SystemError(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(HoldsNothing(dib));
    staleWrapper.Detach();

    // A palette handle reads as a palette's entry count, not as a bitmap record.
    CPalette palette;
    MakePalette(palette, SixteenColours());
    CBitmap notABitmap;
    notABitmap.Attach(palette.m_hObject);
    ASSERT_TRUE(LoadImage(dib, EightBitFile()));
    EXPECT_FALSE(dib.Load(notABitmap, nullptr));
    EXPECT_EQ(StatusOf(dib), SystemError(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(HoldsNothing(dib));
    notABitmap.Detach();
    EXPECT_EQ(palette.GetEntryCount(), 16);
}

TEST_F(BitmapFailureTest, BitmapSelectedIntoAMemoryContextCannotBeRead) {
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateBitmap(4, 4, 1, 24, nullptr));
    CDC memory;
    ASSERT_TRUE(memory.CreateCompatibleDC(nullptr));
    CBitmap* previous = memory.SelectObject(&bitmap);
    TestDib dib(bitmap, nullptr);
    EXPECT_EQ(StatusOf(dib), SystemError(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(HoldsNothing(dib));
    memory.SelectObject(previous);
    EXPECT_TRUE(dib.Load(bitmap, nullptr)) << "once out of the context it reads";
}

struct InjectedFailure {
    const char* name;
    orvel::testing::FaultSite site;
    long nth;
    Status status;
};

void PrintTo(const InjectedFailure& value, std::ostream* out) {
    *out << value.name;
}

class BitmapInjectedFailureTest : public GdiBitmapTest,
                                  public ::testing::WithParamInterface<InjectedFailure> {};

TEST_P(BitmapInjectedFailureTest, FailureLeavesTheObjectEmpty) {
    CPalette palette;
    MakeKnownPalette(palette, PaletteKind::Halftone);
    CBitmap bitmap;
    ASSERT_NO_FATAL_FAILURE(DrawBitmap(bitmap, 8, &palette, ExactColours(8)));
    TestDib dib;
    ASSERT_TRUE(LoadImage(dib, EightBitFile()));
    InjectFault(GetParam().site, GetParam().nth);
    EXPECT_FALSE(dib.Load(bitmap, &palette));
    EXPECT_TRUE(orvel::testing::FaultFired());
    EXPECT_EQ(StatusOf(dib), GetParam().status);
    EXPECT_TRUE(HoldsNothing(dib));
}

INSTANTIATE_TEST_SUITE_P(
    Sites, BitmapInjectedFailureTest,
    ::testing::Values(
        InjectedFailure{"BlockAllocation", orvel::testing::kFaultGlobalAlloc, 1,
                        SystemError(ERROR_NOT_ENOUGH_MEMORY)},
        InjectedFailure{"BlockLock", orvel::testing::kFaultGlobalLock, 1,
                        SystemError(ERROR_DISCARDED)},
        InjectedFailure{"ReadingThePixels", orvel::testing::kFaultGetDIBits, 2,
                        SystemError(ERROR_NOT_ENOUGH_MEMORY)},
        InjectedFailure{"ScreenContext", orvel::testing::kFaultDeviceContext, 1,
                        SystemError(ERROR_INVALID_HANDLE)},
        InjectedFailure{"PaletteObject", orvel::testing::kFaultObjectAlloc, 1, ClassError(3)},
        InjectedFailure{"LogicalPalette", orvel::testing::kFaultCreatePalette, 1, ClassError(4)}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(BitmapFailureTest, HeaderCompletionFailingAloneStillGivesThePicture) {
    CBitmap bitmap;
    ASSERT_NO_FATAL_FAILURE(DrawBitmap(bitmap, 24, nullptr, ExactColours(24)));
    TestDib reference(bitmap, nullptr);
    InjectFault(orvel::testing::kFaultGetDIBits, 1);
    TestDib dib(bitmap, nullptr);
    EXPECT_TRUE(orvel::testing::FaultFired());
    ASSERT_EQ(StatusOf(dib), kSuccess);
    EXPECT_EQ(PixelArea(dib), PixelArea(reference));
}

class BitmapFaultSweepTest : public GdiBitmapTest,
                             public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(BitmapFaultSweepTest, EveryFailureGivesAPictureOrAnEmptyObject) {
    const RoundTrip& c = GetParam();
    CPalette palette;
    MakeKnownPalette(palette, c.drawnWith);
    CPalette* drawingPalette = c.drawnWith == PaletteKind::None ? nullptr : &palette;
    CBitmap bitmap;
    ASSERT_NO_FATAL_FAILURE(DrawBitmap(bitmap, c.depth, drawingPalette, ExactColours(c.depth)));
    for (long nth = 1;; ++nth) {
        LiveObjects live;
        {
            TestDib dib;
            ASSERT_TRUE(LoadImage(dib, EightBitFile()));
            InjectFault(orvel::testing::kFaultAllSites, nth);
            const BOOL result = dib.Load(bitmap, c.passPalette ? drawingPalette : nullptr);
            const bool reached = orvel::testing::FaultFired();
            orvel::testing::ClearFault();
            if (result) {
                EXPECT_EQ(StatusOf(dib), kSuccess) << "call " << nth;
                EXPECT_NE(dib.GetPalette(), nullptr) << "call " << nth;
            } else {
                EXPECT_TRUE(HoldsNothing(dib)) << "call " << nth;
            }
            if (!reached) {
                EXPECT_TRUE(result) << "nothing failed at call " << nth;
                break;
            }
        }
        EXPECT_TRUE(live.Unchanged()) << "call " << nth;
    }
}

INSTANTIATE_TEST_SUITE_P(Loads, BitmapFaultSweepTest,
                         ::testing::Values(RoundTrip{"Mono", 1, PaletteKind::TwoColour, true},
                                           RoundTrip{"Eight", 8, PaletteKind::Halftone, false},
                                           RoundTrip{"TwentyFour", 24, PaletteKind::None, false}),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
