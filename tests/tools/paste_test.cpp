// orvel paste: the pasted rectangle lands where it is asked, clipped at every edge, and pictures
// of other depths are brought to the base's depth and colours.
#include "tool_test_support.h"

namespace {

using namespace orvel::test;

constexpr int kBaseWidth = 10;
constexpr int kBaseHeight = 8;
constexpr int kOverWidth = 4;
constexpr int kOverHeight = 3;

const std::vector<COLORREF>& BaseColours() {
    static const std::vector<COLORREF> colours = SomeColours(kBaseWidth * kBaseHeight, 11);
    return colours;
}

const std::vector<COLORREF>& OverColours() {
    static const std::vector<COLORREF> colours = SomeColours(kOverWidth * kOverHeight, 12);
    return colours;
}

// The colour at (x, y) of `base` after pasting at (atX, atY); `map` turns an over colour into
// what the base can hold.
template <class Map>
COLORREF Expected(const BmpFile& base, int x, int y, int atX, int atY, Map map) {
    const int overX = x - atX;
    const int overY = y - atY;
    if (overX >= 0 && overX < kOverWidth && overY >= 0 && overY < kOverHeight) {
        return map(OverColours()[static_cast<std::size_t>(overY * kOverWidth + overX)]);
    }
    return base.At(x, y);
}

// Pastes OVER onto the base file at (x, y) and checks every pixel of the result.
template <class Map>
void ExpectPasted(const ScratchDir& dir, const Bytes& baseFile, int atX, int atY, Map map) {
    const std::string basePath = dir.Write("base.bmp", baseFile);
    const std::string overPath =
        dir.Write("over.bmp", Bmp24(kOverWidth, kOverHeight, OverColours()));
    const std::string position = std::to_string(atX) + "," + std::to_string(atY);
    const Finished run =
        Orvel({"paste", basePath, overPath, "--at", position, "-o", dir.Path("out.bmp")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const bool outside =
        atX <= -kOverWidth || atY <= -kOverHeight || atX >= kBaseWidth || atY >= kBaseHeight;
    EXPECT_EQ(run.err.find("nothing is pasted") != std::string::npos, outside) << run.err;
    const BmpFile base = ReadBmp(baseFile);
    const BmpFile out = ReadBmp(ReadFileBytes(dir.Path("out.bmp")));
    ASSERT_EQ(out.width * 100 + out.height, kBaseWidth * 100 + kBaseHeight);
    EXPECT_EQ(out.bitCount, base.bitCount);
    EXPECT_EQ(out.table, base.table);
    for (int y = 0; y < kBaseHeight; ++y) {
        for (int x = 0; x < kBaseWidth; ++x) {
            ASSERT_EQ(out.At(x, y), Expected(base, x, y, atX, atY, map)) << "at " << x << "," << y;
        }
    }
    EXPECT_EQ(ReadFileBytes(basePath), baseFile);
}

class PastePlacementTest : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(PastePlacementTest, CopiesExactlyTheOverlapAndNothingElse) {
    const ScratchDir dir;
    ExpectPasted(dir, Bmp24(kBaseWidth, kBaseHeight, BaseColours()), GetParam().first,
                 GetParam().second, [](COLORREF c) { return c; });
}

// The last four fall wholly outside the base.
INSTANTIATE_TEST_SUITE_P(Tool, PastePlacementTest,
                         ::testing::Values(std::pair{2, 3}, std::pair{-1, 6}, std::pair{8, -2},
                                           std::pair{0, 0}, std::pair{6, 5}, std::pair{-4, 0},
                                           std::pair{0, -3}, std::pair{10, 0}, std::pair{3, 8}));

TEST(PasteTest, AnIndexedBaseKeepsItsDepthAndTableAndTakesItsNearestColours) {
    for (const int bitCount : {4, 8}) {
        SCOPED_TRACE(bitCount);
        const ScratchDir dir;
        // The base's own colours, so that nearest matches are not the standard palettes'.
        const std::vector<COLORREF> table = SomeColours(std::size_t{1} << bitCount, 13);
        std::vector<std::uint8_t> indexes(kBaseWidth * kBaseHeight);
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            indexes[i] = static_cast<std::uint8_t>(i % table.size());
        }
        ExpectPasted(dir, IndexedBmp(kBaseWidth, kBaseHeight, table, indexes, bitCount), 5, 2,
                     [&](COLORREF c) { return table[NearestIndex(table, c)]; });
    }
}

TEST(PasteTest, AnIndexedPictureOverADirectColourBaseKeepsItsColours) {
    const ScratchDir dir;
    const std::vector<COLORREF> table = SomeColours(256, 14);
    std::vector<std::uint8_t> indexes(kOverWidth * kOverHeight);
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        indexes[i] = static_cast<std::uint8_t>(i * 19);
    }
    const std::string basePath =
        dir.Write("base.bmp", Bmp24(kBaseWidth, kBaseHeight, BaseColours()));
    const std::string overPath =
        dir.Write("over.bmp", IndexedBmp(kOverWidth, kOverHeight, table, indexes));
    ASSERT_EQ(
        Orvel({"paste", basePath, overPath, "--at", "1,1", "-o", dir.Path("out.bmp")}).exitCode, 0);
    const BmpFile out = ReadBmp(ReadFileBytes(dir.Path("out.bmp")));
    EXPECT_EQ(out.bitCount, 24);
    for (int y = 0; y < kOverHeight; ++y) {
        for (int x = 0; x < kOverWidth; ++x) {
            EXPECT_EQ(out.At(x + 1, y + 1),
                      table[indexes[static_cast<std::size_t>(y * kOverWidth + x)]]);
        }
    }
}

} // namespace
