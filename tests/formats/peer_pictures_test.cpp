// Pictures other programs write with their defaults — BMP of each depth and header they offer,
// PNG of every colour type and bit depth, JPEG of each kind — read by the formats module with
// exactly the pixels those programs (or libpng and libjpeg beneath them) read back, and by the
// library's own loader where the header is one it takes. The files are made at test time; a test
// whose program is missing skips itself and says which.
#include "formats_test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <jpeglib.h>

namespace {

using namespace orvel::test;

constexpr int kWidth = 23;
constexpr int kHeight = 9;

// 40 colours in a pattern that differs in every row, so row order, bit order and the colour
// table all show in the pixels.
std::string WritePpm(const ScratchDir& dir) {
    const std::string header =
        "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
    Bytes ppm(header.begin(), header.end());
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int colour = (x * 7 + y * 3) % 40;
            ppm.insert(ppm.end(), {static_cast<std::uint8_t>(colour * 6),
                                   static_cast<std::uint8_t>(255 - colour * 5),
                                   static_cast<std::uint8_t>((colour % 5) * 60)});
        }
    }
    return dir.Write("in.ppm", ppm);
}

// The peers, by the path of their program.
constexpr const char* kMagick = "/usr/bin/convert";
constexpr const char* kFfmpeg = "/usr/bin/ffmpeg";
constexpr const char* kVips = "/usr/bin/vips";

// A grey PNG of a bit depth below 8, written by ImageMagick.
#define ORVEL_GREY_PNG(bits)                                                                       \
    "{in} -colorspace gray -define png:bit-depth=" bits " -define png:color-type=0 {out}"

struct PeerPicture {
    const char* name; ///< "Png" or "Jpeg" in it names the format; BMP otherwise
    const char* writer;
    const char* write;  ///< the writer's arguments: {in} the PPM, {out} the file
    bool alpha = false; ///< the reference and the comparison include alpha

    // ffmpeg reads back what it wrote; ImageMagick the rest.
    std::string Reader() const { return writer == kFfmpeg ? kFfmpeg : kMagick; }
    std::string File() const {
        const std::string n = name;
        return n.find("Png") != std::string::npos    ? "p.png"
               : n.find("Jpeg") != std::string::npos ? "p.jpg"
                                                     : "p.bmp";
    }
};

// ImageMagick's BMP writer uses a 124-byte header by default; BMP2 and BMP3 ask for the OS/2 1.x
// and 40-byte ones. ffmpeg writes 40-byte headers, with bit fields for 16 bits.
const PeerPicture kPeerPictures[] = {
    {"ImageMagickBmp24", kMagick, "{in} {out}"},
    {"ImageMagickBmp8", kMagick, "{in} -type palette {out}"},
    {"ImageMagickBmp4", kMagick, "{in} -colors 12 -type palette {out}"},
    {"ImageMagickBmp1", kMagick, "{in} -type bilevel {out}"},
    {"ImageMagickBmp32Alpha", kMagick, "{in} -alpha set -channel A -fx 'i/w' +channel {out}", true},
    {"ImageMagickBmp565", kMagick, "{in} -define bmp:subtype=RGB565 {out}"},
    {"ImageMagickBmpRle8", kMagick, "{in} -type palette -compress RLE {out}"},
    {"ImageMagickBmp2Core8", kMagick, "{in} -type palette BMP2:{out}"},
    {"ImageMagickBmp2Core4", kMagick, "{in} -colors 12 -type palette BMP2:{out}"},
    {"ImageMagickBmp3Rle8", kMagick, "{in} -type palette -compress RLE BMP3:{out}"},
    {"FfmpegBmp24", kFfmpeg, "-i {in} -pix_fmt bgr24 {out}"},
    {"FfmpegBmp32", kFfmpeg, "-i {in} -pix_fmt bgra {out}"},
    {"FfmpegBmp565", kFfmpeg, "-i {in} -pix_fmt rgb565le {out}"},
    {"FfmpegBmp555", kFfmpeg, "-i {in} -pix_fmt rgb555le {out}"},
    {"FfmpegBmpPal8", kFfmpeg, "-i {in} -pix_fmt pal8 {out}"},
    {"FfmpegBmpRgb8", kFfmpeg, "-i {in} -pix_fmt rgb8 {out}"},
    {"FfmpegBmp4", kFfmpeg, "-i {in} -pix_fmt bgr4_byte {out}"},
    {"FfmpegBmp1", kFfmpeg, "-i {in} -pix_fmt monob {out}"},
    {"VipsBmp", kVips, "copy {in} {out}"},
    // PNG: each colour type at each bit depth of 8 and less, read back by ImageMagick through
    // libpng. ImageMagick's own reduction of 16-bit samples differs from rounding by one now and
    // then; the PNG codec's suite checks the rounding of 16-bit files libpng writes.
    {"PngGrey1", kMagick, ORVEL_GREY_PNG("1")},
    {"PngGrey2", kMagick, ORVEL_GREY_PNG("2")},
    {"PngGrey4", kMagick, ORVEL_GREY_PNG("4")},
    {"PngGrey8", kMagick, "{in} -colorspace gray PNG8:{out}"},
    {"PngRgb8", kMagick, "{in} PNG24:{out}"},
    {"PngPalette1", kMagick, "{in} -colors 2 -define png:bit-depth=1 PNG8:{out}"},
    {"PngPalette2", kMagick, "{in} -colors 4 -define png:bit-depth=2 PNG8:{out}"},
    {"PngPalette4", kMagick, "{in} -colors 12 -define png:bit-depth=4 PNG8:{out}"},
    {"PngPalette8", kMagick, "{in} PNG8:{out}"},
    {"PngGreyAlpha8", kMagick,
     "{in} -colorspace gray -alpha set -channel A -fx "
     "'j/h' +channel -define png:color-type=4 {out}",
     true},
    {"PngRgba8", kMagick, "{in} -alpha set -channel A -fx 'i/w' +channel PNG32:{out}", true},
    {"PngInterlaced", kMagick, "{in} -interlace PNG PNG24:{out}"},
    {"FfmpegPng", kFfmpeg, "-i {in} {out}"},
    {"VipsPng", kVips, "copy {in} {out}"},
    {"JpegCmyk", kMagick, "{in} -colorspace CMYK {out}"},
};

