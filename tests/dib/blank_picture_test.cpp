// Blank pictures: by size and depth, and by a caller's header and colour table, filled with one
// colour. The bytes of each block are compared with what a BMP reader expects, padding included.
#include "dib_test_support.h"
#include "picture_reader.h"
#include "support/live_objects.h"

#include <algorithm>
#include <functional>
#include <string>

namespace {

using namespace orvel::test;
using orvel::testing::FaultSiteCalls;
using orvel::testing::InjectFault;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
// The halftone palette keeps red at 36 x 5 (the red level 5 of its 6 x 6 x 6 cube).
constexpr std::uint8_t kHalftoneRed = 180;

/// A BITMAPINFO: a 40-byte header and `table` after it.
Bytes HeaderAndTable(const Info& info, const Bytes& table, std::uint32_t headerSize = 40) {
    ByteBuilder b;
    b.U32(headerSize).I32(info.width).I32(info.height).U16(info.planes).U16(info.bitCount);
    b.U32(info.compression)
        .U32(info.sizeImage)
        .I32(0)
        .I32(0)
        .U32(info.clrUsed)
        .U32(info.clrImportant);
    EXPECT_EQ(b.Size(), 40U);
    b.Bytes(table);
    return b.Get();
}

BITMAPINFO* AsInfo(Bytes& bytes) {
    return reinterpret_cast<BITMAPINFO*>(bytes.data());
}

/// An object that holds a picture, so a test sees whether a load released it.
void HoldAPicture(TestDib& dib) {
    ASSERT_TRUE(LoadImage(dib, EightBitFile()));
}

// ---------------------------------------------------------------------------------------------
// Fill bytes, padding and block layout at every depth.

struct FillCase {
    const char* name;
    CSize size;
    int bitCount;
    COLORREF colour;
    std::uint32_t tableEntries;
    Bytes pixels; ///< the whole pixel area, bottom row first
};

void PrintTo(const FillCase& value, std::ostream* out) {
    *out << value.name;
}

std::vector<FillCase> FillCases() {
    return {
        // 1 bit: the whole image, padding included, is 0xFF for white and 0x00 for black.
        {"MonoWhite9x2", {9, 2}, 1, kWhite, 2, Bytes(8, 0xFF)},
        {"MonoBlack9x2", {9, 2}, 1, kBlack, 2, Bytes(8, 0x00)},
        {"MonoNearWhite", {1, 1}, 1, RGB(200, 190, 180), 2, Bytes(4, 0xFF)},
        // 4 bits: entry 5 of the sixteen colours is purple; both nibbles of every byte hold it.
        {"FourBitPurple3x2", {3, 2}, 4, RGB(128, 0, 128), 16, Bytes(8, 0x55)},
        {"FourBitRed", {9, 1}, 4, kRed, 16, Bytes(8, 0xBB)},
        // 8 bits: every byte of each 4-byte row, the padding byte too.
        {"EightBitRed3x2", {3, 2}, 8, kRed, 256, Bytes(8, kHalftoneRed)},
        {"EightBitWhite", {5, 1}, 8, kWhite, 256, Bytes(8, 215)},
        // 16 bits, 5-5-5: red 255 >> 3, green 128 >> 3, blue 8 >> 3 gives 0x7E01; an odd width
        // leaves two padding bytes of 0 per row.
        {"Sixteen3x2", {3, 2}, 16, RGB(255, 128, 8), 0, RepeatedRows({0x01, 0x7E}, 3, 2, 2)},
        {"SixteenEvenWidth", {2, 2}, 16, RGB(255, 128, 8), 0, RepeatedRows({0x01, 0x7E}, 2, 0, 2)},
        {"SixteenLowBitsDropped", {1, 1}, 16, RGB(7, 7, 7), 0, Bytes(4, 0)},
        // 24 bits: blue, green, red repeated, then the row's padding of 0.
        {"TwentyFour5x2",
         {5, 2},
         24,
         RGB(0x11, 0x22, 0x33),
         0,
         RepeatedRows({0x33, 0x22, 0x11}, 5, 1, 2)},
        {"TwentyFourOneWide",
         {1, 3},
         24,
         RGB(0x11, 0x22, 0x33),
         0,
         RepeatedRows({0x33, 0x22, 0x11}, 1, 1, 3)},
        {"TwentyFourNoPadding", {4, 1}, 24, RGB(1, 2, 3), 0, RepeatedRows({3, 2, 1}, 4, 0, 1)},
        {"TwentyFourWide", {37, 3}, 24, RGB(9, 8, 7), 0, RepeatedRows({7, 8, 9}, 37, 1, 3)},
        // 32 bits: blue, green, red and a fourth byte 0, whatever the colour's top byte holds.
        {"ThirtyTwo3x2",
         {3, 2},
         32,
         RGB(1, 2, 3) | 0xFF000000U,
         0,
         RepeatedRows({3, 2, 1, 0}, 3, 0, 2)},
        // No rows, or rows without pixels: a valid picture with an empty pixel area.
        {"NoRows", {5, 0}, 24, kRed, 0, {}},
        {"NoColumns", {0, 4}, 32, kRed, 0, {}},
        {"NoRowsIndexed", {7, 0}, 8, kRed, 256, {}},
    };
}

class BlankFillTest : public LeakCheckedTest, public ::testing::WithParamInterface<FillCase> {};

TEST_P(BlankFillTest, BlockHoldsTheColourInEveryPixelAndZeroPadding) {
    const FillCase& c = GetParam();
    TestDib dib;
    HoldAPicture(dib);
    ASSERT_TRUE(dib.Load(c.size, c.colour, c.bitCount, nullptr));
    EXPECT_EQ(StatusOf(dib), kSuccess);
    const Bytes block = BlockBytes(dib.GetSafeHandle());
    const std::uint32_t pixelOffset = 54 + 4 * c.tableEntries;
    ASSERT_EQ(block.size(), pixelOffset + c.pixels.size());
    EXPECT_EQ(U32At(block, 2), block.size()) << "bfSize";
    EXPECT_EQ(U32At(block, 10), pixelOffset) << "bfOffBits";
    const BITMAPINFOHEADER header = HeaderOf(block);
    EXPECT_EQ(+header.biWidth, c.size.cx);
    EXPECT_EQ(+header.biHeight, c.size.cy);
    EXPECT_EQ(+header.biBitCount, c.bitCount);
    EXPECT_EQ(+header.biCompression, BI_RGB);
    EXPECT_EQ(+header.biSizeImage, c.pixels.size());
    EXPECT_EQ(Bytes(block.begin() + pixelOffset, block.end()), c.pixels);
    EXPECT_EQ(dib.GetSize(), c.size);
    EXPECT_EQ(dib.GetColorNum(), c.bitCount);
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, BlankFillTest, ::testing::ValuesIn(FillCases()),
                         [](const auto& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------------------------------------
// Colour tables.

using BlankTableTest = LeakCheckedTest;

TEST_F(BlankTableTest, WithoutAPaletteEachIndexedDepthGetsItsStandardColours) {
    TestDib mono(CSize(2, 2), kWhite, 1, nullptr);
    EXPECT_EQ(TableOf(BlockBytes(mono.GetSafeHandle())), (std::vector<COLORREF>{kBlack, kWhite}));

    TestDib four(CSize(2, 2), kWhite, 4, nullptr);
    EXPECT_EQ(TableOf(BlockBytes(four.GetSafeHandle())), SixteenColours());

    TestDib eight(CSize(3, 2), kRed, 8, nullptr);
    const std::vector<COLORREF> table = TableOf(BlockBytes(eight.GetSafeHandle()));
    EXPECT_EQ(table, HalftoneColours());
    EXPECT_EQ(table.at(kHalftoneRed), kRed);
    // The logical palette is the table, in table order, so the fill index is a table index.
    EXPECT_EQ(eight.GetPalette()->GetEntryCount(), 256);
}

TEST_F(BlankTableTest, ShortCallerPaletteLeavesTheRestOfTheTableZero) {
    const std::vector<COLORREF> eight = {RGB(10, 0, 0),   RGB(0, 20, 0),   RGB(0, 0, 30),
                                         RGB(40, 40, 0),  RGB(0, 50, 50),  RGB(60, 0, 60),
                                         RGB(70, 70, 70), RGB(80, 90, 100)};
    CPalette palette;
    MakePalette(palette, eight);
    TestDib dib(CSize(3, 1), RGB(60, 0, 60), 4, &palette);
    ASSERT_EQ(StatusOf(dib), kSuccess);
    std::vector<COLORREF> expected = eight;
    expected.resize(16, kBlack);
    EXPECT_EQ(TableOf(BlockBytes(dib.GetSafeHandle())), expected);
    EXPECT_EQ(PixelArea(dib), Bytes(4, 0x55));

    // The zero entries are colours like any other: black is nearest to entry 8, the first of
    // them, since the caller's palette has no black.
    ASSERT_TRUE(dib.Empty(CSize(3, 1), kBlack, 4, &palette));
    EXPECT_EQ(PixelArea(dib), Bytes(4, 0x88));
    // The palette was borrowed, not taken.
    EXPECT_EQ(palette.GetEntryCount(), 8);
}

TEST_F(BlankTableTest, CallerPaletteLongerThanTheTableGivesItsFirstColours) {
    CPalette sixteen;
    MakePalette(sixteen, SixteenColours());
    TestDib mono(CSize(8, 1), RGB(0, 0, 120), 1, &sixteen);
    EXPECT_EQ(TableOf(BlockBytes(mono.GetSafeHandle())),
              (std::vector<COLORREF>{kBlack, RGB(0, 0, 128)}));
    EXPECT_EQ(PixelArea(mono), Bytes(4, 0xFF));

    CPalette two;
    MakePalette(two, {RGB(1, 2, 3), RGB(4, 5, 6)});
    TestDib eight(CSize(1, 1), RGB(4, 5, 6), 8, &two);
    const std::vector<COLORREF> table = TableOf(BlockBytes(eight.GetSafeHandle()));
    ASSERT_EQ(table.size(), 256U);
    EXPECT_EQ(table[0], RGB(1, 2, 3));
    EXPECT_EQ(table[1], RGB(4, 5, 6));
    EXPECT_EQ(std::count(table.begin() + 2, table.end(), kBlack), 254);
    EXPECT_EQ(PixelArea(eight), Bytes(4, 1));
}

TEST_F(BlankTableTest, PaletteIsNotUsedAboveEightBits) {
    CPalette palette;
    MakePalette(palette, SixteenColours());
    for (const int bitCount : {16, 24, 32}) {
        TestDib dib(CSize(2, 2), RGB(1, 2, 3), bitCount, &palette);
        ASSERT_EQ(StatusOf(dib), kSuccess) << bitCount;
        const Bytes block = BlockBytes(dib.GetSafeHandle());
        EXPECT_EQ(U32At(block, 10), 54U) << bitCount;
        EXPECT_EQ(+HeaderOf(block).biClrUsed, 0U) << bitCount;
        EXPECT_EQ(ColourAt(block, 1, 1), bitCount == 16 ? kBlack : RGB(1, 2, 3)) << bitCount;
    }
}

// ---------------------------------------------------------------------------------------------
// Blank pictures by header.

using BlankHeaderTest = LeakCheckedTest;

TEST_F(BlankHeaderTest, CallersTableIsCopiedAndTheFillIndexesIt) {
    Bytes table = Colours(256);
    // Entry 77 is the colour asked for; Colours() gives entry i the colour (3i, 2i, i).
    Bytes info = HeaderAndTable({.width = 6, .height = 3, .bitCount = 8}, table);
    const Bytes before = info;
    TestDib dib(AsInfo(info), RGB(3 * 77, 2 * 77, 77));
    ASSERT_EQ(StatusOf(dib), kSuccess);
    EXPECT_EQ(info, before) << "the caller's header is read, never written";
    const Bytes block = BlockBytes(dib.GetSafeHandle());
    EXPECT_EQ(Bytes(block.begin() + 54, block.begin() + 54 + 1024), table);
    EXPECT_EQ(PixelArea(dib), Bytes(24, 77));
}

TEST_F(BlankHeaderTest, DirectColourHeaderKeepsTheColoursItDeclares) {
    // biClrUsed gives a direct-colour picture a table; its logical palette is made from it.
    Bytes info =
        HeaderAndTable({.width = 2, .height = 1, .bitCount = 24, .clrUsed = 2}, Colours(2));
    TestDib dib(AsInfo(info), RGB(5, 6, 7));
    ASSERT_EQ(StatusOf(dib), kSuccess);
    const Bytes block = BlockBytes(dib.GetSafeHandle());
    EXPECT_EQ(U32At(block, 10), 62U);
    EXPECT_EQ(Bytes(block.begin() + 54, block.begin() + 62), Colours(2));
    EXPECT_EQ(dib.GetPalette()->GetEntryCount(), 2);
    EXPECT_EQ(PixelArea(dib), (Bytes{7, 6, 5, 7, 6, 5, 0, 0}));
}

TEST_F(BlankHeaderTest, LargerImageSizeGivesTheCanonicalPicture) {
    Bytes info = HeaderAndTable({.width = 3, .height = 2, .bitCount = 16, .sizeImage = 100}, {});
    TestDib dib(AsInfo(info), RGB(255, 255, 255));
    ASSERT_EQ(StatusOf(dib), kSuccess);
    const Bytes block = BlockBytes(dib.GetSafeHandle());
    EXPECT_EQ(block.size(), 54U + 16);
    EXPECT_EQ(+HeaderOf(block).biSizeImage, 16U);
    EXPECT_EQ(PixelArea(dib), RepeatedRows({0xFF, 0x7F}, 3, 2, 2));
}

TEST_F(BlankHeaderTest, EmptyAndTheConstructorsGiveTheSameBlockAsLoad) {
    Bytes info = HeaderAndTable({.width = 5, .height = 2, .bitCount = 4}, Colours(16));
    TestDib loaded;
    ASSERT_TRUE(loaded.Load(AsInfo(info), RGB(27, 18, 9)));
    TestDib emptied;
    ASSERT_TRUE(emptied.Empty(AsInfo(info), RGB(27, 18, 9)));
    TestDib constructed(AsInfo(info), RGB(27, 18, 9));
    const Bytes expected = BlockBytes(loaded.GetSafeHandle());
    EXPECT_EQ(BlockBytes(emptied.GetSafeHandle()), expected);
    EXPECT_EQ(BlockBytes(constructed.GetSafeHandle()), expected);
    EXPECT_EQ(PixelArea(loaded), Bytes(8, 0x99));

    TestDib bySize;
    ASSERT_TRUE(bySize.Empty(CSize(5, 2), kRed, 24, nullptr));
    TestDib bySizeConstructed(CSize(5, 2), kRed, 24, nullptr);
    EXPECT_EQ(BlockBytes(bySizeConstructed.GetSafeHandle()), BlockBytes(bySize.GetSafeHandle()));
}

TEST_F(BlankHeaderTest, PictureSurvivesASaveAndLoad) {
    TempDir dir;
    TestDib dib(CSize(7, 3), RGB(40, 80, 120), 32, nullptr);
    ASSERT_TRUE(dib.SaveAs(dir.Path("blank.bmp").c_str()));
    TestDib read(CString(dir.Path("blank.bmp")));
    EXPECT_EQ(BlockBytes(read.GetSafeHandle()), BlockBytes(dib.GetSafeHandle()));
}

// ---------------------------------------------------------------------------------------------
// Refusals: judged before anything is allocated, the old picture gone, the object empty.

struct Refusal {
    const char* name;
    std::function<BOOL(TestDib&)> load;
    Status status;
};

void PrintTo(const Refusal& value, std::ostream* out) {
    *out << value.name;
}

BOOL BySize(TestDib& dib, int width, int height, int bitCount) {
    return dib.Load(CSize(width, height), kRed, bitCount, nullptr);
}

BOOL ByHeader(TestDib& dib, const Info& info, std::uint32_t headerSize = 40) {
    Bytes bytes = HeaderAndTable(info, Bytes(1024, 0x5A), headerSize);
    return dib.Load(AsInfo(bytes), kRed);
}

constexpr Status kTooLarge = SystemError(ERROR_NOT_ENOUGH_MEMORY);

std::vector<Refusal> Refusals() {
    return {
        {"DepthZero", [](TestDib& d) { return BySize(d, 4, 4, 0); }, ClassError(1)},
        {"DepthTwo", [](TestDib& d) { return BySize(d, 4, 4, 2); }, ClassError(1)},
        {"DepthSeven", [](TestDib& d) { return BySize(d, 4, 4, 7); }, ClassError(1)},
        {"DepthThirtyThree", [](TestDib& d) { return BySize(d, 4, 4, 33); }, ClassError(1)},
        {"DepthNegative", [](TestDib& d) { return BySize(d, 4, 4, -8); }, ClassError(1)},
        {"DepthEightPlus65536", [](TestDib& d) { return BySize(d, 4, 4, 65544); }, ClassError(1)},
        {"NegativeWidth", [](TestDib& d) { return BySize(d, -1, 4, 24); }, ClassError(1)},
        {"NegativeHeight", [](TestDib& d) { return BySize(d, 4, -1, 24); }, ClassError(1)},
        {"OverTheLimit", [](TestDib& d) { return BySize(d, 16385, 16384, 32); }, kTooLarge},
        // 65536 x 65536 bytes is 2^32: 0 in 32-bit arithmetic, and refused all the same.
        {"WrapsTo32BitZero", [](TestDib& d) { return BySize(d, 65536, 65536, 8); }, kTooLarge},
        {"RowOverflows32Bits", [](TestDib& d) { return BySize(d, 0x7FFFFFFF, 1, 32); }, kTooLarge},
        {"HeaderRle8",
         [](TestDib& d) { return ByHeader(d, {.width = 4, .height = 4, .compression = BI_RLE8}); },
         ClassError(1)},
        {"HeaderBitfields",
         [](TestDib& d) {
             return ByHeader(
                 d, {.width = 4, .height = 4, .bitCount = 16, .compression = BI_BITFIELDS});
         },
         ClassError(1)},
        {"HeaderDepthTwo",
         [](TestDib& d) { return ByHeader(d, {.width = 4, .height = 4, .bitCount = 2}); },
         ClassError(1)},
        {"HeaderTwoPlanes",
         [](TestDib& d) { return ByHeader(d, {.width = 4, .height = 4, .planes = 2}); },
         ClassError(1)},
        {"HeaderCoreSize", [](TestDib& d) { return ByHeader(d, {.width = 4, .height = 4}, 12); },
         ClassError(1)},
        {"HeaderV5Size", [](TestDib& d) { return ByHeader(d, {.width = 4, .height = 4}, 124); },
         ClassError(1)},
        {"HeaderTopDown", [](TestDib& d) { return ByHeader(d, {.width = 4, .height = -4}); },
         ClassError(1)},
        {"HeaderImageShorterThanRows",
         [](TestDib& d) { return ByHeader(d, {.width = 4, .height = 4, .sizeImage = 15}); },
         ClassError(1)},
        {"HeaderImageOverTheLimit",
         [](TestDib& d) {
             return ByHeader(d, {.width = 4, .height = 4, .sizeImage = (1U << 30) + 1});
         },
         kTooLarge},
        {"HeaderNull", [](TestDib& d) { return d.Load(static_cast<BITMAPINFO*>(nullptr), kRed); },
         kProgError14},
    };
}

class BlankRefusalTest : public LeakCheckedTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(BlankRefusalTest, RefusedBeforeAnyAllocationAndLeftEmpty) {
    TestDib dib;
    HoldAPicture(dib);
    // Armed far away: the count of calls tells whether the load reached any allocation.
    InjectFault(orvel::testing::kFaultAllSites, 1000000);
    EXPECT_FALSE(GetParam().load(dib));
    EXPECT_EQ(FaultSiteCalls(), 0);
    EXPECT_EQ(StatusOf(dib), GetParam().status);
    EXPECT_TRUE(HoldsNothing(dib));
}

INSTANTIATE_TEST_SUITE_P(Inputs, BlankRefusalTest, ::testing::ValuesIn(Refusals()),
                         [](const auto& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------------------------------------
// Platform failures: each ends with the object empty and nothing leaked.

using BlankFailureTest = LeakCheckedTest;

TEST_F(BlankFailureTest, EachAllocationReportsItsOwnStatus) {
    TestDib dib;
    // By size: the temporary header, then the temporary standard palette.
    InjectFault(orvel::testing::kFaultObjectAlloc, 1);
    EXPECT_FALSE(dib.Load(CSize(3, 3), kWhite, 1, nullptr));
    EXPECT_EQ(StatusOf(dib), ClassError(3));
    EXPECT_TRUE(HoldsNothing(dib));
    InjectFault(orvel::testing::kFaultObjectAlloc, 2);
    EXPECT_FALSE(dib.Load(CSize(3, 3), kWhite, 1, nullptr));
    EXPECT_EQ(StatusOf(dib), ClassError(3));
    EXPECT_TRUE(HoldsNothing(dib));
    // Above 8 bits no palette is made: the second allocation is the temporary packed picture.
    InjectFault(orvel::testing::kFaultObjectAlloc, 2);
    EXPECT_FALSE(dib.Load(CSize(3, 3), kWhite, 24, nullptr));
    EXPECT_EQ(StatusOf(dib), ClassError(3));
    EXPECT_TRUE(HoldsNothing(dib));

    // By header: the temporary packed picture, then the block.
    Bytes info = HeaderAndTable({.width = 3, .height = 3, .bitCount = 24}, {});
    HoldAPicture(dib);
    InjectFault(orvel::testing::kFaultObjectAlloc, 1);
    EXPECT_FALSE(dib.Load(AsInfo(info), kWhite));
    EXPECT_EQ(StatusOf(dib), ClassError(3));
    EXPECT_TRUE(HoldsNothing(dib));
    InjectFault(orvel::testing::kFaultGlobalAlloc, 1);
    EXPECT_FALSE(dib.Load(AsInfo(info), kWhite));
    EXPECT_EQ(StatusOf(dib), SystemError(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_TRUE(HoldsNothing(dib));
}

TEST_F(BlankFailureTest, FailedNormalisationTakesTheNewBlockWithIt) {
    Bytes info = HeaderAndTable({.width = 3, .height = 3, .bitCount = 8}, Colours(256));
    TestDib dib;
    // The object allocator's second call is the normalisation's palette object.
    InjectFault(orvel::testing::kFaultObjectAlloc, 2);
    EXPECT_FALSE(dib.Load(AsInfo(info), kWhite));
    EXPECT_EQ(StatusOf(dib), ClassError(3));
    EXPECT_TRUE(HoldsNothing(dib));
    // CreatePalette refusing the logical palette.
    InjectFault(orvel::testing::kFaultCreatePalette, 1);
    EXPECT_FALSE(dib.Load(AsInfo(info), kWhite));
    EXPECT_EQ(StatusOf(dib), ClassError(4));
    EXPECT_TRUE(HoldsNothing(dib));
}

TEST_F(BlankFailureTest, BlockThatCannotBeLockedForTheFillIsReleased) {
    TestDib dib;
    // Count the locks a load takes; the fill's is the last.
    InjectFault(orvel::testing::kFaultGlobalLock, 1000000);
    ASSERT_TRUE(dib.Load(CSize(4, 4), kRed, 16, nullptr));
    const long locks = FaultSiteCalls();
    ASSERT_GT(locks, 1);
    InjectFault(orvel::testing::kFaultGlobalLock, locks);
    EXPECT_FALSE(dib.Load(CSize(4, 4), kRed, 16, nullptr));
    EXPECT_EQ(StatusOf(dib), SystemError(ERROR_DISCARDED));
    EXPECT_TRUE(HoldsNothing(dib));
}

// Every platform call of each load failing in turn: a picture or an empty object, never a half.
struct SweptLoad {
    const char* name;
    std::function<BOOL(TestDib&)> load;
};

void PrintTo(const SweptLoad& value, std::ostream* out) {
    *out << value.name;
}

class BlankFaultSweepTest : public LeakCheckedTest,
                            public ::testing::WithParamInterface<SweptLoad> {};

TEST_P(BlankFaultSweepTest, EveryFailureGivesAPictureOrAnEmptyObject) {
    for (long nth = 1;; ++nth) {
        orvel::test::LiveObjects live;
        {
            TestDib dib;
            HoldAPicture(dib);
            InjectFault(orvel::testing::kFaultAllSites, nth);
            const BOOL result = GetParam().load(dib);
            const bool reached = orvel::testing::FaultFired();
            const long calls = FaultSiteCalls();
            orvel::testing::ClearFault();
            if (result) {
                EXPECT_EQ(StatusOf(dib), kSuccess) << "call " << nth;
                EXPECT_NE(dib.GetSafeHandle(), nullptr) << "call " << nth;
                EXPECT_NE(dib.GetPalette(), nullptr) << "call " << nth;
            } else {
                EXPECT_TRUE(HoldsNothing(dib)) << "call " << nth;
            }
            if (!reached) {
                EXPECT_TRUE(result) << "nothing failed at call " << nth << " of " << calls;
                break;
            }
        }
        EXPECT_TRUE(live.Unchanged()) << "call " << nth;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Loads, BlankFaultSweepTest,
    ::testing::Values(
        SweptLoad{"Mono", [](TestDib& d) { return d.Load(CSize(9, 2), kWhite, 1, nullptr); }},
        SweptLoad{"Four", [](TestDib& d) { return d.Load(CSize(3, 2), kRed, 4, nullptr); }},
        SweptLoad{"Eight", [](TestDib& d) { return d.Load(CSize(3, 2), kRed, 8, nullptr); }},
        SweptLoad{"Sixteen", [](TestDib& d) { return d.Load(CSize(3, 2), kRed, 16, nullptr); }},
        SweptLoad{"TwentyFour", [](TestDib& d) { return d.Load(CSize(5, 2), kRed, 24, nullptr); }},
        SweptLoad{"ByHeader",
                  [](TestDib& d) {
                      Bytes header =
                          HeaderAndTable({.width = 3, .height = 2, .bitCount = 4}, Colours(16));
                      return d.Load(AsInfo(header), kRed);
                  }}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
