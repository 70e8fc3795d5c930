// The files the tool writes at every depth read back in ImageMagick as the tool meant them.
// Skipped without ImageMagick. Files the peers write are read by the library's own peer test;
// the tool reads them through the same load.
#include "tool_test_support.h"

namespace {

using namespace orvel::test;

constexpr int kWidth = 23;
constexpr int kHeight = 9;

class PeerReadTest : public ::testing::TestWithParam<int> {};

TEST_P(PeerReadTest, ImageMagickReadsTheToolsFilesAsTheToolMeantThem) {
    if (!HasProgram("convert")) {
        GTEST_SKIP() << "ImageMagick (imagemagick) is not installed";
    }
    const int bitCount = GetParam();
    const ScratchDir dir;
    const std::string in =
        dir.Write("in.bmp", Bmp24(kWidth, kHeight, SomeColours(kWidth * kHeight, 40)));
    ASSERT_TRUE(OrvelSucceeds(
        {"convert", in, "--depth", std::to_string(bitCount), "-o", dir.Path("out.bmp")}));
    const std::string read =
        "convert " + dir.Path("out.bmp") + " -alpha off -depth 8 rgb:" + dir.Path("peer.rgb");
    ASSERT_EQ(RunShell(read), 0) << read;
    const Bytes peer = ReadFileBytes(dir.Path("peer.rgb"));
    const BmpFile out = ReadBmp(ReadFileBytes(dir.Path("out.bmp")));
    ASSERT_EQ(peer.size(), 3 * out.colours.size());
    // ImageMagick widens five bits to eight as v * 255 / 31: at 16 bits only the top five count.
    const COLORREF kept = bitCount == 16 ? 0xF8F8F8 : 0xFFFFFF;
    for (std::size_t i = 0; i < out.colours.size(); ++i) {
        const std::uint8_t* rgb = peer.data() + 3 * i;
        EXPECT_EQ(RGB(rgb[0], rgb[1], rgb[2]) & kept, out.colours[i] & kept) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Tool, PeerReadTest, ::testing::Values(1, 4, 8, 16, 24, 32));

} // namespace
