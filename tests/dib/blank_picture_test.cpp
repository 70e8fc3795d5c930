// Blank pictures by size and by header: every byte of the block, padding included, the colour
// tables, the refusals, and the object left empty by every failure.
#include "picture_reader.h"

namespace {

using namespace orvel::test;
using orvel::testing::InjectFault;

constexpr COLORREF kRed = RGB(255, 0, 0);

/// A BITMAPINFO: the header, then `table`.
Bytes InfoOf(Info info, const Bytes& table = {}) {
    info.table = table;
    return Packed(MakeBmp(info));
}

BITMAPINFO* AsInfo(Bytes& bytes) {
    return reinterpret_cast<BITMAPINFO*>(bytes.data());
}

struct FillCase {
    const char* name;
    CSize size;
    int bitCount;
    COLORREF colour;
    Bytes pixels; ///< the whole pixel area
};
std::vector<FillCase> FillCases();

using BlankPictureTest = LeakCheckedTest;

TEST_F(BlankPictureTest, EveryPixelHoldsTheColourAndThePaddingIsAsExpected) {
    for (const FillCase& c : FillCases()) {
        SCOPED_TRACE(c.name);
        TestDib dib(EightBitFile());
        ASSERT_TRUE(dib.Load(c.size, c.colour, c.bitCount, nullptr));
        EXPECT_EQ(StatusOf(dib), kSuccess);
        const Bytes block = BlockBytes(dib.GetSafeHandle());
        const std::uint32_t pixelOffset = 54 + (c.bitCount <= 8 ? 4U << c.bitCount : 0U);
        EXPECT_EQ(U32At(block, 10), pixelOffset);
        EXPECT_EQ(U32At(block, 2), block.size());
        EXPECT_EQ(U32At(block, 34), c.pixels.size()); // biSizeImage
        EXPECT_EQ(Bytes(block.begin() + pixelOffset, block.end()), c.pixels);
        EXPECT_EQ(dib.GetSize(), c.size);
    }
}

// Indexed rows are filled whole; 16, 24 and 32-bit rows keep their padding 0.
std::vector<FillCase> FillCases() {
    return {
        {"MonoWhite", {9, 2}, 1, kWhite, Bytes(8, 0xFF)},
        {"MonoBlack", {9, 2}, 1, kBlack, Bytes(8, 0x00)},
        {"FourBitPurpleIsEntry5", {3, 2}, 4, RGB(128, 0, 128), Bytes(8, 0x55)},
        // The halftone palette keeps red at 36 x 5, red's level in its 6 x 6 x 6 cube.
        {"EightBitHalftoneRed", {3, 2}, 8, kRed, Bytes(8, 180)},
        {"Sixteen555", {3, 2}, 16, RGB(255, 128, 8), Rows({0x01, 0x7E}, 3, 2, 2)},
        {"SixteenEvenWidth", {2, 1}, 16, RGB(255, 128, 8), Rows({0x01, 0x7E}, 2, 0, 1)},
        {"TwentyFour", {5, 2}, 24, RGB(0x11, 0x22, 0x33), Rows({0x33, 0x22, 0x11}, 5, 1, 2)},
        {"TwentyFourWide", {37, 3}, 24, RGB(9, 8, 7), Rows({7, 8, 9}, 37, 1, 3)},
        {"ThirtyTwoTopByteIgnored",
         {3, 2},
         32,
         RGB(1, 2, 3) | 0xFF000000U,
         Rows({3, 2, 1, 0}, 3, 0, 2)},
        {"NoRows", {5, 0}, 24, kRed, {}},
        FillCase{"NoColumns", {0, 4}, 8, kRed, {}},
    };
}

TEST_F(BlankPictureTest, TablesComeFromTheStandardPaletteOrTheCallersFirstColours) {
    TestDib mono(CSize(2, 2), kWhite, 1, nullptr);
    EXPECT_EQ(TableOf(BlockBytes(mono.GetSafeHandle())), (std::vector<COLORREF>{kBlack, kWhite}));
    TestDib four(CSize(2, 2), kWhite, 4, nullptr);
    EXPECT_EQ(TableOf(BlockBytes(four.GetSafeHandle())), kSixteen);
    TestDib eight(CSize(2, 2), kWhite, 8, nullptr);
    EXPECT_EQ(TableOf(BlockBytes(eight.GetSafeHandle())), HalftoneColours());

    // A palette longer than the table gives its first colours.
    CPalette sixteen;
    ASSERT_TRUE(sixteen.Attach(PaletteOfColours(kSixteen)));
    TestDib first(CSize(8, 1), RGB(0, 0, 120), 1, &sixteen);
    EXPECT_EQ(TableOf(BlockBytes(first.GetSafeHandle())),
              (std::vector<COLORREF>{kBlack, RGB(0, 0, 128)}));
    EXPECT_EQ(PixelArea(first), Bytes(4, 0xFF));
    // Above 8 bits the palette is not used and there is no table.
    TestDib direct(CSize(2, 2), kRed, 24, &sixteen);
    EXPECT_EQ(U32At(BlockBytes(direct.GetSafeHandle()), 10), 54U);
    EXPECT_EQ(sixteen.GetEntryCount(), 16) << "borrowed, not taken";
}

TEST_F(BlankPictureTest, ShortPaletteLeavesTheRestOfTheTableZeroAndThoseEntriesCount) {
    const std::vector<COLORREF> eight = {RGB(10, 0, 0),   RGB(0, 20, 0),   RGB(0, 0, 30),
                                         RGB(40, 40, 0),  RGB(0, 50, 50),  RGB(60, 0, 60),
                                         RGB(70, 70, 70), RGB(80, 90, 100)};
    CPalette palette;
    ASSERT_TRUE(palette.Attach(PaletteOfColours(eight)));
    TestDib dib(CSize(3, 1), RGB(60, 0, 60), 4, &palette);
    std::vector<COLORREF> expected = eight;
    expected.resize(16, kBlack);
    EXPECT_EQ(TableOf(BlockBytes(dib.GetSafeHandle())), expected);
    EXPECT_EQ(PixelArea(dib), Bytes(4, 0x55));
    // The palette has no black: black is nearest to entry 8, the first zero entry.
    ASSERT_TRUE(dib.Empty(CSize(3, 1), kBlack, 4, &palette));
    EXPECT_EQ(PixelArea(dib), Bytes(4, 0x88));
}

TEST_F(BlankPictureTest, ByHeaderTheCallersTableIsCopiedAndItsColoursAreUsed) {
    // Colours(n) gives entry i the colour (3i, 2i, i): entry 9 is (27, 18, 9).
    Bytes info = InfoOf({.width = 5, .height = 2, .bitCount = 4}, Colours(16));
    const Bytes before = info;
    TestDib dib(AsInfo(info), RGB(27, 18, 9));
    ASSERT_EQ(StatusOf(dib), kSuccess);
    EXPECT_EQ(info, before) << "the caller's header is only read";
    const Bytes block = BlockBytes(dib.GetSafeHandle());
    EXPECT_EQ(block, InfoFile({.width = 5, .height = 2, .bitCount = 4, .sizeImage = 8}, Colours(16),
                              Bytes(8, 0x99)));
    TestDib emptied;
    ASSERT_TRUE(emptied.Empty(AsInfo(info), RGB(27, 18, 9)));
    EXPECT_EQ(BlockBytes(emptied.GetSafeHandle()), block);

    // A direct-colour header keeps the colours it declares; a long image size is trimmed.
    Bytes direct = InfoOf({.width = 2, .height = 1, .bitCount = 24, .sizeImage = 99, .clrUsed = 2},
                          Colours(2));
    ASSERT_TRUE(dib.Load(AsInfo(direct), RGB(5, 6, 7)));
    EXPECT_EQ(BlockBytes(dib.GetSafeHandle()),
              InfoFile({.width = 2, .height = 1, .bitCount = 24, .sizeImage = 8, .clrUsed = 2},
                       Colours(2), {7, 6, 5, 7, 6, 5, 0, 0}));
    EXPECT_EQ(dib.GetPalette()->GetEntryCount(), 2);
}

struct Refusal {
    const char* name;
    std::function<BOOL(CDib&)> load;
    Status status;
};

Refusal BySize(const char* name, int width, int height, int bitCount, Status status) {
    return {name, [=](CDib& d) { return d.Load(CSize(width, height), kRed, bitCount, nullptr); },
            status};
}

Refusal ByHeader(const char* name, const Info& info, Status status) {
    return {name,
            [=](CDib& d) {
                Bytes bytes = InfoOf(info, Bytes(1024, 0x5A));
                return d.Load(AsInfo(bytes), kRed);
            },
            status};
}

constexpr Status kTooLarge = SystemError(ERROR_NOT_ENOUGH_MEMORY);

TEST_F(BlankPictureTest, RefusedBeforeAnyAllocationAndLeftEmpty) {
    for (const Refusal& refusal :
         {BySize("DepthZero", 4, 4, 0, ClassError(1)), BySize("DepthTwo", 4, 4, 2, ClassError(1)),
          BySize("Depth33", 4, 4, 33, ClassError(1)),
          BySize("DepthThatNarrowsTo8", 4, 4, 65544, ClassError(1)),
          BySize("NegativeWidth", -1, 4, 24, ClassError(1)),
          BySize("NegativeHeight", 4, -1, 24, ClassError(1)),
          BySize("OverTheLimit", 16385, 16384, 32, kTooLarge),
          BySize("ImageSizeWrapsToZero", 65536, 65536, 8, kTooLarge),
          BySize("RowOver32Bits", 0x7FFFFFFF, 1, 32, kTooLarge),
          ByHeader("Rle8", {.width = 4, .height = 4, .compression = BI_RLE8}, ClassError(1)),
          ByHeader("BitFields",
                   {.width = 4, .height = 4, .bitCount = 16, .compression = BI_BITFIELDS},
                   ClassError(1)),
          ByHeader("DepthTwoHeader", {.width = 4, .height = 4, .bitCount = 2}, ClassError(1)),
          ByHeader("TwoPlanes", {.width = 4, .height = 4, .planes = 2}, ClassError(1)),
          ByHeader("CoreHeader", {.width = 4, .height = 4, .headerBytes = 12}, ClassError(1)),
          ByHeader("TopDown", {.width = 4, .height = -4}, ClassError(1)),
          ByHeader("ImageShorterThanRows", {.width = 4, .height = 4, .sizeImage = 15},
                   ClassError(1)),
          ByHeader("ImageOverTheLimit", {.width = 4, .height = 4, .sizeImage = (1U << 30) + 1},
                   kTooLarge),
          Refusal{"NullHeader",
                  [](CDib& d) { return d.Load(static_cast<BITMAPINFO*>(nullptr), kRed); },
                  kProgError14}}) {
        SCOPED_TRACE(refusal.name);
        TestDib dib(EightBitFile());
        InjectFault(orvel::testing::kFaultAllSites, 1000000); // counts the platform calls made
        EXPECT_FALSE(refusal.load(dib));
        EXPECT_EQ(orvel::testing::FaultSiteCalls(), 0);
        EXPECT_EQ(StatusOf(dib), refusal.status);
        EXPECT_TRUE(HoldsNothing(dib));
        orvel::testing::ClearFault();
    }
}

TEST_F(BlankPictureTest, EachFailingStepReportsItsStatusAndLeavesTheObjectEmpty) {
    Bytes info = InfoOf({.width = 3, .height = 3, .bitCount = 8}, Colours(256));
    using namespace orvel::testing;
    const struct {
        FaultSite site;
        long nth;
        int bitCount; ///< by size at this depth; 0: by header
        Status status;
    } steps[] = {
        // By size: the temporary header, the temporary standard palette, the temporary picture.
        {kFaultObjectAlloc, 1, 1, ClassError(3)},
        {kFaultObjectAlloc, 2, 1, ClassError(3)},
        {kFaultObjectAlloc, 2, 24, ClassError(3)},
        // By header: the temporary picture, then the normalisation's palette object and logical
        // palette, whose failure takes the new block with it (a refused block has one status,
        // which the library sweep proves).
        {kFaultObjectAlloc, 1, 0, ClassError(3)},
        {kFaultObjectAlloc, 2, 0, ClassError(3)},
        {kFaultCreatePalette, 1, 0, ClassError(4)},
    };
    for (const auto& step : steps) {
        TestDib dib(EightBitFile());
        InjectFault(step.site, step.nth);
        EXPECT_FALSE(step.bitCount == 0 ? dib.Load(AsInfo(info), 0)
                                        : dib.Load(CSize(3, 3), 0, step.bitCount, nullptr));
        EXPECT_EQ(StatusOf(dib), step.status) << "site " << step.site << " call " << step.nth;
        EXPECT_TRUE(HoldsNothing(dib));
    }
}

} // namespace
