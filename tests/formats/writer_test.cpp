// Pictures written as PNG and JPEG by the formats module, and files cut short at every length.
#include "dib/drawing_support.h"
#include "formats_test_support.h"

#include <orvel/platform/jpeg/jpeg_codec.h>

#include <algorithm>
#include <cstdlib>

#include <jpeglib.h>

namespace {

using namespace orvel::test;
using orvel::formats::Format;

// A canonical picture of `bitCount` bits whose pixels vary in x and y, with zero padding (which a
// PNG does not keep) and, at 32 bits, opaque.
Bytes PictureOfDepth(std::uint16_t bitCount) {
    Bytes file = MakeColourPicture(13, 5, bitCount).file;
    for (std::size_t at = U32At(file, 10) + 3; bitCount == 32 && at < file.size(); at += 4) {
        file[at] = 0xFF;
    }
    return file;
}

Bytes Encoded(const Bytes& picture, Format format, const orvel::formats::WriteOptions& options) {
    HGLOBAL block = BlockOf(picture);
    Bytes out;
    orvel::formats::Error error;
    EXPECT_TRUE(orvel::formats::EncodePicture(block, format, options, &out, &error))
        << error.message;
    GlobalFree(block);
    return out;
}

using WriteTest = ::testing::TestWithParam<int>;

// As PNG, indexed pictures become palette PNGs of their depth and come back as they were; 16-bit
// ones come back as 24 bits with each field widened; the others byte for byte. As JPEG, every
// depth is written through its colours: the file decodes to exactly what the same colours at 24
// bits do (an indexed picture whose table is all grey would become a grey JPEG instead).
TEST_P(WriteTest, PngReadsBackWithEveryPixelAndJpegEncodesThePicturesColours) {
    const auto bitCount = static_cast<std::uint16_t>(GetParam());
    const Bytes picture = PictureOfDepth(bitCount);
    orvel::formats::Error error;
    // Both ends of zlib's levels: stored blocks for the indexed depths, the smallest for the rest.
    const Bytes png = Encoded(picture, Format::png, {.pngCompressionLevel = bitCount <= 8 ? 0 : 9});
    ASSERT_GT(png.size(), 26U);
    EXPECT_EQ(png[25], bitCount <= 8 ? 3 : bitCount == 32 ? 6 : 2) << "IHDR colour type";
    const Bytes back = ReadWithModule(png, &error);
    ASSERT_FALSE(back.empty()) << error.message;
    EXPECT_EQ(InfoHeaderOf(back).biBitCount, bitCount == 16 ? 24 : bitCount);
    EXPECT_EQ(TopDownPixels(back, true), TopDownPixels(picture, true));

    const Bytes jpeg = ReadWithModule(Encoded(picture, Format::jpeg, {}), &error);
    ASSERT_FALSE(jpeg.empty()) << error.message;
    EXPECT_EQ(InfoHeaderOf(jpeg).biBitCount, 24) << "the picture's table is not grey";
    EXPECT_EQ(jpeg, ReadWithModule(Encoded(Bmp24(13, 5, MakeColourPicture(13, 5, bitCount).colours),
                                           Format::jpeg, {}),
                                   &error));
}

INSTANTIATE_TEST_SUITE_P(Formats, WriteTest, ::testing::Values(1, 4, 8, 16, 24, 32));

// Grey noise at the best quality takes about a byte a pixel: more than the writer reserves (half a
// byte a sample) and many of its 64 KiB pieces, so the stream is put together across both.
TEST(FormatsWriteTest, AnIndexedPictureOfGreysBecomesAGreyJpeg) {
    constexpr int kSide = 512;
    std::vector<COLORREF> greys;
    for (unsigned i = 0; i < 256; ++i) {
        greys.push_back(RGB(i, i, i));
    }
    std::vector<std::uint8_t> noise(kSide * kSide);
    std::uint32_t state = 1;
    for (std::uint8_t& index : noise) {
        state = state * 1664525U + 1013904223U;
        index = static_cast<std::uint8_t>(state >> 24);
    }
    const Bytes picture = IndexedBmp(kSide, kSide, greys, noise);
    const Bytes jpeg = Encoded(picture, Format::jpeg, {.jpegQuality = 100});
    EXPECT_GT(jpeg.size(), kSide * kSide / 2 + (64U << 10));
    orvel::formats::Error error;
    const Bytes back = ReadWithModule(jpeg, &error);
    ASSERT_FALSE(back.empty()) << error.message;
    EXPECT_EQ(InfoHeaderOf(back).biBitCount, 8);
    const Bytes rows = RowsOf(back);
    const Bytes expected(picture.end() - kSide * kSide, picture.end()); // the file's rows
    ASSERT_EQ(rows.size(), expected.size());
    int worst = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        worst = std::max(worst, std::abs(rows[i] - expected[i]));
    }
    EXPECT_LE(worst, 2);
    // A table with one channel apart from the other two in any entry is a colour one.
    for (const COLORREF tint : {RGB(200, 0, 0), RGB(0, 0, 200)}) {
        const Bytes tinted = IndexedBmp(2, 1, {RGB(9, 9, 9), tint}, {0, 1});
        EXPECT_EQ(
            InfoHeaderOf(ReadWithModule(Encoded(tinted, Format::jpeg, {}), &error)).biBitCount, 24);
    }

