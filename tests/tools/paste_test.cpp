// orvel paste: the pasted rectangle lands where it is asked, clipped at every edge, and pictures
// of other depths are brought to the base's depth and colours.
#include "tool_test_support.h"

#include <numeric>

namespace {

using namespace orvel::test;

constexpr int kBaseWidth = 10;
constexpr int kBaseHeight = 8;
constexpr int kOverWidth = 4;
constexpr int kOverHeight = 3;

Bytes Base() {
    return Bmp24(kBaseWidth, kBaseHeight, SomeColours(kBaseWidth * kBaseHeight, 11));
}

Bytes Over() {
    return Bmp24(kOverWidth, kOverHeight, SomeColours(kOverWidth * kOverHeight, 12));
}

// Pastes `overFile` onto `baseFile` at (atX, atY) and checks every pixel of the result: the
// over's colour where it lands, the base's elsewhere.
void ExpectPasted(const Bytes& baseFile, const Bytes& overFile, int atX, int atY) {
    const ScratchDir dir;
    const std::string basePath = dir.Write("base.bmp", baseFile);
    const std::string position = std::to_string(atX) + "," + std::to_string(atY);
    const Finished run = Orvel({"paste", basePath, dir.Write("over.bmp", overFile), "--at",
                                position, "-o", dir.Path("out.bmp")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const bool outside =
        atX <= -kOverWidth || atY <= -kOverHeight || atX >= kBaseWidth || atY >= kBaseHeight;
    EXPECT_EQ(run.err.find("nothing is pasted") != std::string::npos, outside) << run.err;
    const BmpFile base = ReadBmp(baseFile);
    const BmpFile over = ReadBmp(overFile);
    const BmpFile out = ReadBmp(ReadFileBytes(dir.Path("out.bmp")));
    ASSERT_EQ(out.width * 100 + out.height, kBaseWidth * 100 + kBaseHeight);
    EXPECT_EQ(out.bitCount, base.bitCount);
    EXPECT_EQ(out.table, base.table);
    for (int y = 0; y < kBaseHeight; ++y) {
        for (int x = 0; x < kBaseWidth; ++x) {
            const bool covered =
                x >= atX && x < atX + kOverWidth && y >= atY && y < atY + kOverHeight;
            ASSERT_EQ(out.At(x, y), covered ? over.At(x - atX, y - atY) : base.At(x, y))
                << "at " << x << "," << y;
        }
    }
    EXPECT_EQ(ReadFileBytes(basePath), baseFile);
}

class PastePlacementTest : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(PastePlacementTest, CopiesExactlyTheOverlapAndNothingElse) {
    ExpectPasted(Base(), Over(), GetParam().first, GetParam().second);
}

// The last four fall wholly outside the base.
INSTANTIATE_TEST_SUITE_P(Tool, PastePlacementTest,
                         ::testing::Values(std::pair{2, 3}, std::pair{-1, 6}, std::pair{8, -2},
                                           std::pair{0, 0}, std::pair{6, 5}, std::pair{-4, 0},
                                           std::pair{0, -3}, std::pair{10, 0}, std::pair{3, 8}));

// The over's colours are the base's own (which entry the nearest of others is, is the conversion
// suites' to check); not the standard palettes', so that converting onto those shows.
TEST(PasteTest, AnIndexedBaseKeepsItsDepthAndTableAndTakesItsOwnColours) {
    for (const int bitCount : {4, 8}) {
        SCOPED_TRACE(bitCount);
        const std::vector<COLORREF> table = SomeColours(std::size_t{1} << bitCount, 13);
        std::vector<std::uint8_t> indexes(kBaseWidth * kBaseHeight);
        std::vector<COLORREF> over;
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            indexes[i] = static_cast<std::uint8_t>(i % table.size());
            over.push_back(table[(i * 7 + 3) % table.size()]);
        }
        over.resize(kOverWidth * kOverHeight);
        ExpectPasted(IndexedBmp(kBaseWidth, kBaseHeight, table, indexes, bitCount),
                     Bmp24(kOverWidth, kOverHeight, over), 5, 2);
    }
}

TEST(PasteTest, AnIndexedPictureOverADirectColourBaseKeepsItsColours) {
    std::vector<std::uint8_t> indexes(kOverWidth * kOverHeight);
    std::iota(indexes.begin(), indexes.end(), std::uint8_t{200});
    ExpectPasted(Base(), IndexedBmp(kOverWidth, kOverHeight, SomeColours(256, 14), indexes), 1, 1);
}

} // namespace
