// The command line: wrong ones exit with 2, name what is wrong and show the usage line, before
// any file is touched; help exits with 0; the option parser reads each form of value.
#include "tool_test_support.h"

#include "../../tools/orvel/options.h"

namespace {

using namespace orvel::test;
using orvel::cli::UsageError;

// The command line as one string split at spaces ("{d}" stands for the test's own directory,
// "{convert}", "{draw}" and "{avi}" for the command with an input and an output there) and the
// mistake named; the usage line of the command, or the overview, must follow.
struct UsageCase {
    const char* name;
    const char* line;
    const char* message;
};

const UsageCase kUsageCases[] = {
    {"NoArguments", "", "usage: orvel <command>"},
    {"UnknownCommand", "frobnicate", "unknown command 'frobnicate'"},
    {"InfoWithoutFile", "info", "no file given"},
    {"UnknownOption", "info --colour a.bmp", "unknown option '--colour'"},
    {"FlagWithValue", "info --json=yes a.bmp", "--json takes no value"},
    {"NoOutput", "convert a.bmp", "no output given"},
    {"MissingValue", "convert a.bmp -o", "-o needs a value"},
    {"DepthNotOfTheLibrary", "{convert} --depth 7", "--depth must be 1, 4, 8, 16, 24 or 32, not 7"},
    {"DepthNotANumber", "{convert} --depth eight", "--depth expects a whole number, not 'eight'"},
    {"OptionTwice", "{convert} --depth 8 --depth=4", "--depth is given twice"},
    {"SeveralInputsOneOutput", "convert a.bmp b.bmp -o {d}/x.bmp", "several inputs need --out-dir"},
    {"OutputAndOutDir", "{convert} --out-dir {d}", "not both"},
    {"SizeMalformed", "{convert} --size 10by3", "--size expects WIDTHxHEIGHT"},
    {"SizeZero", "{convert} --size 0x3", "--size width must be from 1 to 65535, not 0"},
    {"PaletteOnDirectColour", "{convert} --depth 24 --palette bw",
     "--palette applies to depths 1, 4 and 8"},
    {"PaletteLargerThanDepth", "{convert} --depth 1 --palette 16",
     "has 16 colours; a 1-bit picture addresses only 2"},
    {"BatchNameClash", "convert one/x.bmp two/x.BMP --out-dir {d}",
     "would both be written to x.bmp"},
    {"PasteOnePicture", "paste a.bmp -o {d}/x.bmp", "expected two pictures, BASE and OVER, not 1"},
    {"PastePositionMalformed", "paste a.bmp b.bmp -o {d}/x.bmp --at 3", "--at expects X,Y"},
    {"RasterOperationUnknown", "{draw} --rop MERGECOPY", "--rop expects one of SRCCOPY, SRCPAINT"},
    {"CanvasDepth", "{draw} --canvas-depth 16", "--canvas-depth must be 24 or 32, not 16"},
    {"SourceWithoutArea", "{draw} --src 0,0,0,5", "--src needs a positive width and height"},
    {"BackgroundMalformed", "{draw} --background red", "--background expects a colour RRGGBB"},
    {"AviWithoutFrames", "avi -o {d}/x.avi", "no frames given"},
    {"AviCodecUnknown", "{avi} --codec xvid", "--codec expects mrle or dib, not 'xvid'"},
    {"AviPaletteForFullFrames", "{avi} --codec dib --palette bw",
     "--palette applies to the mrle codec"},
    {"AviRateZero", "{avi} --fps 0", "--fps must be from 1 to 1000, not 0"},
    {"DemoWithInput", "demo card.bmp", "the demo takes no input"},
};

class UsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageTest, ExitsWithTwoNamingTheMistakeAndWritesNothing) {
    const ScratchDir dir;
    const std::vector<std::string> arguments =
        Words(Expanded(GetParam().line, {{"{convert}", "convert a.bmp -o {d}/x.bmp"},
                                         {"{draw}", "draw a.bmp -o {d}/x.bmp"},
                                         {"{avi}", "avi f.bmp -o {d}/x.avi"},
                                         {"{d}", dir.Path("")}}));
    const bool known = !arguments.empty() && arguments[0] != "frobnicate";
    const std::string usage = arguments.empty() ? "Commands:"
                              : known           ? "usage: orvel " + arguments[0] + " "
                                                : "usage: orvel <command>";
    const Finished run = Orvel(arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(usage), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(DirectoryNames(dir.Path("")).empty());
}

INSTANTIATE_TEST_SUITE_P(Tool, UsageTest, ::testing::ValuesIn(kUsageCases), CaseName);

class HelpTest : public ::testing::TestWithParam<const char*> {};

TEST_P(HelpTest, PrintsTheUsageAndEveryOptionOnStdout) {
    const Finished run = Orvel({GetParam(), "--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind(std::string("usage: orvel ") + GetParam(), 0), 0U) << run.out;
    EXPECT_EQ(run.err, "");
    // Help comes before work: an unknown option beside --help is not an error.
    EXPECT_EQ(Orvel({GetParam(), "--bogus", "-h"}).exitCode, 0);
    // The overview lists the command.
    EXPECT_NE(Orvel({"--help"}).out.find(std::string("\n  ") + GetParam() + " "),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Tool, HelpTest,
                         ::testing::Values("info", "convert", "paste", "draw", "avi", "demo"));

TEST(OptionParserTest, ReadsEveryFormOfAValueAndStopsAtDoubleDash) {
    using orvel::cli::ParseArguments;
    const std::vector<orvel::cli::OptionRule> rules = {
        {"depth", 0, true}, {"output", 'o', true}, {"json", 0, false}};
    const auto parsed = ParseArguments(
        {"in.bmp", "--depth=8", "-o", "-out.bmp", "--json", "--", "-o", "--json"}, rules);
    EXPECT_EQ(parsed.Value("depth"), "8");
    EXPECT_EQ(parsed.Value("output"), "-out.bmp"); // a value may start with a dash
    EXPECT_TRUE(parsed.Has("json"));
    EXPECT_EQ(parsed.Operands(), (std::vector<std::string>{"in.bmp", "-o", "--json"}));
    EXPECT_EQ(ParseArguments({"-5"}, rules).Operands(), std::vector<std::string>{"-5"});
    EXPECT_THROW(ParseArguments({"--depth"}, rules), UsageError);
    EXPECT_THROW(ParseArguments({"-x"}, rules), UsageError);
}

TEST(OptionParserTest, ReadsSizesPositionsAreasAndColours) {
    using namespace orvel::cli;
    const Extent extent = ParseExtent("--size", "640x480", 1, 65535);
    EXPECT_EQ(extent.width, 640);
    EXPECT_EQ(extent.height, 480);
    const Position position = ParsePosition("--at", "-3,+7");
    EXPECT_EQ(position.x, -3);
    EXPECT_EQ(position.y, 7);
    const Area area = ParseArea("--dest", "1,2,-30,40");
    EXPECT_EQ(area.width, -30);
    EXPECT_EQ(area.height, 40);
    EXPECT_EQ(ParseColour("--background", "ff8001"), RGB(255, 128, 1));
    EXPECT_EQ(ParseColour("--background", "#0000FF"), RGB(0, 0, 255));
    for (const char* bad : {"", "x", "1x", "x1", "1x2x3", "1.5x2", "99999999999999999999x1"}) {
        EXPECT_THROW(ParseExtent("--size", bad, 1, 65535), UsageError) << bad;
    }
    for (const char* bad : {"1", "1,", ",1", "1,2,3", "a,b"}) {
        EXPECT_THROW(ParsePosition("--at", bad), UsageError) << bad;
    }
    EXPECT_THROW(ParseArea("--src", "1,2,3"), UsageError);
    EXPECT_THROW(ParseColour("--background", "fff"), UsageError);
}

} // namespace
