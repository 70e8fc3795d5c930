// BMP files of every header version and coding, built byte by byte, read by the formats module
// into canonical pictures; and the files it refuses, with the kind and the reason.
#include "formats_test_support.h"

#include <sys/stat.h>

#include <thread>

namespace {

using namespace orvel::test;
using orvel::formats::Failure;

struct Decoded {
    const char* name;
    Bytes file;
    std::uint16_t bitCount;
    Bytes rows;      ///< the canonical rows, bottom row first
    Bytes tableHead; ///< the first colour-table bytes, when they matter

    static Decoded Of(const char* name, Bytes file, std::uint16_t bitCount, Bytes rows,
                      Bytes tableHead = {}) {
        return {name, std::move(file), bitCount, std::move(rows), std::move(tableHead)};
    }
};

// A file of `headerBytes` header bytes, the rest of its fields the builder's defaults.
Bytes File(std::uint32_t headerBytes, std::int32_t width, std::int32_t height,
           std::uint16_t bitCount, std::uint32_t compression, const Bytes& table,
           const Bytes& pixels, const std::vector<std::uint32_t>& masks = {}) {
    return MakeBmp({.width = width,
                    .height = height,
                    .bitCount = bitCount,
                    .compression = compression,
                    .headerBytes = headerBytes,
                    .masks = masks,
                    .table = table,
                    .pixels = pixels});
}

std::vector<Decoded> DecodedCases() {
    const Bytes triples = {1, 2, 3, 4, 5, 6}; // two three-byte OS/2 1.x entries
    Bytes core4Table = triples;
    core4Table.resize(48, 0);
    // RLE4: a run of 3 (1, 2, 1), an absolute run of 3 clipped at the width (3, 4), end of line;
    // a delta one pixel right, a run of 2 sevens, end of picture.
    const Bytes rle4 = {3, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 2, 1, 0, 2, 0x77, 0, 1};
    const Bytes table = {9, 8, 7, 0, 6, 5, 4, 0};
    return {
        Decoded::Of("Core4BitThreeByteEntries",
                    File(12, 3, 1, 4, BI_RGB, core4Table, {0x10, 0x20, 0, 0}), 4,
                    {0x10, 0x20, 0, 0}, {1, 2, 3, 0, 4, 5, 6, 0}),
        Decoded::Of("Os2Header16", File(16, 2, 1, 8, BI_RGB, Colours(256), {5, 7, 0, 0}), 8,
                    {5, 7, 0, 0}),
        Decoded::Of("TwoBitsWidenToFourInOrder",
                    MakeBmp({.width = 5,
                             .bitCount = 2,
                             .clrUsed = 4,
                             .table = Colours(4),
                             .pixels = {0x1B, 0x7F, 0, 0}}),
                    4, {0x01, 0x23, 0x10, 0}),
        Decoded::Of("Masks565BecomeTwentyFourBits",
                    File(40, 2, 1, 16, BI_BITFIELDS, {}, {0x00, 0xF8, 0x23, 0x08},
                         {0xF800, 0x07E0, 0x001F}),
                    24, {0, 0, 255, 24, 4, 8, 0, 0}),
        Decoded::Of("Masks555StaySixteenBits",
                    File(40, 2, 1, 16, BI_BITFIELDS, {}, {0x21, 0x84, 0xFF, 0x7F},
                         {0x7C00, 0x03E0, 0x001F}),
                    16, {0x21, 0x84, 0xFF, 0x7F}),
        Decoded::Of("AlphaBitFields4444KeepAlpha",
                    File(40, 1, 1, 16, 6, {}, {0x21, 0x84, 0, 0}, {0x0F00, 0x00F0, 0x000F, 0xF000}),
                    32, {0x11, 0x22, 0x44, 0x88}),
        Decoded::Of("V3HeaderTenBitFieldsKeepTheirTopBits",
                    File(56, 1, 1, 32, BI_BITFIELDS, {}, {0x01, 0x00, 0xF8, 0x3F},
                         {0x3FF00000, 0x000FFC00, 0x000003FF, 0}),
                    24, {0x00, 0x80, 0xFF, 0}),
        Decoded::Of("V4TopDownOneBitClearsBitsPastTheWidth",
                    File(108, 9, -2, 1, BI_RGB, Colours(2), {0xFF, 0xFF, 0, 0, 0x00, 0x80, 0, 0}),
                    1, {0x00, 0x80, 0, 0, 0xFF, 0x80, 0, 0}),
        Decoded::Of("V5RunLength4", File(124, 5, 2, 4, BI_RLE4, Colours(16), rle4), 4,
                    {0x12, 0x13, 0x40, 0, 0x07, 0x70, 0x00, 0}),
        Decoded::Of("TableCutShortByThePixelsWithoutClrUsed",
                    File(40, 1, 1, 8, BI_RGB, table, {1, 0, 0, 0}), 8, {1, 0, 0, 0}, table),
        Decoded::Of("FullTableStoredDespiteASmallClrUsed",
                    MakeBmp({.bitCount = 1,
                             .sizeImage = 4,
                             .clrUsed = 1,
                             .table = table,
                             .pixels = {0x80, 0, 0, 0}}),
                    1, {0x80, 0, 0, 0}, table),
        // An absolute run of five nibbles whose padding byte is not zero.
        Decoded::Of("RunLength4AbsoluteRunInsideTheRow",
                    File(40, 8, 1, 4, BI_RLE4, Colours(16), {0, 5, 0x12, 0x34, 0x50, 0xFF, 0, 1}),
                    4, {0x12, 0x34, 0x50, 0x00}),
        // A run of five and an absolute run of four, each clipped at the width of three; a run
        // past the top row writes nothing (the sanitizer build sees any byte past the block);
        // the stream then ends without an end code.
        Decoded::Of(
            "RunLength8ClipsAtTheWidthAndKeepsWhatItDecoded",
            File(40, 3, 2, 8, BI_RLE8, Colours(256), {5, 9, 0, 0, 0, 4, 1, 2, 3, 4, 0, 0, 2, 7}), 8,
            {9, 9, 9, 0, 1, 2, 3, 0}),
        // A run of three, an absolute run of three clipped at the width with its padding byte,
        // end of line; a delta one right, a run of two, end of picture.
        Decoded::Of("Os2RunLength24",
                    File(64, 4, 2, 24, 4, {}, {3,  1, 2, 3, 0, 3, 10, 11, 12, 20, 21, 22, 30, 31,
                                               32, 0, 0, 0, 0, 2, 1,  0,  2,  7,  8,  9,  0,  1}),
                    24,
                    {1, 2, 3, 1, 2, 3, 1, 2, 3, 10, 11, 12, 0, 0, 0, 7, 8, 9, 7, 8, 9, 0, 0, 0}),
    };
}

using BmpDecodeTest = ::testing::TestWithParam<Decoded>;

TEST_P(BmpDecodeTest, BecomesTheCanonicalPicture) {
    const Decoded& test = GetParam();
    orvel::formats::Error error;
    const Bytes block = ReadWithModule(test.file, &error);
    ASSERT_FALSE(block.empty()) << error.message;
    const BITMAPINFOHEADER header = InfoHeaderOf(block);
    EXPECT_EQ(header.biSize, 40U);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_GT(header.biHeight, 0);
    EXPECT_EQ(header.biBitCount, test.bitCount);
    EXPECT_EQ(U32At(block, 10), 54U + (test.bitCount <= 8 ? 4U << test.bitCount : 0U));
    EXPECT_EQ(RowsOf(block), test.rows);
    EXPECT_EQ(Bytes(block.begin() + 54,
                    block.begin() + 54 + static_cast<std::ptrdiff_t>(test.tableHead.size())),
              test.tableHead);
}

INSTANTIATE_TEST_SUITE_P(Formats, BmpDecodeTest, ::testing::ValuesIn(DecodedCases()), CaseName);

struct Refused {
    const char* name;
    Bytes file;
    Failure failure;
    const char* message;