    // Through a sink the same file comes in pieces; a sink that stops taking them ends the
    // encoding as a file error, having been handed a beginning of the file.
    HGLOBAL block = BlockOf(picture);
    for (const std::size_t taken : {std::size_t{99}, std::size_t{2}}) {
        Bytes pieces;
        std::size_t calls = 0;
        const bool written = orvel::formats::EncodePicture(
            block, Format::jpeg, {.jpegQuality = 100},
            [&](const std::uint8_t* bytes, std::size_t count) {
                pieces.insert(pieces.end(), bytes, bytes + count);
                return ++calls <= taken;
            },
            &error);
        EXPECT_EQ(written, taken == 99);
        EXPECT_EQ(error.failure,
                  written ? orvel::formats::Failure::none : orvel::formats::Failure::fileError);
        EXPECT_EQ(pieces, Bytes(jpeg.begin(), jpeg.begin() + std::ssize(pieces)));
        EXPECT_EQ(pieces.size() == jpeg.size(), written);
    }
    GlobalFree(block);
}

// libjpeg's one pass over a 24-bit or grey 8-bit picture, at quality 90 with a restart marker
// after every row of MCUs.
Bytes EncodeInOnePass(const Bytes& picture) {
    const BITMAPINFOHEADER header = InfoHeaderOf(picture);
    const bool grey = header.biBitCount == 8;
    jpeg_compress_struct encoder{};
    jpeg_error_mgr errors{};
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    unsigned char* out = nullptr;
    unsigned long outBytes = 0;
    jpeg_mem_dest(&encoder, &out, &outBytes);
    encoder.image_width = static_cast<JDIMENSION>(header.biWidth);
    encoder.image_height = static_cast<JDIMENSION>(header.biHeight);
    encoder.input_components = grey ? 1 : 3;
    encoder.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, 90, TRUE);
    encoder.restart_in_rows = 1;
    encoder.density_unit = 2; // the picture's resolution, in dots per centimetre
    encoder.X_density = static_cast<UINT16>(header.biXPelsPerMeter / 100);
    encoder.Y_density = static_cast<UINT16>(header.biYPelsPerMeter / 100);
    jpeg_start_compress(&encoder, TRUE);
    const std::size_t stride = StrideOf(header.biWidth, header.biBitCount);
    while (encoder.next_scanline < encoder.image_height) {
        const std::size_t bottomUp = header.biHeight - 1 - encoder.next_scanline;
        auto* row = const_cast<JSAMPROW>(picture.data() + U32At(picture, 10) + bottomUp * stride);
        jpeg_write_scanlines(&encoder, &row, 1);
    }
    jpeg_finish_compress(&encoder);
    jpeg_destroy_compress(&encoder);
    Bytes jpeg(out, out + outBytes);
    std::free(out);
    return jpeg;
}

