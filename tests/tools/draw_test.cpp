// orvel draw: what the display path draws, read back pixel by pixel: the whole picture on both
// paths, stretched, a part of it, and raster operations against the canvas colour.
#include "tool_test_support.h"

namespace {

using namespace orvel::test;

constexpr int kWidth = 9;
constexpr int kHeight = 5;
constexpr COLORREF kBackground = RGB(0x10, 0x20, 0x30);

const std::vector<COLORREF>& PictureColours() {
    static const std::vector<COLORREF> colours = SomeColours(kWidth * kHeight, 21);
    return colours;
}

COLORREF Source(int x, int y) {
    return PictureColours()[static_cast<std::size_t>(y * kWidth + x)];
}

struct DrawCase {
    const char* name;
    const char* options; ///< split at spaces
    int canvasWidth;
    int canvasHeight;
    int bitCount;
    /// The colour expected at a canvas pixel.
    COLORREF (*expected)(int x, int y);
};

COLORREF Whole(int x, int y) {
    return Source(x, y);
}

// --dest 1,2,18,10 on a 20 x 13 canvas: twice the size, one column and two rows in.
COLORREF Doubled(int x, int y) {
    const int sx = x - 1;
    const int sy = y - 2;
    if (sx < 0 || sy < 0 || sx >= 2 * kWidth || sy >= 2 * kHeight) {
        return kBackground;
    }
    return Source(sx / 2, sy / 2);
}

// --src 2,0,5,3: columns 2 to 6 and rows 0 to 2, counted from the top-left corner (rows 2 to 4
// from the bottom, where the display path counts them).
COLORREF Part(int x, int y) {
    return Source(x + 2, y);
}

COLORREF Inverted(int x, int y) {
    return ~Source(x, y) & 0xFFFFFF;
}

COLORREF XorBackground(int x, int y) {
    return (Source(x, y) ^ kBackground) & 0xFFFFFF;
}

const DrawCase kDrawCases[] = {
    {"WholeThroughDrawDib", "", kWidth, kHeight, 32, Whole},
    {"WholeThroughStretchDibits", "--stretchdibits", kWidth, kHeight, 32, Whole},
    {"OnATwentyFourBitCanvas", "--canvas-depth 24", kWidth, kHeight, 24, Whole},
    {"StretchedOntoALargerCanvas", "--canvas 20x13 --dest 1,2,18,10", 20, 13, 32, Doubled},
    {"APartFromTheTopLeft", "--src 2,0,5,3", 5, 3, 32, Part},
    {"NotSourceCopy", "--rop NOTSRCCOPY", kWidth, kHeight, 32, Inverted},
    {"SourceInvertAgainstTheCanvas", "--rop SRCINVERT", kWidth, kHeight, 32, XorBackground},
};

void PrintTo(const DrawCase& test, std::ostream* out) {
    *out << test.name;
}

class DrawTest : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DrawTest, SavesExactlyWhatTheDisplayPathDrew) {
    const DrawCase& test = GetParam();
    const ScratchDir dir;
    const std::string input = dir.Write("in.bmp", Bmp24(kWidth, kHeight, PictureColours()));
    std::vector<std::string> arguments = {"draw",         input,   "-o", dir.Path("out.bmp"),
                                          "--background", "102030"};
    for (const std::string& option : Words(test.options)) {
        arguments.push_back(option);
    }
    const Finished run = Orvel(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const BmpFile out = ReadBmp(ReadFileBytes(dir.Path("out.bmp")));
    ASSERT_EQ(out.width, test.canvasWidth);
    ASSERT_EQ(out.height, test.canvasHeight);
    EXPECT_EQ(out.bitCount, test.bitCount);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            ASSERT_EQ(out.At(x, y), test.expected(x, y)) << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tool, DrawTest, ::testing::ValuesIn(kDrawCases),
                         [](const auto& test) { return std::string(test.param.name); });

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