    static Refused Of(const char* name, Bytes file, Failure failure, const char* message) {
        return {name, std::move(file), failure, message};
    }
};

std::vector<Refused> RefusedCases() {
    const Bytes rows24 = Bytes(16, 0x40);
    Bytes pixelsBeforeHeaders = File(40, 2, 2, 24, BI_RGB, {}, rows24);
    pixelsBeforeHeaders[10] = 20;
    return {
        Refused::Of(
            "OverlappingMasks", File(40, 1, 1, 16, BI_BITFIELDS, {}, {}, {0xF800, 0x0FE0, 0x1F}),
            Failure::corrupt, "BMP BITMAPINFOHEADER (40 bytes): the red and green masks overlap"),
        Refused::Of("GappedMask", File(40, 1, 1, 16, BI_BITFIELDS, {}, {}, {0xF800, 0x07E0, 0x15}),
                    Failure::corrupt, "the blue mask is not one run of bits within 16 bits"),
        Refused::Of("MaskBeyondThePixel",
                    File(52, 1, 1, 16, BI_BITFIELDS, {}, {}, {0x1F0000, 0x07E0, 0x1F}),
                    Failure::corrupt, "BMP BITMAPV2INFOHEADER (52 bytes): the red mask"),
        Refused::Of("Os2Huffman", File(64, 8, 1, 1, 3, Colours(2), {}), Failure::unsupported,
                    "BMP OS/2 2.x BITMAPINFOHEADER2 (64 bytes): OS/2 Huffman 1D compression is not "
                    "decoded"),
        Refused::Of("TopDownRunLength", File(40, 1, -1, 8, BI_RLE8, Colours(256), {0, 1}),
                    Failure::unsupported, "a top-down run-length picture"),
        Refused::Of("RowsPastTheEnd", File(40, 2, 2, 24, BI_RGB, {}, Bytes(13, 0)),
                    Failure::truncated, "the file ends inside the pixels (13 of 14 bytes)"),
        Refused::Of("HugeClaimInAHundredBytes",
                    File(40, 100000, 100000, 24, BI_RGB, {}, Bytes(46, 0)), Failure::tooLarge,
                    "100000 x 100000 pixels exceed the limit of 1073741824 bytes"),
        Refused::Of("UnknownHeaderSize", MakeBmp({.bitCount = 24, .headerBytes = 200}),
                    Failure::unsupported, "an information header of 200 bytes"),
        Refused::Of("PixelsBeforeTheHeaders", pixelsBeforeHeaders, Failure::corrupt,
                    "the pixels start at offset 20"),
        Refused::Of("NegativeWidth", MakeBmp({.width = -2, .bitCount = 24}), Failure::corrupt,
                    "a negative width"),
        Refused::Of("ThreeBitsPerPixel", MakeBmp({.bitCount = 3}), Failure::unsupported,
                    "3 bits per pixel"),
        Refused::Of("BitFieldsAtEightBits",
                    File(40, 1, 1, 8, BI_BITFIELDS, {}, {}, {0xE0, 0x1C, 0x03}),
                    Failure::unsupported, "bit fields at 8 bits per pixel"),
    };
}

using BmpRefusalTest = ::testing::TestWithParam<Refused>;

TEST_P(BmpRefusalTest, IsRefusedWithItsKindAndReasonAndNothingIsLeft) {
    const Refused& test = GetParam();
    // A refusal comes before any block: the ceiling would turn an allocation into noMemory.
    const orvel::testing::ScopedGlobalAllocLimit ceiling(1 << 16);
    orvel::formats::Error error;
    EXPECT_TRUE(ReadWithModule(test.file, &error).empty());
    EXPECT_EQ(error.failure, test.failure) << error.message;
    EXPECT_EQ(error.format, orvel::formats::Format::bmp);
    EXPECT_NE(error.message.find(test.message), std::string::npos) << error.message;
}

INSTANTIATE_TEST_SUITE_P(Formats, BmpRefusalTest, ::testing::ValuesIn(RefusedCases()), CaseName);

// A large run-length file read from disk is decoded in parts on the worker threads, and the
// memory of the parts already decoded goes back meanwhile; nothing still to be decoded may go, so
// the pixels are those of the same file read from memory, where nothing goes back.
TEST(BmpReaderTest, ARunLengthFileDecodedInPartsFromDiskGivesThePixelsOfOneReadFromMemory) {
    constexpr int kSide = 2048;
    Bytes stream;
    std::uint32_t noise = 12345;
    for (int row = 0; row < kSide; ++row) {
        for (int x = 0; x < kSide; x += 64) {
            stream.insert(stream.end(), {0, 64});
            for (int i = 0; i < 64; ++i, noise = noise * 1103515245 + 12345) {
                stream.push_back(static_cast<BYTE>(noise >> 24));
            }
        }
        stream.insert(stream.end(), {0, 0});
    }
    const Bytes file = File(40, kSide, kSide, 8, BI_RLE8, Colours(256), stream);
    orvel::formats::Error error;
    const Bytes fromMemory = ReadWithModule(file, &error);
    ASSERT_FALSE(fromMemory.empty()) << error.message;
    const ScratchDir dir;
    HGLOBAL block = orvel::formats::ReadPictureFile(dir.Write("runs.bmp", file), {}, &error);
    EXPECT_TRUE(BlockBytes(block) == fromMemory) << error.message;
    GlobalFree(block);
}

// A file laid out as the library keeps pictures is the picture, byte for byte (its own image size
// and row padding included), read from memory, from disk (bytes after bfSize are not the
// picture's) and from a pipe, which is read to its end; one whose image size is wrong is rebuilt
// with the right one; a missing file is named.
TEST(BmpReaderTest, AFileInTheLibrarysOwnLayoutIsKeptAsItStandsWhereverItIsRead) {
    Bytes file = MakeBmp(
        {.width = 3, .height = 2, .bitCount = 24, .sizeImage = 24, .pixels = Bytes(24, 0x3C)});
    orvel::formats::Error error;
    EXPECT_EQ(ReadWithModule(file, &error), file) << error.message;
    Bytes trailed = file;
    trailed.insert(trailed.end(), {1, 2, 3, 4, 5});
    const ScratchDir dir;
    ASSERT_EQ(::mkfifo(dir.Path("pipe").c_str(), 0600), 0);
    std::thread writer([&] { WriteFileBytes(dir.Path("pipe"), trailed); });
    for (const std::string& path :
         {dir.Write("plain.bmp", file), dir.Write("trailed.bmp", trailed), dir.Path("pipe")}) {
        HGLOBAL block = orvel::formats::ReadPictureFile(path, {}, &error);
        EXPECT_EQ(BlockBytes(block), file) << path << ": " << error.message;
        GlobalFree(block);
    }
    writer.join();
    EXPECT_EQ(orvel::formats::ReadPictureFile(dir.Path("none.bmp"), {}, &error), nullptr);
    EXPECT_EQ(error.failure, Failure::fileError);
    EXPECT_NE(error.message.find("cannot read '" + dir.Path("none.bmp") + "'"), std::string::npos);

    file[34] = 23; // biSizeImage one short
    const Bytes rebuilt = ReadWithModule(file, &error);
    ASSERT_FALSE(rebuilt.empty()) << error.message;
    EXPECT_EQ(InfoHeaderOf(rebuilt).biSizeImage, 24U);
    const Bytes row = {0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0, 0, 0};
    Bytes rows = row;
    rows.insert(rows.end(), row.begin(), row.end());
    EXPECT_EQ(RowsOf(rebuilt), rows) << "a rebuilt picture's padding is zero";
}

TEST(BmpReaderTest, ABlockThatCannotBeLockedIsFreedAndReported) {
    for (const Bytes& file :
         {MakeBmp({.width = 3, .height = 2, .bitCount = 24, .pixels = Bytes(24, 0x3C)}),
          MakeBmp({.bitCount = 24, .headerBytes = 108, .pixels = Bytes(4, 1)})}) {
        orvel::testing::InjectFault(orvel::testing::kFaultGlobalLock, 1);
        orvel::formats::Error error;
        EXPECT_TRUE(ReadWithModule(file, &error).empty());
        EXPECT_EQ(error.failure, Failure::noMemory);
        orvel::testing::ClearFault();
    }
}

// What InspectPicture reports of a V5 header: its masks, colour space, intent and profile.
TEST(BmpReaderTest, FactsOfAV5HeaderNameItsColourSpaceData) {
    // After the four masks: 'MBED'; nine endpoints, the red one's Y 1.0 and the blue one's Z 0.5;
    // red gamma 1.5; perceptual intent; the profile's offset and size.
    const Bytes file = MakeBmp(
        {.bitCount = 32,
         .compression = BI_BITFIELDS,
         .headerBytes = 124,
         .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x4D424544, 0, 0x40000000, 0, 0,   0,
                   0,        0,      0,    0x20000000, 0x00018000, 0, 0,          4, 124, 3144},
         .pixels = Bytes(4, 1)});
    orvel::formats::PictureFacts facts;
    orvel::formats::Error error;
    ASSERT_TRUE(orvel::formats::InspectPicture(file.data(), file.size(), &facts, &error))
        << error.message;
    EXPECT_EQ(facts.header, "BITMAPV5HEADER (124 bytes)");
    EXPECT_EQ(facts.coding, "BI_BITFIELDS");
    EXPECT_EQ(facts.masks[3], 0xFF000000U);
    EXPECT_EQ(facts.dibBitCount, 32);
    EXPECT_TRUE(facts.colourSpace.present);
    EXPECT_EQ(facts.colourSpace.type, 0x4D424544U);
    EXPECT_EQ(facts.colourSpace.endpoints[1], 0x40000000);
    EXPECT_EQ(facts.colourSpace.endpoints[8], 0x20000000);
    EXPECT_EQ(facts.colourSpace.gamma[0], 0x00018000U);
    EXPECT_EQ(facts.colourSpace.intent, 4U);
    EXPECT_EQ(facts.colourSpace.profileOffset, 124U);
    EXPECT_EQ(facts.colourSpace.profileBytes, 3144U);
}

} // namespace
