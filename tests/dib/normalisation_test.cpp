// The normalisation funnel: what it keeps, what it rebuilds, and what it refuses.
#include "dib_test_support.h"

#include <tuple>

namespace {

using namespace orvel::test;
using orvel::testing::FaultSiteCalls;
using orvel::testing::InjectFault;
using NormalisationTest = LeakCheckedTest;

TEST_F(NormalisationTest, CanonicalFileStaysByteForByteWithItsOwnSizes) {
    // biSizeImage 0 and a bfSize that counts two trailing bytes the picture does not use.
    Bytes file = EightBitFile();
    file.insert(file.end(), {0xEE, 0xEE});
    Bytes image = file;
    image[2] += 2;
    TestDib dib;
    ASSERT_TRUE(AttachBytes(dib, image));
    EXPECT_EQ(BlockBytes(dib.GetSafeHandle()), image);
    EXPECT_EQ(+dib.GetBIH().biSizeImage, 0U);
    const Bytes colours = PaletteColours(dib.GetPalette());
    ASSERT_EQ(colours.size(), 3U * 256);
    EXPECT_EQ(colours[3 * 200 + 0], BYTE(3 * 200)); // red of entry 200
    EXPECT_EQ(colours[3 * 200 + 2], 200);           // blue of entry 200
}

Bytes Patched(Bytes file, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        file[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return file;
}

// Blocks that are not laid out as the library keeps pictures, and the canonical block each
// becomes: a 40-byte header with its bfSize, bfOffBits and biSizeImage, the full colour table
// of the depth right after it, then bottom-up rows of 1, 4, 8, 24 or 32 bits.
struct Rebuilt {
    const char* name;
    Bytes given;
    Bytes canonical;
};

std::vector<Rebuilt> RebuiltBlocks() {
    std::vector<Rebuilt> rows;
    // An OS/2 core header: its colour triples widened to quads, no resolution.
    for (const auto& [bitCount, width, stride] :
         {std::tuple{1, 33, 8}, std::tuple{4, 9, 8}, std::tuple{8, 5, 8}, std::tuple{24, 5, 16}}) {
        const auto bits = static_cast<std::uint16_t>(bitCount);
        const unsigned entries = bitCount <= 8 ? 1U << bitCount : 0;
        Bytes pixels(static_cast<std::size_t>(stride) * 2);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<std::uint8_t>(0x41 + i);
        }
        const Bytes canonical = InfoFile({.width = width,
                                          .height = 2,
                                          .bitCount = bits,
                                          .sizeImage = static_cast<std::uint32_t>(stride) * 2},
                                         Colours(entries), pixels);
        rows.push_back(
            {"Core",
             CoreFile(static_cast<std::uint16_t>(width), 2, bits, Colours(entries, 3), pixels),
             Patched(Patched(canonical, 38, 0), 42, 0)});
    }
    const Bytes fourPixels = {1, 2, 3, 0, 4, 5, 6, 0};
    Bytes widened = Colours(4);
    widened.resize(1024, 0);
    rows.push_back(
        {"ShortTableWidenedWithZeroEntries",
         InfoFile({.width = 3, .height = 2, .clrUsed = 4}, Colours(4), fourPixels),
         InfoFile({.width = 3, .height = 2, .sizeImage = 8, .clrUsed = 4}, widened, fourPixels)});
    Bytes gap = Colours(2);
    gap.insert(gap.end(), 6, 0xCC);
    rows.push_back({"GapBeforePixelsClosed",
                    InfoFile({.width = 8, .height = 1, .bitCount = 1}, gap, {0xA5, 0, 0, 0}),
                    InfoFile({.width = 8, .height = 1, .bitCount = 1, .sizeImage = 4}, Colours(2),
                             {0xA5, 0, 0, 0})});
    // The saved file is the block, so it must read back.
    Bytes noSignature = EightBitFile();
    noSignature[0] = '0';
    rows.push_back({"SignatureMadeAnew", noSignature, Patched(EightBitFile(), 34, 24)});
    rows.push_back({"TopDownTurnedBottomUp",
                    InfoFile({.width = 1, .height = -3, .bitCount = 24}, {},
                             {1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0}),
                    InfoFile({.width = 1, .height = 3, .bitCount = 24, .sizeImage = 12}, {},
                             {3, 3, 3, 0, 2, 2, 2, 0, 1, 1, 1, 0})});
    // Top-down 5-6-5 rows: pure red, pure green, pure blue; then green 3 of 63, which 5-5-5
    // could not hold: they become 24 bits, each field widened by repeating its top bits.
    rows.push_back(
        {"BitFields565To24",
         InfoFile({.width = 3, .height = -2, .bitCount = 16, .compression = BI_BITFIELDS},
                  ByteBuilder().U32(0xF800).U32(0x07E0).U32(0x001F).Get(),
                  {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0, 0x60, 0x00, 0, 0, 0, 0, 0, 0}),
         InfoFile(
             {.width = 3, .height = 2, .bitCount = 24, .sizeImage = 24}, {},
             {0, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0})});
    // Red, green and blue in bytes 2, 1, 0 (alpha in 3), or in bytes 3, 2, 1.
    for (const auto& [masks, pixel] :
         {std::pair{ByteBuilder().U32(0x00FF0000).U32(0x0000FF00).U32(0x000000FF).Get(),
                    Bytes{0x30, 0x20, 0x10, 0xFF}},
          std::pair{ByteBuilder().U32(0xFF000000).U32(0x00FF0000).U32(0x0000FF00).Get(),
                    Bytes{0x77, 0x30, 0x20, 0x10}}}) {
        rows.push_back(
            {"BitFields32",
             InfoFile({.width = 1, .height = 1, .bitCount = 32, .compression = BI_BITFIELDS}, masks,
                      pixel),
             InfoFile({.width = 1, .height = 1, .bitCount = 32, .sizeImage = 4}, {},
                      {0x30, 0x20, 0x10, 0x00})});
    }
    return rows;
}

TEST_F(NormalisationTest, BlocksNotLaidOutAsTheLibraryKeepsThemAreRebuiltCanonical) {
    for (const Rebuilt& row : RebuiltBlocks()) {
        SCOPED_TRACE(row.name);
        TestDib dib;
        ASSERT_TRUE(AttachBytes(dib, row.given));
        EXPECT_EQ(BlockBytes(dib.GetSafeHandle()), row.canonical);
    }
}

TEST_F(NormalisationTest, StoredFullTableIsThePicturesWhetherTheBlockIsKeptOrRebuilt) {
    // biClrUsed 2 before a full 16-entry table: the block is kept as it stands, or rebuilt when
    // its bfSize runs past its end, and both must show every stored colour.
    const Info info{.width = 2, .height = 1, .bitCount = 4, .sizeImage = 4, .clrUsed = 2};
    const Bytes pixels = {0x1F, 0, 0, 0};
    for (const std::int64_t fileSize : {std::int64_t{-1}, std::int64_t{54 + 64 + 4 + 1}}) {
        SCOPED_TRACE(fileSize < 0 ? "kept" : "rebuilt");
        TestDib dib;
        ASSERT_TRUE(AttachBytes(dib, InfoFile(info, Colours(16), pixels, -1, fileSize)));
        const Bytes block = BlockBytes(dib.GetSafeHandle());
        EXPECT_EQ(Bytes(block.begin() + 54, block.begin() + 118), Colours(16));
        EXPECT_EQ(PixelArea(dib), pixels);
    }
}

struct Refusal {
    const char* name;
    Bytes file;
};

std::vector<Refusal> Refusals() {
    const Bytes good = EightBitFile();
    const Bytes core = CoreFile(2, 1, 8, Colours(256, 3), {1, 2, 0, 0});
    ByteBuilder badMasks;
    badMasks.U32(0x0F00).U32(0x00F0).U32(0x000F);
    ByteBuilder sameByteMasks;
    sameByteMasks.U32(0xFF).U32(0xFF).U32(0xFF00);
    return {
        {"HeaderOf108Bytes", Patched(good, 14, 108)},
        {"NegativeWidth", Patched(good, 18, 0xFFFFFFFF)},
        {"TwoPlanes", Patched(good, 26, 0x00080002)},
        {"TwoBitsPerPixel", Patched(good, 26, 0x00020001)},
        {"JpegCompression", Patched(good, 30, BI_JPEG)},
        {"UnknownCompression", Patched(good, 30, 9)},
        {"Rle8WithFourBits",
         InfoFile({.width = 2, .height = 1, .bitCount = 4, .compression = BI_RLE8}, Colours(16),
                  {0, 1})},
        {"RunLengthTopDown",
         InfoFile({.width = 2, .height = -1, .compression = BI_RLE8}, Colours(256), {0, 1})},
        {"BitFieldsOf24Bits",
         InfoFile({.width = 1, .height = 1, .bitCount = 24, .compression = BI_BITFIELDS},
                  badMasks.Get(), {0, 0, 0, 0})},
        {"BitFieldsOf444",
         InfoFile({.width = 1, .height = 1, .bitCount = 16, .compression = BI_BITFIELDS},
                  badMasks.Get(), {0, 0, 0, 0})},
        {"BitFieldsSharingAByte",
         InfoFile({.width = 1, .height = 1, .bitCount = 32, .compression = BI_BITFIELDS},
                  sameByteMasks.Get(), {0, 0, 0, 0})},
        {"PixelsInsideTheHeader", Patched(good, 10, 40)},
        {"PixelsBeyondTheBlock", Patched(good, 10, 1079)},
        {"RowsLongerThanTheBlock", Patched(good, 22, 4)},
        {"OverTheSizeLimit", Patched(Patched(good, 18, 32768), 22, 32769)},
        {"CoreWithSixteenBits", CoreFile(1, 1, 16, {}, {0, 0, 0, 0})},
        {"CoreOverTheSizeLimit", CoreFile(65535, 65535, 24, {}, {0, 0, 0, 0})},
        {"EmptyBlock", {}},
        {"OnlyTheFileHeader", Bytes(good.begin(), good.begin() + 14)},
        {"InfoHeaderCutShort", Bytes(good.begin(), good.begin() + 20)},
        {"CoreHeaderCutShort", Bytes(core.begin(), core.begin() + 20)},
    };
}

TEST_F(NormalisationTest, RefusedWithClassErrorOneAndTheBlockKeptWithoutPalette) {
    for (const Refusal& refusal : Refusals()) {
        SCOPED_TRACE(refusal.name);
        TestDib dib;
        const Bytes& file = refusal.file;
        EXPECT_FALSE(AttachBytes(dib, file));
        EXPECT_EQ(StatusOf(dib), ClassError(1));
        ASSERT_NE(dib.GetSafeHandle(),
                  nullptr); // a handed-over block is the object's whatever happens
        EXPECT_EQ(BlockBytes(dib.GetSafeHandle()), file);
        EXPECT_EQ(dib.GetPalette(), nullptr);
        EXPECT_EQ(dib.GetSize(), CSize(0, 0)); // the cached header stays as it was
    }
}

// A packed DIB's length is not known: a run-length one is readable only up to what biSizeImage
// says its stream takes, so without that size nothing past the colour table may be read.
TEST_F(NormalisationTest, PackedRunLengthDibIsReadToItsStatedStreamLengthAndRefusedWithoutOne) {
    const Bytes stream = {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 1};
    for (const std::uint32_t sizeImage : {std::uint32_t{0}, std::uint32_t{12}}) {
        SCOPED_TRACE(sizeImage);
        const Bytes file =
            InfoFile({.width = 6, .height = 2, .compression = BI_RLE8, .sizeImage = sizeImage},
                     Colours(256), stream);
        // Exactly header, table and stream: a read past the stream leaves the allocation.
        Bytes packed(file.begin() + 14, file.end());
        packed.shrink_to_fit();
        TestDib dib;
        const BOOL loaded = dib.Load(reinterpret_cast<BITMAPINFOHEADER*>(packed.data()));
        if (sizeImage == 0) {
            EXPECT_FALSE(loaded);
            EXPECT_EQ(StatusOf(dib), ClassError(1));
            EXPECT_EQ(dib.GetSafeHandle(), nullptr);
        } else {
            ASSERT_TRUE(loaded);
            EXPECT_EQ(PixelArea(dib), (Bytes{7, 7, 7, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        }
    }
}

TEST_F(NormalisationTest, EmptyPicturesAreValid) {
    TestDib dib;
    EXPECT_TRUE(AttachBytes(dib, InfoFile({.width = 0, .height = 5, .bitCount = 24}, {}, {})));
    EXPECT_TRUE(
        AttachBytes(dib, InfoFile({.width = 7, .height = 0, .bitCount = 1}, Colours(2), {})));
    EXPECT_EQ(dib.GetSize(), CSize(7, 0));
}

TEST_F(NormalisationTest, LimitAdmits16384SquareAt32BitsAndRefusesLargerBeforeAllocating) {
    Bytes header = InfoFile({.width = 16384, .height = 16385, .bitCount = 32}, {}, {});
    header = Patched(header, 2, 54 + 16384U * 16385 * 4);
    InjectFault(orvel::testing::kFaultGlobalAlloc, 1);
    TestDib dib;
    EXPECT_FALSE(dib.Load(reinterpret_cast<BITMAPFILEHEADER*>(header.data())));
    EXPECT_EQ(StatusOf(dib), ClassError(1));
    EXPECT_EQ(FaultSiteCalls(), 0); // no block was asked for
    EXPECT_EQ(dib.GetSafeHandle(), nullptr);
    orvel::testing::ClearFault();

    BITMAPINFOHEADER largest = CDibSupport::MakeBIH(16384, 16384, 32, BI_RGB, 0, 0, 0, 0, 0);
    HGLOBAL block = GlobalAlloc(GHND, 54 + 16384U * 16384 * 4);
    ASSERT_NE(block, nullptr);
    auto* base = static_cast<BYTE*>(GlobalLock(block));
    const BITMAPFILEHEADER file = CDibSupport::MakeBFH(&largest);
    std::memcpy(base, &file, sizeof file);
    std::memcpy(base + 14, &largest, sizeof largest);
    GlobalUnlock(block);
    EXPECT_TRUE(dib.AttachHandle(block));
    EXPECT_EQ(dib.GetSize(), CSize(16384, 16384));
}

} // namespace
