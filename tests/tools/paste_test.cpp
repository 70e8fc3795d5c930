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

// The colour at (x, y) of the base after pasting at (atX, atY); `map` turns an over colour into
// what the base can hold.
template <class Map>
COLORREF Expected(int x, int y, int atX, int atY, Map map) {
    const int overX = x - atX;
    const int overY = y - atY;
    if (overX >= 0 && overX < kOverWidth && overY >= 0 && overY < kOverHeight) {
        return map(OverColours()[static_cast<std::size_t>(overY * kOverWidth + overX)]);
    }
    return BaseColours()[static_cast<std::size_t>(y * kBaseWidth + x)];
}

struct Placement {
    int x;
    int y;
    bool outside; ///< nothing of OVER falls inside BASE
};

class PastePlacementTest : public ::testing::TestWithParam<Placement> {};

TEST_P(PastePlacementTest, CopiesExactlyTheOverlapAndNothingElse) {
    const Placement at = GetParam();
    const TempDir dir;
    const Bytes base = Bmp24(kBaseWidth, kBaseHeight, BaseColours());
    const std::string basePath = dir.Write("base.bmp", base);
    const std::string overPath =
        dir.Write("over.bmp", Bmp24(kOverWidth, kOverHeight, OverColours()));
    const std::string position = std::to_string(at.x) + "," + std::to_string(at.y);
    const Finished run =
        Orvel({"paste", basePath, overPath, "--at", position, "-o", dir.Path("out.bmp")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("nothing is pasted") != std::string::npos, at.outside) << run.err;
    const BmpFile out = ReadBmp(ReadFileBytes(dir.Path("out.bmp")));
    ASSERT_EQ(out.width, kBaseWidth);
    ASSERT_EQ(out.height, kBaseHeight);
    for (int y = 0; y < kBaseHeight; ++y) {
        for (int x = 0; x < kBaseWidth; ++x) {
            ASSERT_EQ(out.At(x, y), Expected(x, y, at.x, at.y, [](COLORREF c) { return c; }))
                << "at " << x << "," << y;
        }
    }
    EXPECT_EQ(ReadFileBytes(basePath), base);
}

INSTANTIATE_TEST_SUITE_P(Tool, PastePlacementTest,
                         ::testing::Values(Placement{2, 3, false}, Placement{-1, 6, false},
                                           Placement{8, -2, false}, Placement{0, 0, false},
                                           Placement{6, 5, false}, Placement{-4, 0, true},
                                           Placement{0, -3, true}, Placement{10, 0, true},
                                           Placement{3, 8, true}));

TEST(PasteTest, AnIndexedBaseKeepsItsDepthAndTableAndTakesItsNearestColours) {
    for (const int bitCount : {4, 8}) {
        const TempDir dir;
        // The base's own colours, so that nearest matches are not the standard palettes'.
        const std::vector<COLORREF> table = SomeColours(std::size_t{1} << bitCount, 13);
        std::vector<std::uint8_t> indexes(kBaseWidth * kBaseHeight);
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            indexes[i] = static_cast<std::uint8_t>(i % table.size());
        }
        std::string basePath = dir.Write("base.bmp", Bmp8(kBaseWidth, kBaseHeight, table, indexes));
        if (bitCount == 4) {
            // Two pixels a byte, the left one in the high nibble; rows of 8 bytes.
            Bytes colours;
            for (const COLORREF c : table) {
                colours.insert(colours.end(), {GetBValue(c), GetGValue(c), GetRValue(c), 0});
            }
            Bytes pixels(8 * kBaseHeight, 0);
            for (int y = 0; y < kBaseHeight; ++y) {
                for (int x = 0; x < kBaseWidth; ++x) {
                    const std::uint8_t index =
                        indexes[static_cast<std::size_t>(y * kBaseWidth + x)];
                    pixels[static_cast<std::size_t>(8 * (kBaseHeight - 1 - y) + x / 2)] |=
                        static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
                }
            }
            basePath = dir.Write(
                "base.bmp", InfoFile({.width = kBaseWidth, .height = kBaseHeight, .bitCount = 4},
                                     colours, pixels));
        }
        const BmpFile base = ReadBmp(ReadFileBytes(basePath));
        const std::string overPath =
            dir.Write("over.bmp", Bmp24(kOverWidth, kOverHeight, OverColours()));
        const Finished run =
            Orvel({"paste", basePath, overPath, "--at", "5,2", "-o", dir.Path("out.bmp")});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const BmpFile out = ReadBmp(ReadFileBytes(dir.Path("out.bmp")));
        EXPECT_EQ(out.bitCount, bitCount);
        EXPECT_EQ(out.table, base.table);
        for (int y = 0; y < kBaseHeight; ++y) {
            for (int x = 0; x < kBaseWidth; ++x) {
                const int overX = x - 5;
                const int overY = y - 2;
                const bool pasted =
                    overX >= 0 && overX < kOverWidth && overY >= 0 && overY < kOverHeight;
                const COLORREF expected =
                    pasted
                        ? base.table[NearestIndex(
                              base.table,
                              OverColours()[static_cast<std::size_t>(overY * kOverWidth + overX)])]
                        : base.At(x, y);
                ASSERT_EQ(out.At(x, y), expected) << bitCount << " bits at " << x << "," << y;
            }
        }
    }
}

TEST(PasteTest, AnIndexedPictureOverADirectColourBaseKeepsItsColours) {
    const TempDir dir;
    const std::vector<COLORREF> table = SomeColours(256, 14);
    std::vector<std::uint8_t> indexes(kOverWidth * kOverHeight);
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        indexes[i] = static_cast<std::uint8_t>(i * 19);
    }
    const std::string basePath =
        dir.Write("base.bmp", Bmp24(kBaseWidth, kBaseHeight, BaseColours()));
    const std::string overPath =
        dir.Write("over.bmp", Bmp8(kOverWidth, kOverHeight, table, indexes));
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