// Pictures large enough to be encoded in strips on every core, the last strip shorter: the strips
// join into the very file one pass writes, byte for byte.
TEST(FormatsWriteTest, StripsJoinIntoTheFileOnePassWrites) {
    std::uint32_t state = 7;
    auto noise = [&state](int count, int levels) {
        std::vector<std::uint8_t> values(static_cast<std::size_t>(count));
        for (std::uint8_t& value : values) {
            state = state * 1664525U + 1013904223U;
            value = static_cast<std::uint8_t>((state >> 24) % levels);
        }
        return values;
    };
    std::vector<COLORREF> greys;
    for (unsigned i = 0; i < 256; ++i) {
        greys.push_back(RGB(i, i, i));
    }
    std::vector<COLORREF> colours;
    const std::vector<std::uint8_t> samples = noise(1000 * 700 * 3, 256);
    for (std::size_t i = 0; i < samples.size(); i += 3) {
        colours.push_back(RGB(samples[i], samples[i + 1], samples[i + 2] / 2 + i % 128));
    }
    for (const Bytes& picture :
         {Bmp24(1000, 700, colours), IndexedBmp(1100, 520, greys, noise(1100 * 520, 256))}) {
        EXPECT_EQ(Encoded(picture, Format::jpeg, {.jpegQuality = 90}), EncodeInOnePass(picture))
            << InfoHeaderOf(picture).biBitCount << " bits";
    }
}

// A lower quality quantises harder: the file is smaller.
TEST(FormatsWriteTest, JpegQualityTradesSizeForFidelity) {
    const Bytes picture = PictureOfDepth(24);
    EXPECT_LT(Encoded(picture, Format::jpeg, {.jpegQuality = 10}).size(),
              Encoded(picture, Format::jpeg, {.jpegQuality = 100}).size());
}

TEST(FormatsWriteTest, WritingRefusesWhatIsNoPictureAndFormatsItDoesNotWrite) {
    orvel::formats::Error error;
    Bytes out;
    EXPECT_FALSE(orvel::formats::EncodePicture(nullptr, Format::png, {}, &out, &error));
    EXPECT_EQ(error.failure, orvel::formats::Failure::badPicture);
    HGLOBAL block = BlockOf(PictureOfDepth(8));
    EXPECT_FALSE(orvel::formats::EncodePicture(block, Format::bmp, {}, &out, &error));
    EXPECT_EQ(error.failure, orvel::formats::Failure::unsupported);
    EXPECT_FALSE(
        orvel::formats::EncodePicture(block, Format::jpeg, {.jpegQuality = 0}, &out, &error));
    EXPECT_EQ(error.failure, orvel::formats::Failure::unsupported);
    EXPECT_FALSE(
        orvel::formats::EncodePicture(block, Format::jpeg, {.jpegQuality = 101}, &out, &error));
    EXPECT_EQ(error.failure, orvel::formats::Failure::unsupported);
    GlobalFree(block);
}

// The picture's resolution goes into the JFIF header in dots per centimetre (3780 and 2835 a
// metre are 37 and 28); without both, the header keeps libjpeg's 1:1 aspect and no unit.
TEST(FormatsWriteTest, JpegCarriesThePicturesResolution) {
    for (const auto& [x, y, jfif] : {std::tuple{3780, 2835, Bytes{2, 0, 37, 0, 28}},
                                     std::tuple{0, 2835, Bytes{0, 0, 1, 0, 1}}}) {
        Bytes picture = PictureOfDepth(24);
        std::memcpy(&picture[38], &x, 4); // biXPelsPerMeter, then biYPelsPerMeter
        std::memcpy(&picture[42], &y, 4);
        const Bytes jpeg = Encoded(picture, Format::jpeg, {});
        EXPECT_EQ(Bytes(jpeg.begin() + 13, jpeg.begin() + 18), jfif) << x;
    }
}

