// orvel convert: every depth pixel by pixel against the palettes, resizing, pictures left alone
// when nothing is asked, failures that leave no file behind, and batches over several threads.
#include "tool_test_support.h"

#include <algorithm>
#include <numeric>

namespace {

using namespace orvel::test;

constexpr int kWidth = 13; // odd, so every depth has row padding
constexpr int kHeight = 7;

const std::vector<COLORREF> kSource = SomeColours(kWidth * kHeight);

std::vector<COLORREF> FirstEntries(std::vector<COLORREF> colours, std::size_t count) {
    colours.resize(std::min(colours.size(), count));
    return colours;
}

// The colours of the palette file the tests pass with --palette FILE.
const std::vector<COLORREF> kFileColours = SomeColours(256, 7);

struct DepthCase {
    const char* name;
    std::vector<std::string> options; ///< "{pal}" stands for the palette file
    int bitCount;                     ///< of the result
    std::vector<COLORREF> palette;    ///< the colours indexed results map onto
};

std::vector<DepthCase> DepthCases() {
    return {
        {"To1", {"--depth", "1"}, 1, StandardPalette(1)},
        {"To4", {"--depth", "4"}, 4, StandardPalette(4)},
        {"To8", {"--depth", "8"}, 8, StandardPalette(8)},
        {"To8OntoSixteen", {"--depth", "8", "--palette", "16"}, 8, StandardPalette(4)},
        {"To4OntoBlackAndWhite", {"--depth", "4", "--palette", "bw"}, 4, StandardPalette(1)},
        {"To8OntoAFile", {"--depth", "8", "--palette", "{pal}"}, 8, kFileColours},
        {"PaletteAloneChoosesItsDepth", {"--palette", "bw"}, 1, StandardPalette(1)},
        {"To16", {"--depth", "16"}, 16, {}},
        {"To32", {"--depth", "32"}, 32, {}},
    };
}

class ConvertDepthTest : public ::testing::TestWithParam<DepthCase> {};

TEST_P(ConvertDepthTest, EveryPixelTakesItsNearestPaletteColourOrItsOwnChannels) {
    const DepthCase& test = GetParam();
    const ScratchDir dir;
    const std::string input = dir.Write("in.bmp", Bmp24(kWidth, kHeight, kSource));
    const std::string palette = dir.Write("pal.bmp", IndexedBmp(1, 1, kFileColours, {0}));
    std::vector<std::string> arguments = {"convert", input, "-o", dir.Path("out.bmp")};
    for (const std::string& option : test.options) {
        arguments.push_back(option == "{pal}" ? palette : option);
    }
    const Finished run = Orvel(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");

    // The depth and the palette are the tool's choice; which entry each pixel takes is the
    // conversion suites' to check.
    const BmpFile out = ReadBmp(ReadFileBytes(dir.Path("out.bmp")));
    ASSERT_EQ(out.bitCount, test.bitCount);
    EXPECT_EQ(out.width * 100 + out.height, kWidth * 100 + kHeight);
    // The table holds the palette from entry 0; a smaller palette leaves the rest unused.
    EXPECT_EQ(FirstEntries(out.table, test.palette.size()),
              FirstEntries(test.palette, out.table.size()));
    if (test.bitCount == 32) {
        EXPECT_EQ(out.colours, kSource) << "direct colour keeps every pixel";
    }
    EXPECT_EQ(ReadFileBytes(input), Bmp24(kWidth, kHeight, kSource)); // only read
}

INSTANTIATE_TEST_SUITE_P(Tool, ConvertDepthTest, ::testing::ValuesIn(DepthCases()), CaseName);

TEST(ConvertTest, APictureAlreadyAtTheDepthIsWrittenUnchangedUnlessAPaletteIsGiven) {
    const ScratchDir dir;
    std::vector<std::uint8_t> indexes(kWidth * kHeight);
    std::iota(indexes.begin(), indexes.end(), std::uint8_t{0});
    const Bytes file = IndexedBmp(kWidth, kHeight, SomeColours(256, 3), indexes);
    const std::string input = dir.Write("in.bmp", file);
    ASSERT_TRUE(OrvelSucceeds({"convert", input, "--depth", "8", "-o", dir.Path("same.bmp")}));
    EXPECT_EQ(ReadFileBytes(dir.Path("same.bmp")), file);
    ASSERT_TRUE(OrvelSucceeds({"convert", input, "--depth", "8", "--palette", "halftone", "-o",
                               dir.Path("halftone.bmp")}));
    EXPECT_EQ(ReadBmp(ReadFileBytes(dir.Path("halftone.bmp"))).table, StandardPalette(8));
}

// --size gives the picture that size, width first (which pixels resampling keeps is the library
// suites' to check); with --depth, the result of one step after the other.
TEST(ConvertSizeTest, DepthAndSizeTogetherGiveWhatTheyGiveOneAfterTheOther) {
    const ScratchDir dir;
    const std::string input = dir.Write("in.bmp", Bmp24(kWidth, kHeight, kSource));
    ASSERT_TRUE(OrvelSucceeds({"convert", input, "--depth", "4", "-o", dir.Path("depth.bmp")}));
    for (const char* size : {"5x3", "29x11"}) { // shrinking and growing take the steps in turn
        ASSERT_TRUE(OrvelSucceeds(
            {"convert", input, "--depth", "4", "--size", size, "-o", dir.Path("both.bmp")}));
        ASSERT_TRUE(OrvelSucceeds(
            {"convert", dir.Path("depth.bmp"), "--size", size, "-o", dir.Path("then-size.bmp")}));
        EXPECT_EQ(ReadFileBytes(dir.Path("both.bmp")), ReadFileBytes(dir.Path("then-size.bmp")))
            << size;
        const BmpFile both = ReadBmp(ReadFileBytes(dir.Path("both.bmp")));
        EXPECT_EQ(std::to_string(both.width) + "x" + std::to_string(both.height), size);
    }
}

// A failing conversion names the file, the operation and the reason, exits with 1, and leaves
// the output as it was: an existing file keeps its bytes and no temporary file stays behind.
struct FailureCase {
    const char* name;
    const char* arguments; ///< after "convert"; {in} {bad} {out} {dir} stand for test paths
    const char* message;
    int exitCode = 1; ///< 2: refused as a command line, before anything is read
};

const FailureCase kFailureCases[] = {
    {"MissingInput", "{dir}/absent.bmp -o {out}",
     "orvel: cannot load '{dir}/absent.bmp': file not found (file error 2)\n"},
    {"RefusedInput", "{bad} -o {out}",
     "orvel: cannot load '{bad}': BMP: the file ends inside its file header (5 bytes)\n"},
    {"RefusedPaletteFile", "{in} -o {out} --palette {bad}",
     "orvel: cannot load '{bad}': BMP: the file ends inside its file header (5 bytes)\n"},
    {"DirectColourPaletteFile", "{in} -o {out} --palette {in}",
     "orvel: cannot use '{in}' as a palette: it has 24 bits per pixel"},
    {"NoSuchOutputDirectory", "{in} -o {dir}/no/out.bmp",
     "orvel: cannot write '{dir}/no/out.bmp': No such file or directory\n"},
    {"OutputIsADirectory", "{in} -o {dir}", "orvel: cannot write '{dir}': it is a directory\n"},
    {"PictureTooLarge", "{in} -o {out} --depth 32 --size 65535x65535",
     "orvel: cannot resize '{in}' to 65535x65535: the pixels would exceed the 1 GiB"},
    {"OutputIsTheInput", "{in} --depth 8 -o {dir}/./in.bmp",
     "orvel convert: '{dir}/./in.bmp' is an input", 2},
};

class ConvertFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ConvertFailureTest, NamesFileAndReasonAndLeavesTheOutputAsItWas) {
    const ScratchDir dir;
    const Bytes input = Bmp24(kWidth, kHeight, kSource);
    const Bytes earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    const std::vector<std::pair<std::string, std::string>> paths = {
        {"{in}", dir.Write("in.bmp", input)},
        {"{bad}", dir.Write("bad.bmp", Bytes{'B', 'M', 1, 2, 3})},
        {"{out}", dir.Write("out.bmp", earlier)},
        {"{dir}", dir.Path("").substr(0, dir.Path("").size() - 1)}};
    const std::vector<std::string> arguments =
        Words(Expanded(std::string("convert ") + GetParam().arguments, paths));
    const Finished run = Orvel(arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;
    EXPECT_EQ(run.err.rfind(Expanded(GetParam().message, paths), 0), 0U) << run.err;
    EXPECT_EQ(ReadFileBytes(dir.Path("out.bmp")), earlier);
    EXPECT_EQ(ReadFileBytes(dir.Path("in.bmp")), input);
    EXPECT_EQ(DirectoryNames(dir.Path("")),
              (std::vector<std::string>{"bad.bmp", "in.bmp", "out.bmp"}));
}

INSTANTIATE_TEST_SUITE_P(Tool, ConvertFailureTest, ::testing::ValuesIn(kFailureCases), CaseName);

TEST(ConvertBatchTest, EveryPictureComesOutAsItWouldAloneAndAFailureStopsNoOther) {
    const ScratchDir dir;
    std::vector<std::string> inputs;
    for (int i = 0; i < 7; ++i) {
        const int width = 3 + 5 * i;
        const int height = 2 + i;
        inputs.push_back(dir.Write("in" + std::to_string(i) + ".bmp",
                                   Bmp24(width, height,
                                         SomeColours(static_cast<std::size_t>(width * height),
                                                     static_cast<std::uint32_t>(i)))));
    }
    std::vector<std::string> arguments = {"convert", "--depth", "4",         "--size",       "9x5",
                                          "--jobs",  "3",       "--out-dir", dir.Path("out")};
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    const std::string broken = dir.Write("broken.bmp", Bytes{'B', 'M', 0});
    arguments.insert(arguments.end() - 4, broken); // among the others
    const Finished run = Orvel(arguments);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("orvel: cannot load '" + broken + "': "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("orvel: 1 of 8 pictures failed\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\r'), std::string::npos) << "a progress bar outside a terminal";

    std::vector<std::string> expected; // in0.bmp to in6.bmp, in their order
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        expected.push_back("in" + std::to_string(i) + ".bmp");
        ASSERT_TRUE(OrvelSucceeds(
            {"convert", "--depth", "4", "--size", "9x5", inputs[i], "-o", dir.Path("alone.bmp")}));
        EXPECT_EQ(ReadFileBytes(dir.Path("out/" + expected[i])),
                  ReadFileBytes(dir.Path("alone.bmp")))
            << expected[i];
    }
    EXPECT_EQ(DirectoryNames(dir.Path("out")), expected);
}

} // namespace
