// orvel info: what a file's own headers say, and whether the library accepts the picture, for
// files the library reads, files it refuses and files that are not there.
#include "tool_test_support.h"

namespace {

using namespace orvel::test;

// A file with a 108-byte header, `compression` and sRGB as its colour space (the field after
// the four masks).
Bytes V4HeaderFile(std::uint32_t compression = BI_RGB) {
    return MakeBmp({.width = 2,
                    .height = 2,
                    .bitCount = 24,
                    .compression = compression,
                    .sizeImage = 16,
                    .headerBytes = 108,
                    .masks = {0, 0, 0, 0, 0x73524742},
                    .pixels = Bytes(16, 0x55)});
}

struct InfoCase {
    const char* name;
    Bytes file; ///< empty: no file at all
    int exitCode;
    std::vector<std::string> text; ///< lines the text report holds
    std::vector<std::string> json; ///< members the JSON report holds
};

std::vector<InfoCase> InfoCases() {
    const Bytes rle8 = {2, 9, 0, 0, 0, 2, 0, 0, 0, 1}; // two 9s, end of line, end of picture
    const Bytes full = IndexedBmp(4, 4, {}, Bytes(16, 0));
    return {
        {"Indexed8",
         IndexedBmp(5, 3, SomeColours(256), std::vector<std::uint8_t>(15, 7)),
         0,
         {"  format        BMP, BITMAPINFOHEADER (40 bytes)\n",
          "  size          5 x 3, bottom-up\n", "  bit count     8\n", "  compression   BI_RGB\n",
          "  colour table  256 entries\n",
          "  image size    24 bytes (computed; the header says 0)\n",
          "  pixels at     offset 1078\n", "  library       accepts it (5x3, 8 bits)\n"},
         {"\"width\": 5", "\"height\": 3", "\"bit_count\": 8", "\"colour_table_entries\": 256",
          "\"accepted\": true", "\"status\": null"}},
        {"CoreHeader4",
         CoreFile(3, 2, 4, Colours(16, 3), Bytes(8, 0x12)),
         0,
         {"BMP, BITMAPCOREHEADER (12 bytes)", "3 x 2, bottom-up", "colour table  16 entries",
          "image size    8 bytes (computed; the header says 0)", "accepts it (3x2, 4 bits)"},
         {"\"header\": \"BITMAPCOREHEADER\"", "\"header_size\": 12"}},
        {"RunLength8",
         InfoFile({.width = 2, .height = 2, .bitCount = 8, .compression = BI_RLE8, .sizeImage = 10},
                  Colours(256), rle8),
         0,
         {"compression   BI_RLE8", "image size    10 bytes\n", "accepts it (2x2, 8 bits)"},
         {"\"compression\": \"BI_RLE8\""}},
        {"TopDown24",
         InfoFile({.width = 1, .height = -2, .bitCount = 24}, {}, Bytes(8, 0x40)),
         0,
         {"1 x 2, top-down", "accepts it (1x2, 24 bits)"},
         {"\"height\": -2", "\"top_down\": true"}},
        {"V4Header",
         V4HeaderFile(),
         0,
         {"BMP, BITMAPV4HEADER (108 bytes)", "2 x 2, bottom-up",
          "  colour space  sRGB (not applied: pixels are taken as sRGB)\n",
          "accepts it (2x2, 24 bits)"},
         {"\"accepted\": true", "\"colour_space\": {\"type\": \"sRGB\""}},
        {"V4HeaderRefused",
         V4HeaderFile(99),
         1,
         {"BMP, BITMAPV4HEADER (108 bytes)",
          "refuses it: BMP BITMAPV4HEADER (108 bytes): compression 99\n"},
         {"\"accepted\": false", "\"status\": {\"kind\": \"format\", \"text\": \"BMP "
                                 "BITMAPV4HEADER (108 bytes): compression 99\"}"}},
        {"PngRefused",
         {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0},
         1,
         {"  format        PNG file, not BMP\n", "  file size     12 bytes\n",
          "refuses it: PNG: the data ends before the picture does"},
         {"\"format\": \"PNG\""}},
        {"CutShortInItsHeader",
         Bytes(full.begin(), full.begin() + 30),
         1,
         {"BMP, BITMAPINFOHEADER (40 bytes), cut short",
          "refuses it: BMP BITMAPINFOHEADER (40 bytes): the file ends inside the header"},
         {"\"format\": \"BMP\", \"accepted\": false"}},
        {"Missing",
         {},
         1,
         {"  file          cannot be read: No such file or directory\n",
          "refuses it: file not found (file error 2)"},
         {"\"error\": \"No such file or directory\"",
          "\"status\": {\"kind\": \"file\", \"code\": 2, \"text\": \"file not found\"}"}},
    };
}

class InfoTest : public ::testing::TestWithParam<InfoCase> {};

TEST_P(InfoTest, ReportsTheHeadersAndTheLibrarysVerdict) {
    const InfoCase& test = GetParam();
    const ScratchDir dir;
    const std::string path =
        test.file.empty() ? dir.Path("absent.bmp") : dir.Write("picture.bmp", test.file);
    const Finished text = Orvel({"info", path});
    EXPECT_EQ(text.exitCode, test.exitCode) << text.err;
    EXPECT_EQ(text.out.rfind(path + "\n", 0), 0U) << text.out;
    for (const std::string& line : test.text) {
        EXPECT_NE(text.out.find(line), std::string::npos) << "no '" << line << "' in\n" << text.out;
    }
    // A refusal is a failure message too, naming the file and the reason.
    if (test.exitCode != 0) {
        EXPECT_EQ(text.err.rfind("orvel: cannot load '" + path + "': ", 0), 0U) << text.err;
    } else {
        EXPECT_EQ(text.err, "");
    }

    const Finished json = Orvel({"info", "--json", path});
    EXPECT_EQ(json.exitCode, test.exitCode);
    for (const std::string& member : test.json) {
        EXPECT_NE(json.out.find(member), std::string::npos) << "no " << member << " in\n"
                                                            << json.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Tool, InfoTest, ::testing::ValuesIn(InfoCases()), CaseName);

TEST(InfoReportTest, SeveralFilesMakeOneValidJsonArrayWhateverTheirNames) {
    if (!HasProgram("python3")) {
        GTEST_SKIP() << "python3 is not installed to check the JSON";
    }
    const ScratchDir dir;
    const std::string good = dir.Write("a \"quoted\\ name.bmp", Bmp24(2, 2, SomeColours(4)));
    const std::string bad = dir.Write("b\tc.bmp", V4HeaderFile(99));
    const Finished run = Orvel({"info", "--json", good, bad});
    EXPECT_EQ(run.exitCode, 1); // one file is refused
    const std::string report = dir.Write("report.json", Bytes(run.out.begin(), run.out.end()));
    const std::string check = "python3 -c \"import json,sys; r=json.load(open(sys.argv[1])); "
                              "sys.exit(0 if [x['accepted'] for x in r]==[True,False] "
                              "and r[0]['file']==sys.argv[2] else 1)\" '" +
                              report + "' '" + good + "'";
    EXPECT_EQ(RunShell(check), 0) << run.out;
}

} // namespace
