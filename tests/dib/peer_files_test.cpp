// BMP files written by other programs (ImageMagick, Pillow) load with the pixels those programs
// read back from them. The files are made at test time from a picture the test draws.
#include "picture_reader.h"
#include "support/live_objects.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace orvel::test;

constexpr int kWidth = 23;
constexpr int kHeight = 9;

// 40 colours in a pattern that differs in every row, so row order, bit order and the colour
// table all show in the pixels.
Bytes DrawPicture() {
    Bytes rgb;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int colour = (x * 7 + y * 3) % 40;
            rgb.insert(rgb.end(), {static_cast<std::uint8_t>(colour * 6),
                                   static_cast<std::uint8_t>(255 - colour * 5),
                                   static_cast<std::uint8_t>((colour % 5) * 60)});
        }
    }
    return rgb;
}

std::string ImageMagick() {
    for (const char* path : {"/usr/bin/convert-im6.q16", "/usr/bin/convert"}) {
        if (std::filesystem::exists(path)) {
            return path;
        }
    }
    return {};
}

bool HavePillow() {
    return std::filesystem::exists("/usr/bin/python3") &&
           std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0;
}

// The picture an object holds as top-down RGB bytes, read through its colour table.
Bytes TopDownRgb(const CDib& dib) {
    const Bytes block = BlockBytes(dib.GetSafeHandle());
    Bytes rgb;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const COLORREF c = ColourAt(block, x, y);
            rgb.insert(rgb.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
        }
    }
    return rgb;
}

struct PeerFile {
    const char* name;
    bool pillow;           // else ImageMagick
    const char* arguments; // ImageMagick options before the output, or the Pillow conversion
    std::uint16_t bitCount;
    std::uint32_t fileHeaderBytes;
    std::uint32_t fileCompression;
};

const PeerFile kPeerFiles[] = {
    {"ImageMagick1", false, "-type bilevel BMP3:", 1, 40, BI_RGB},
    {"ImageMagick4", false, "-colors 12 -type palette BMP3:", 4, 40, BI_RGB},
    {"ImageMagick8", false, "-type palette -compress none BMP3:", 8, 40, BI_RGB},
    {"ImageMagick24", false, "-type truecolor BMP3:", 24, 40, BI_RGB},
    {"ImageMagick32", false, "-alpha on -define bmp3:alpha=true BMP3:", 32, 40, BI_RGB},
    {"ImageMagickCore1", false, "-type bilevel BMP2:", 1, 12, BI_RGB},
    {"ImageMagickCore4", false, "-colors 12 -type palette BMP2:", 4, 12, BI_RGB},
    {"ImageMagickCore8", false, "-type palette BMP2:", 8, 12, BI_RGB},
    {"ImageMagickCore24", false, "-type truecolor BMP2:", 24, 12, BI_RGB},
    {"ImageMagickRle8", false, "-type palette -compress RLE BMP3:", 8, 40, BI_RLE8},
    {"Pillow1", true, "convert('1')", 1, 40, BI_RGB},
    {"PillowGrey8", true, "convert('L')", 8, 40, BI_RGB},
    {"PillowPalette8", true, "convert('P', palette=Image.ADAPTIVE, colors=40)", 8, 40, BI_RGB},
    {"Pillow24", true, "convert('RGB')", 24, 40, BI_RGB},
    {"Pillow32", true, "convert('RGBA')", 32, 40, BI_RGB},
};

class PeerFileTest : public LeakCheckedTest, public ::testing::WithParamInterface<PeerFile> {};

TEST_P(PeerFileTest, LoadsWithThePixelsThePeerReadsBack) {
    const PeerFile& peer = GetParam();
    const std::string convert = ImageMagick();
    if (peer.pillow ? !HavePillow() : convert.empty()) {
        GTEST_SKIP() << (peer.pillow ? "Python's Pillow (python3-pil) is not installed"
                                     : "ImageMagick (imagemagick) is not installed");
    }
    TempDir dir;
    ByteBuilder ppm;
    const std::string ppmHeader =
        "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
    ppm.Bytes(Bytes(ppmHeader.begin(), ppmHeader.end())).Bytes(DrawPicture());
    ASSERT_EQ(ppm.Size(), ppmHeader.size() + 3U * kWidth * kHeight);
    const std::string in = dir.Write("in.ppm", ppm.Get());
    const std::string out = dir.Path("out.bmp");
    const std::string reference = dir.Path("reference.rgb");
    std::string write;
    std::string read;
    if (peer.pillow) {
        write = "/usr/bin/python3 -c \"from PIL import Image; Image.open('" + in + "')." +
                peer.arguments + ".save('" + out + "')\"";
        read = "/usr/bin/python3 -c \"from PIL import Image; open('" + reference +
               "', 'wb').write(Image.open('" + out + "').convert('RGB').tobytes())\"";
    } else {
        write = convert + " " + in + " " + peer.arguments + out;
        read = convert + " " + out + " -alpha off -depth 8 rgb:" + reference;
    }
    ASSERT_EQ(std::system(write.c_str()), 0) << write;
    ASSERT_EQ(std::system(read.c_str()), 0) << read;
    const Bytes file = dir.Read("out.bmp");
    ASSERT_GE(file.size(), 34U);
    EXPECT_EQ(U32At(file, 14), peer.fileHeaderBytes);
    if (peer.fileHeaderBytes == 40) {
        EXPECT_EQ(U32At(file, 30), peer.fileCompression);
    }

    TestDib dib;
    ASSERT_TRUE(dib.Load(CString(out))) << StatusOf(dib);
    EXPECT_EQ(dib.GetColorNum(), peer.bitCount);
    EXPECT_EQ(dib.GetSize(), CSize(kWidth, kHeight));
    EXPECT_EQ(TopDownRgb(dib), dir.Read("reference.rgb"));
}

INSTANTIATE_TEST_SUITE_P(Programs, PeerFileTest, ::testing::ValuesIn(kPeerFiles),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