// A JPEG whose frame header claims 65280 x 65280 pixels, and a PNG or JPEG over a caller's lower
// limit, are refused before any block is made for them.
TEST(FormatsWriteTest, HugeClaimsAreRefusedBeforeDecoding) {
    Bytes jpeg = Encoded(PictureOfDepth(24), Format::jpeg, {});
    const Bytes startOfFrame = {0xFF, 0xC0};
    const auto frame =
        std::search(jpeg.begin(), jpeg.end(), startOfFrame.begin(), startOfFrame.end());
    ASSERT_NE(frame, jpeg.end());
    const Bytes huge = {0xFF, 0x00, 0xFF, 0x00}; // height and width 65280, under libjpeg's cap
    std::copy(huge.begin(), huge.end(), frame + 5);
    const orvel::testing::ScopedGlobalAllocLimit ceiling(1 << 16);
    orvel::formats::Error error;
    EXPECT_TRUE(ReadWithModule(jpeg, &error).empty());
    EXPECT_EQ(error.failure, orvel::formats::Failure::tooLarge) << error.message;
    for (const Format format : {Format::png, Format::jpeg}) {
        const Bytes file = Encoded(PictureOfDepth(24), format, {});
        EXPECT_TRUE(ReadWithModule(file, &error, {.maxPixelBytes = 100}).empty());
        EXPECT_EQ(error.failure, orvel::formats::Failure::tooLarge) << error.message;
        EXPECT_FALSE(ReadWithModule(file, &error, {.maxPixelBytes = 13 * 3 * 5 + 5 * 1}).empty())
            << error.message;
    }
}

// The codec's own entries: a stale failure is cleared by a success, whose header may go unread,
// and a null vector to write into is refused.
TEST(JpegCodecTest, SuccessClearsTheRecordAndANullVectorIsRefused) {
    const Bytes jpeg = Encoded(PictureOfDepth(24), Format::jpeg, {});
    orvel::jpeg::Error error{orvel::jpeg::Failure::corrupt, "stale"};
    EXPECT_TRUE(orvel::jpeg::ReadJpegHeader(jpeg.data(), jpeg.size(), nullptr, &error));
    EXPECT_EQ(error.failure, orvel::jpeg::Failure::none);
    EXPECT_FALSE(orvel::jpeg::EncodeJpeg(nullptr, 0, {}, static_cast<Bytes*>(nullptr), &error));
    EXPECT_EQ(error.failure, orvel::jpeg::Failure::badPicture);
}

using TruncationTest = ::testing::TestWithParam<Format>;

// Every prefix of a file is refused cleanly or read whole; a BMP or PNG shorter than its pixels
// and any cut JPEG are refused, never returned with pixels that were not decoded.
TEST_P(TruncationTest, EveryPrefixIsRefusedOrReadWhole) {
    const Bytes bmp = MakeBmp({.width = 5,
                               .height = 3,
                               .bitCount = 16,
                               .compression = BI_BITFIELDS,
                               .headerBytes = 124,
                               .masks = {0xF800, 0x07E0, 0x1F, 0},
                               .pixels = Bytes(36, 0x5A)});
    const Bytes file =
        GetParam() == Format::bmp ? bmp : Encoded(ReadWithModule(bmp, nullptr), GetParam(), {});
    for (std::size_t length = 0; length < file.size(); ++length) {
        orvel::formats::Error error;
        const Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
        const Bytes block = ReadWithModule(prefix, &error);
        if (!block.empty()) {
            // Only the padding of the last row may be missing.
            EXPECT_EQ(GetParam(), Format::bmp) << length;
            EXPECT_GE(length, file.size() - 2) << length;
            continue;
        }
        EXPECT_FALSE(error.message.empty()) << length;
        EXPECT_NE(error.failure, orvel::formats::Failure::none) << length;
        // Reading the headers alone fails with a reason too, or reports the file's format.
        orvel::formats::PictureFacts facts;
        if (!orvel::formats::InspectPicture(prefix.data(), prefix.size(), &facts, &error)) {
            EXPECT_FALSE(error.message.empty()) << length;
        } else {
            EXPECT_EQ(facts.format, GetParam()) << length;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, TruncationTest,
                         ::testing::Values(Format::bmp, Format::png, Format::jpeg));

} // namespace