bool Succeeds(const std::string& commandLine) {
    return std::system((commandLine + " >/dev/null 2>&1").c_str()) == 0;
}

using PeerPictureTest = ::testing::TestWithParam<PeerPicture>;

TEST_P(PeerPictureTest, ReadsThePixelsThePeerReadsBack) {
    const PeerPicture& test = GetParam();
    for (const std::string& peer : {std::string(test.writer), test.Reader()}) {
        if (!std::filesystem::exists(peer)) {
            GTEST_SKIP() << peer << " is not installed (ImageMagick, ffmpeg or libvips-tools)";
        }
    }
    const ScratchDir dir;
    const std::vector<std::pair<std::string, std::string>> names = {
        {"{in}", WritePpm(dir)}, {"{out}", dir.Path(test.File())}, {"{ref}", dir.Path("ref.raw")}};
    const std::string quiet = test.writer == kFfmpeg ? " -y -loglevel error " : " ";
    ASSERT_TRUE(Succeeds(test.writer + quiet + Expanded(test.write, names))) << test.write;
    const std::string channels = test.alpha ? "rgba" : "rgb";
    const std::string read =
        test.Reader() == kFfmpeg
            ? "/usr/bin/ffmpeg -y -loglevel error -i {out} -f rawvideo -pix_fmt " + channels +
                  (test.alpha ? "" : "24") + " {ref}"
            : "/usr/bin/convert {out} " + std::string(test.alpha ? "" : "-alpha off ") +
                  "-depth 8 " + channels + ":{ref}";
    ASSERT_TRUE(Succeeds(Expanded(read, names))) << read;

    orvel::formats::Error error;
    const Bytes block = ReadWithModule(dir.Read(test.File()), &error);
    ASSERT_FALSE(block.empty()) << error.message;
    EXPECT_EQ(InfoHeaderOf(block).biWidth, kWidth);
    EXPECT_EQ(InfoHeaderOf(block).biHeight, kHeight);
    EXPECT_EQ(TopDownPixels(block, test.alpha), dir.Read("ref.raw"));

    // A BMP with one of the two headers the library's own loader takes loads there too, with the
    // same pixels.
    const Bytes file = dir.Read(test.File());
    if (!test.alpha && file.size() > 18 && file[0] == 'B' &&
        (U32At(file, 14) == 12 || U32At(file, 14) == 40)) {
        TestDib dib;
        ASSERT_TRUE(dib.Load(CString(dir.Path(test.File())))) << StatusOf(dib);
        EXPECT_EQ(TopDownPixels(BlockBytes(dib.GetSafeHandle()), false), dir.Read("ref.raw"));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, PeerPictureTest, ::testing::ValuesIn(kPeerPictures), CaseName);

// libjpeg's own decode of a JPEG, as top-down RGB.
Bytes DecodeWithLibjpeg(const Bytes& jpeg) {
    jpeg_decompress_struct decoder{};
    jpeg_error_mgr errors{};
    decoder.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&decoder);
    jpeg_mem_src(&decoder, jpeg.data(), jpeg.size());
    jpeg_read_header(&decoder, TRUE);
    decoder.out_color_space = JCS_RGB;
    jpeg_start_decompress(&decoder);
    Bytes rgb(std::size_t{decoder.output_width} * decoder.output_height * 3);
    while (decoder.output_scanline < decoder.output_height) {
        JSAMPROW row = rgb.data() + std::size_t{decoder.output_scanline} * decoder.output_width * 3;
        jpeg_read_scanlines(&decoder, &row, 1);
    }
    jpeg_finish_decompress(&decoder);
    jpeg_destroy_decompress(&decoder);
    return rgb;
}

