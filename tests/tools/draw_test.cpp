// orvel draw: what the display path draws, read back pixel by pixel: the whole picture on both
// paths, stretched, a part of it, and raster operations against the canvas colour.
#include "tool_test_support.h"

namespace {

using namespace orvel::test;

constexpr int kWidth = 9;
constexpr int kHeight = 5;
constexpr COLORREF kBackground = RGB(0x10, 0x20, 0x30);

const std::vector<COLORREF> kPicture = SomeColours(kWidth * kHeight, 21);

// The picture lands at (left, top) of the canvas, `scale` times its size, from column `fromX` of
// the picture on (rows are counted from the top, though the display path counts them from the
// bottom); its colours XOR `xorWith`; the background shows elsewhere.
struct DrawCase {
    const char* name;
    const char* options; ///< split at spaces
    int canvasWidth;
    int canvasHeight;
    int bitCount;
    int left = 0;
    int top = 0;
    int scale = 1;
    int fromX = 0;
    COLORREF xorWith = 0;

    COLORREF Expected(int x, int y) const {
        const int sx = x < left ? kWidth : (x - left) / scale + fromX;
        const int sy = y < top ? kHeight : (y - top) / scale;
        return sx >= kWidth || sy >= kHeight
                   ? kBackground
                   : (kPicture[static_cast<std::size_t>(sy * kWidth + sx)] ^ xorWith);
    }
};

const DrawCase kDrawCases[] = {
    {"WholeThroughDrawDib", "", kWidth, kHeight, 32},
    {"WholeThroughStretchDibits", "--stretchdibits", kWidth, kHeight, 32},
    {"OnATwentyFourBitCanvas", "--canvas-depth 24", kWidth, kHeight, 24},
    {"StretchedOntoALargerCanvas", "--canvas 20x13 --dest 1,2,18,10", 20, 13, 32, 1, 2, 2},
    {"APartFromTheTopLeft", "--src 2,0,5,3", 5, 3, 32, 0, 0, 1, 2},
    {"NotSourceCopy", "--rop NOTSRCCOPY", kWidth, kHeight, 32, 0, 0, 1, 0, 0xFFFFFF},
    {"SourceInvertAgainstTheCanvas", "--rop SRCINVERT", kWidth, kHeight, 32, 0, 0, 1, 0,
     kBackground},
};

class DrawTest : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DrawTest, SavesExactlyWhatTheDisplayPathDrew) {
    const DrawCase& test = GetParam();
    const ScratchDir dir;
    const std::string input = dir.Write("in.bmp", Bmp24(kWidth, kHeight, kPicture));
    std::vector<std::string> arguments = {"draw",         input,   "-o", dir.Path("out.bmp"),
                                          "--background", "102030"};
    for (const std::string& option : Words(test.options)) {
        arguments.push_back(option);
    }
    ASSERT_TRUE(OrvelSucceeds(arguments));
    const BmpFile out = ReadBmp(ReadFileBytes(dir.Path("out.bmp")));
    ASSERT_EQ(out.width, test.canvasWidth);
    ASSERT_EQ(out.height, test.canvasHeight);
    EXPECT_EQ(out.bitCount, test.bitCount);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            ASSERT_EQ(out.At(x, y), test.Expected(x, y)) << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tool, DrawTest, ::testing::ValuesIn(kDrawCases), CaseName);

TEST(DrawFailureTest, ARefusedPictureIsNamedAndNothingIsWritten) {
    const ScratchDir dir;
    const std::string input = dir.Write("in.bmp", Bytes{'B', 'M', 0, 0});
    const Finished run = Orvel({"draw", input, "-o", dir.Path("out.bmp")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "orvel: cannot load '" + input +
                           "': BMP: the file ends inside its file header (4 bytes)\n");
    EXPECT_EQ(DirectoryNames(dir.Path("")), std::vector<std::string>{"in.bmp"});
}

} // namespace
