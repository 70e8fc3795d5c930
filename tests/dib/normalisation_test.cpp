// The normalisation funnel: what it keeps, what it rebuilds, and what it refuses.
#include "dib_test_support.h"

#include <string>

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

TEST_F(NormalisationTest, CoreHeaderBecomesACanonicalFortyByteHeader) {
    const struct {
        std::uint16_t bitCount;
        std::uint16_t width;
        std::uint32_t stride;
    } cases[] = {{1, 33, 8}, {4, 9, 8}, {8, 5, 8}, {24, 5, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bitCount);
        const unsigned entries = c.bitCount <= 8 ? 1U << c.bitCount : 0;
        Bytes pixels(c.stride * 2);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<std::uint8_t>(0x41 + i);
        }
        TestDib dib;
        ASSERT_TRUE(
            AttachBytes(dib, CoreFile(c.width, 2, c.bitCount, Colours(entries, 3), pixels)));
        const Bytes block = BlockBytes(dib.GetSafeHandle());
        const BITMAPINFOHEADER h = dib.GetBIH();
        EXPECT_EQ(U32At(block, 10), 54 + 4 * entries);
        EXPECT_EQ(U32At(block, 2), block.size());
        EXPECT_EQ(+h.biSize, 40U);
        EXPECT_EQ(+h.biWidth, c.width);
        EXPECT_EQ(+h.biHeight, 2);
        EXPECT_EQ(+h.biPlanes, 1);
        EXPECT_EQ(+h.biSizeImage, c.stride * 2);
        EXPECT_EQ(+h.biXPelsPerMeter, 0);
        EXPECT_EQ(+h.biClrUsed, 0U);
        EXPECT_EQ(Bytes(block.begin() + 54, block.begin() + 54 + 4 * entries), Colours(entries));
        EXPECT_EQ(PixelArea(dib), pixels);
    }
}

TEST_F(NormalisationTest, ShortColourTableIsWidenedWithZeroEntriesAndPixelsMoved) {
    Bytes pixels = {1, 2, 3, 0, 4, 5, 6, 0};
    TestDib dib;
    ASSERT_TRUE(
        AttachBytes(dib, InfoFile({.width = 3, .height = 2, .clrUsed = 4}, Colours(4), pixels)));
    const Bytes block = BlockBytes(dib.GetSafeHandle());
    EXPECT_EQ(U32At(block, 10), 1078U);
    EXPECT_EQ(block.size(), 1078U + 8);
    EXPECT_EQ(Bytes(block.begin() + 54, block.begin() + 70), Colours(4));
    EXPECT_EQ(Bytes(block.begin() + 70, block.begin() + 1078), Bytes(1008, 0));
    EXPECT_EQ(PixelArea(dib), pixels);
    EXPECT_EQ(+dib.GetBIH().biClrUsed, 4U);
    EXPECT_EQ(+dib.GetBIH().biSizeImage, 8U);
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

TEST_F(NormalisationTest, GapBeforePixelsIsClosed) {
    Bytes table = Colours(2);
    table.insert(table.end(), 6, 0xCC); // six bytes between the table and the pixels
    TestDib dib;
    ASSERT_TRUE(AttachBytes(
        dib, InfoFile({.width = 8, .height = 1, .bitCount = 1}, table, {0xA5, 0, 0, 0})));
    const Bytes block = BlockBytes(dib.GetSafeHandle());
    EXPECT_EQ(block.size(), 66U);
    EXPECT_EQ(U32At(block, 10), 62U);
    EXPECT_EQ(PixelArea(dib), (Bytes{0xA5, 0, 0, 0}));
}

// The saved file is the block (the round trips), so it reads back.
TEST_F(NormalisationTest, BlockWithoutSignatureGetsOne) {
    Bytes image = EightBitFile();
    image[0] = '0';
    TestDib held(image);
    const Bytes block = BlockBytes(held);
    EXPECT_EQ(block[0], 'B');
    EXPECT_EQ(block[1], 'M');
    EXPECT_EQ(Bytes(block.begin() + 54, block.begin() + 1078),
              Bytes(image.begin() + 54, image.begin() + 1078));
    EXPECT_EQ(PixelArea(held), Bytes(image.begin() + 1078, image.end()));
}

TEST_F(NormalisationTest, TopDownRowsAreTurnedBottomUp) {
    TestDib dib;
    ASSERT_TRUE(AttachBytes(dib, InfoFile({.width = 1, .height = -3, .bitCount = 24}, {},
                                          {1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0})));
    EXPECT_EQ(+dib.GetBIH().biHeight, 3);
    EXPECT_EQ(PixelArea(dib), (Bytes{3, 3, 3, 0, 2, 2, 2, 0, 1, 1, 1, 0}));
}

TEST_F(NormalisationTest, BitFieldsAreRepackedIntoTheLibrarysForms) {
    ByteBuilder masks565;
    masks565.U32(0xF800).U32(0x07E0).U32(0x001F);
    // Top-down rows: pure red, pure green, pure blue; then green 3 of 63, which 5-5-5 could not
    // hold: 5-6-5 becomes 24 bits, each field widened by repeating its top bits.
    TestDib dib;
    ASSERT_TRUE(AttachBytes(
        dib, InfoFile({.width = 3, .height = -2, .bitCount = 16, .compression = BI_BITFIELDS},
                      masks565.Get(),
                      {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0, 0x60, 0x00, 0, 0, 0, 0, 0, 0})));
    EXPECT_EQ(+dib.GetBIH().biCompression, BI_RGB);
    EXPECT_EQ(U32At(BlockBytes(dib.GetSafeHandle()), 10), 54U);
    EXPECT_EQ(+dib.GetBIH().biBitCount, 24);
    EXPECT_EQ(PixelArea(dib), (Bytes{0, 12, 0,   0, 0,   0, 0,   0, 0, 0, 0, 0, //
                                     0, 0,  255, 0, 255, 0, 255, 0, 0, 0, 0, 0}));

    ByteBuilder masksArgb; // red in byte 2, green in byte 1, blue in byte 0, alpha in byte 3
    masksArgb.U32(0x00FF0000).U32(0x0000FF00).U32(0x000000FF);
    ByteBuilder masksRgba; // red in byte 3, green in byte 2, blue in byte 1
    masksRgba.U32(0xFF000000).U32(0x00FF0000).U32(0x0000FF00);
    for (const auto& [masks, pixel] : {std::pair{masksArgb.Get(), Bytes{0x30, 0x20, 0x10, 0xFF}},
                                       std::pair{masksRgba.Get(), Bytes{0x77, 0x30, 0x20, 0x10}}}) {
        ASSERT_TRUE(AttachBytes(
            dib, InfoFile({.width = 1, .height = 1, .bitCount = 32, .compression = BI_BITFIELDS},
                          masks, pixel)));
        EXPECT_EQ(PixelArea(dib), (Bytes{0x30, 0x20, 0x10, 0x00}));
    }
}

struct Refusal {
    const char* name;
    Bytes file;
};

Bytes Patched(Bytes file, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        file[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return file;
}

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