// The same JPEG with an EXIF segment holding only the orientation, right after its SOI marker.
Bytes WithOrientation(const Bytes& jpeg, std::uint16_t orientation) {
    ByteBuilder exif;
    exif.Bytes({'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1});
    exif.Bytes({0x01, 0x12, 0, 3, 0, 0, 0, 1}).U8(0).U8(static_cast<std::uint8_t>(orientation));
    exif.U16(0).U32(0);
    ByteBuilder out;
    out.Bytes({0xFF, 0xD8, 0xFF, 0xE1}).U8(0).U8(static_cast<std::uint8_t>(exif.Size() + 2));
    out.Bytes(exif.Get()).Bytes(Bytes(jpeg.begin() + 2, jpeg.end()));
    return out.Get();
}

struct JpegKind {
    const char* name;
    const char* arguments; ///< ImageMagick's, between the PPM and the file
    std::uint16_t orientation;
};

const JpegKind kJpegKinds[] = {
    {"Baseline420", "-quality 85", 1},
    {"Progressive", "-interlace JPEG", 1},
    {"Grey", "-colorspace gray", 1},
    {"Sampling444", "-sampling-factor 1x1", 1},
    {"MirroredLeftToRight", "", 2},
    {"TurnedHalfRound", "", 3},
    {"Transposed", "", 5},
    {"TurnedQuarterClockwise", "", 6},
    {"Transversed", "", 7},
    {"TurnedQuarterAnticlockwise", "", 8},
};

using JpegPeerTest = ::testing::TestWithParam<JpegKind>;

// Unturned files against libjpeg's own decode; turned ones against ImageMagick's -auto-orient,
// which reads the same orientation tag.
TEST_P(JpegPeerTest, ReadsWhatLibjpegDecodesTurnedAsTheFileSays) {
    const JpegKind& test = GetParam();
    if (!std::filesystem::exists("/usr/bin/convert")) {
        GTEST_SKIP() << "ImageMagick (imagemagick) is not installed";
    }
    const ScratchDir dir;
    const std::string in = WritePpm(dir);
    ASSERT_TRUE(
        Succeeds("/usr/bin/convert " + in + " " + test.arguments + " " + dir.Path("p.jpg")));
    Bytes jpeg = dir.Read("p.jpg");
    Bytes expected;
    if (test.orientation == 1) {
        expected = DecodeWithLibjpeg(jpeg);
    } else {
        jpeg = WithOrientation(jpeg, test.orientation);
        const std::string turned = dir.Write("turned.jpg", jpeg);
        ASSERT_TRUE(Succeeds("/usr/bin/convert " + turned +
                             " -auto-orient -depth 8 rgb:" + dir.Path("ref.raw")));
        expected = dir.Read("ref.raw");
    }
    orvel::formats::Error error;
    const Bytes block = ReadWithModule(jpeg, &error);
    ASSERT_FALSE(block.empty()) << error.message;
    const bool turnedSideways = test.orientation >= 5;
    EXPECT_EQ(InfoHeaderOf(block).biWidth, turnedSideways ? kHeight : kWidth);
    EXPECT_EQ(TopDownPixels(block, false), expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, JpegPeerTest, ::testing::ValuesIn(kJpegKinds), CaseName);

// A JPEG that libjpeg writes of noise-like rows, in which any misplaced or misdecoded scanline
// shows. `sampling` is the luma's sampling factor both ways; `restartRows` rows of MCUs between
// restart markers, 0 for none.
Bytes EncodeWithLibjpeg(JDIMENSION width, JDIMENSION height, int components, int sampling,
                        int restartRows, bool progressive = false) {
    jpeg_compress_struct encoder{};
    jpeg_error_mgr errors{};
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    unsigned char* out = nullptr;
    unsigned long outBytes = 0;
    jpeg_mem_dest(&encoder, &out, &outBytes);
    encoder.image_width = width;
    encoder.image_height = height;
    encoder.input_components = components;
    encoder.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&encoder);
    encoder.comp_info[0].h_samp_factor = encoder.comp_info[0].v_samp_factor = sampling;
    encoder.restart_in_rows = restartRows;
    if (progressive) {
        jpeg_simple_progression(&encoder);
    }
    jpeg_start_compress(&encoder, TRUE);
    Bytes row(std::size_t{width} * components);
    std::uint32_t state = 12345;
    while (encoder.next_scanline < height) {
        for (std::uint8_t& sample : row) {
            state = state * 1103515245U + 12345U;
            sample = static_cast<std::uint8_t>((state >> 16) % 64 + encoder.next_scanline % 192);
        }
        JSAMPROW samples = row.data();
        jpeg_write_scanlines(&encoder, &samples, 1);
    }
    jpeg_finish_compress(&encoder);
    jpeg_destroy_compress(&encoder);
    Bytes jpeg(out, out + outBytes);
    std::free(out);
    return jpeg;
}

struct BandedKind {
    const char* name;
    int components;
    int sampling;
    int restartRows;
};

const BandedKind kBandedKinds[] = {
    {"Sampling420", 3, 2, 0},
    {"Sampling444", 3, 1, 0},
    {"Grey", 1, 1, 0},
    {"Sampling420WithRestarts", 3, 2, 1},
};

using BandedJpegTest = ::testing::TestWithParam<BandedKind>;

// A picture large enough that its scanlines are shared among the cores, each core's decoder
// skipping to its band, decodes to libjpeg's pixels of one pass over the file: whole, and with a
// byte of a later band's data damaged. Cut short in a later band it is refused as truncated.
TEST_P(BandedJpegTest, DecodesAsOnePassDoes) {
    const BandedKind& test = GetParam();
    constexpr JDIMENSION kBandedWidth = 1312;
    constexpr JDIMENSION kBandedHeight = 801; // not a whole number of MCU rows
    Bytes jpeg = EncodeWithLibjpeg(kBandedWidth, kBandedHeight, test.components, test.sampling,
                                   test.restartRows);
    Bytes damaged = jpeg;
    std::uint8_t& byte = damaged[damaged.size() * 3 / 4];
    byte = byte == 0xFF || byte == 0xAA ? 0x11 : byte ^ 0x55;
    for (const Bytes* file : {&jpeg, &damaged}) {
        orvel::formats::Error error;
        const Bytes block = ReadWithModule(*file, &error);
        ASSERT_FALSE(block.empty()) << error.message;
        EXPECT_EQ(TopDownPixels(block, false), DecodeWithLibjpeg(*file))
            << (file == &jpeg ? "whole" : "damaged");
    }
    // Turned a quarter clockwise by its EXIF orientation, each band's scanlines become columns:
    // stored pixel (x, y) shows at (height - 1 - y, x).
    const Bytes stored = DecodeWithLibjpeg(jpeg);
    Bytes turned(stored.size());
    for (std::size_t y = 0; y < kBandedHeight; ++y) {
        for (std::size_t x = 0; x < kBandedWidth; ++x) {
            const std::size_t to = (x * kBandedHeight + kBandedHeight - 1 - y) * 3;
            std::copy_n(&stored[(y * kBandedWidth + x) * 3], 3, &turned[to]);
        }
    }
    orvel::formats::Error error;
    EXPECT_EQ(TopDownPixels(ReadWithModule(WithOrientation(jpeg, 6), &error), false), turned)
        << error.message;
    jpeg.resize(jpeg.size() * 3 / 4);
    EXPECT_TRUE(ReadWithModule(jpeg, &error).empty());
    EXPECT_EQ(error.failure, orvel::formats::Failure::truncated) << error.message;
}

INSTANTIATE_TEST_SUITE_P(Formats, BandedJpegTest, ::testing::ValuesIn(kBandedKinds), CaseName);

// A progressive JPEG's last scan repeated, which libjpeg only warns about: a few times it decodes;
// past 256 scans, more than any encoder writes, it is refused before it is decoded to the end.
TEST(FormatsJpegTest, AProgressiveFileOfMoreThan256ScansIsRefused) {
    const Bytes jpeg = EncodeWithLibjpeg(64, 48, 3, 2, 0, true);
    const Bytes startOfScan = {0xFF, 0xDA};
    const auto last =
        std::find_end(jpeg.begin(), jpeg.end() - 2, startOfScan.begin(), startOfScan.end());
    for (const int repeats : {10, 300}) {
        Bytes repeated(jpeg.begin(), jpeg.end() - 2);
        for (int i = 0; i < repeats; ++i) {
            repeated.insert(repeated.end(), last, jpeg.end() - 2);
        }
        repeated.insert(repeated.end(), {0xFF, 0xD9});
        orvel::formats::Error error;
        EXPECT_EQ(ReadWithModule(repeated, &error).empty(), repeats == 300) << error.message;
        EXPECT_EQ(error.failure, repeats == 300 ? orvel::formats::Failure::unsupported
                                                : orvel::formats::Failure::none);
    }
}

} // namespace
