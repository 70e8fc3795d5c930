// The tool and peer programs agree on pixels both ways: BMP files that ImageMagick and Pillow
// write convert to the pixels those programs read from them, and the files the tool writes at
// every depth read back in ImageMagick as the tool meant them. Skipped without the programs.
#include "tool_test_support.h"

namespace {

using namespace orvel::test;

constexpr int kWidth = 23;
constexpr int kHeight = 9;

std::string ImageMagick() {
    return FindProgram({"/usr/bin/convert-im6.q16", "/usr/bin/convert"});
}

bool HavePillow() {
    return !FindProgram({"/usr/bin/python3"}).empty() &&
           Shell("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0;
}

// 40 colours in a pattern that changes along both axes.
Bytes Ppm() {
    const std::string header =
        "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
    ByteBuilder b;
    b.Bytes(Bytes(header.begin(), header.end()));
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int colour = (x * 7 + y * 3) % 40;
            b.U8(static_cast<std::uint8_t>(colour * 6))
                .U8(static_cast<std::uint8_t>(255 - colour * 5))
                .U8(static_cast<std::uint8_t>((colour % 5) * 60));
        }
    }
    EXPECT_EQ(b.Size(), header.size() + 3U * kWidth * kHeight);
    return b.Get();
}

struct PeerWriter {
    const char* name;
    bool pillow;           ///< else ImageMagick
    const char* arguments; ///< ImageMagick options before the output, or Pillow's conversion
};

const PeerWriter kPeerWriters[] = {
    {"ImageMagick1", false, "-type bilevel BMP3:"},
    {"ImageMagick4", false, "-colors 12 -type palette BMP3:"},
    {"ImageMagick8", false, "-type palette -compress none BMP3:"},
    {"ImageMagickRle8", false, "-type palette -compress RLE BMP3:"},
    {"ImageMagickCore8", false, "-type palette BMP2:"},
    {"ImageMagick24", false, "-type truecolor BMP3:"},
    {"Pillow1", true, "convert('1')"},
    {"PillowGrey8", true, "convert('L')"},
    {"PillowPalette8", true, "convert('P', palette=Image.ADAPTIVE, colors=40)"},
    {"Pillow24", true, "convert('RGB')"},
};

void PrintTo(const PeerWriter& writer, std::ostream* out) {
    *out << writer.name;
}

class PeerWrittenTest : public ::testing::TestWithParam<PeerWriter> {};

TEST_P(PeerWrittenTest, ConvertsToThePixelsThePeerReadsBack) {
    const PeerWriter& peer = GetParam();
    const std::string convert = ImageMagick();
    if (peer.pillow ? !HavePillow() : convert.empty()) {
        GTEST_SKIP() << (peer.pillow ? "Python's Pillow (python3-pil) is not installed"
                                     : "ImageMagick (imagemagick) is not installed");
    }
    const TempDir dir;
    const std::string in = dir.Write("in.ppm", Ppm());
    const std::string peerFile = dir.Path("peer.bmp");
    const std::string reference = dir.Path("reference.rgb");
    std::string write;
    std::string read;
    if (peer.pillow) {
        const std::string python = "/usr/bin/python3 -c \"from PIL import Image; ";
        write =
            python + "Image.open('" + in + "')." + peer.arguments + ".save('" + peerFile + "')\"";
        read = python + "open('" + reference + "', 'wb').write(Image.open('" + peerFile +
               "').convert('RGB').tobytes())\"";
    } else {
        write = convert + " " + in + " " + peer.arguments + peerFile;
        read = convert + " " + peerFile + " -alpha off -depth 8 rgb:" + reference;
    }
    ASSERT_EQ(Shell(write), 0) << write;
    ASSERT_EQ(Shell(read), 0) << read;

    const Finished run = Orvel({"convert", peerFile, "--depth", "24", "-o", dir.Path("out.bmp")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const BmpFile out = ReadBmp(ReadFileBytes(dir.Path("out.bmp")));
    ASSERT_EQ(out.width, kWidth);
    ASSERT_EQ(out.height, kHeight);
    Bytes rgb;
    for (const COLORREF c : out.colours) {
        rgb.insert(rgb.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
    }
    EXPECT_EQ(rgb, ReadFileBytes(reference));
}

INSTANTIATE_TEST_SUITE_P(Tool, PeerWrittenTest, ::testing::ValuesIn(kPeerWriters),
                         [](const auto& test) { return std::string(test.param.name); });

class PeerReadTest : public ::testing::TestWithParam<int> {};

TEST_P(PeerReadTest, ImageMagickReadsTheToolsFilesAsTheToolMeantThem) {
    const std::string convert = ImageMagick();
    if (convert.empty()) {
        GTEST_SKIP() << "ImageMagick (imagemagick) is not installed";
    }
    const int bitCount = GetParam();
    const TempDir dir;
    const std::string in =
        dir.Write("in.bmp", Bmp24(kWidth, kHeight, SomeColours(kWidth * kHeight, 40)));
    ASSERT_EQ(Orvel({"convert", in, "--depth", std::to_string(bitCount), "-o", dir.Path("out.bmp")})
                  .exitCode,
              0);
    const std::string read =
        convert + " " + dir.Path("out.bmp") + " -alpha off -depth 8 rgb:" + dir.Path("peer.rgb");
    ASSERT_EQ(Shell(read), 0) << read;
    const Bytes peer = ReadFileBytes(dir.Path("peer.rgb"));
    const BmpFile out = ReadBmp(ReadFileBytes(dir.Path("out.bmp")));
    ASSERT_EQ(peer.size(), 3 * out.colours.size());
    for (std::size_t i = 0; i < out.colours.size(); ++i) {
        const std::uint8_t* rgb = peer.data() + 3 * i;
        if (bitCount == 16) {
            // ImageMagick widens five bits to eight as v * 255 / 31; its top five bits are v.
            EXPECT_EQ(RGB(rgb[0] >> 3 << 3, rgb[1] >> 3 << 3, rgb[2] >> 3 << 3), out.colours[i])
                << i;
        } else {
            EXPECT_EQ(RGB(rgb[0], rgb[1], rgb[2]), out.colours[i]) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tool, PeerReadTest, ::testing::Values(1, 4, 8, 16, 24, 32));

} // namespace
