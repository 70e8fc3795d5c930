// Conversions of every one of the 2^24 colours onto the palettes mapped without a search, and onto
// near misses of them that must not be taken for one, compared with a plain scan of the palette
// (of every colour, or of every nth row of the picture where the scan of a large palette is slow).

#include "picture_bytes.h"

#include <atomic>
#include <thread>

namespace {

using namespace orvel::test;

constexpr int kSide = 4096; // 4096 x 4096 pixels: each colour once

// The cube of the halftone palette followed by greys of other spacings than the system's, with
// repeats and a cube grey again: the nearest grey still depends on r + g + b alone.
std::vector<PALETTEENTRY> CubeWithOtherGreys() {
    std::vector<PALETTEENTRY> entries = HalftoneEntries();
    entries.resize(216);
    for (const BYTE grey : {1, 7, 8, 26, 25, 102, 100, 104, 200, 200, 253, 30, 254}) {
        entries.push_back({grey, grey, grey, 0});
    }
    return entries;
}

std::vector<PALETTEENTRY> Changed(std::vector<PALETTEENTRY> entries, std::size_t at,
                                  PALETTEENTRY entry) {
    entries.at(at) = entry;
    return entries;
}

struct FixedCase {
    const char* name;
    int targetBits;
    std::vector<PALETTEENTRY> palette;  // handed to the conversion; empty for its own palette
    std::vector<PALETTEENTRY> expected; // the colour table the result must carry
    int rowStep = 1;                    // 1: every colour; n: every nth row of 4096 colours
};

std::uint32_t ScanNearest(const std::vector<PALETTEENTRY>& entries, int red, int green, int blue) {
    std::uint32_t best = UINT32_MAX;
    for (std::uint32_t i = 0; i < entries.size(); ++i) {
        const int dr = entries[i].peRed - red;
        const int dg = entries[i].peGreen - green;
        const int db = entries[i].peBlue - blue;
        best = std::min(best, static_cast<std::uint32_t>(dr * dr + dg * dg + db * db) << 8U | i);
    }
    return best & 0xFFU;
}

class FixedPaletteTest : public LeakCheckedTest, public ::testing::WithParamInterface<FixedCase> {};

TEST_P(FixedPaletteTest, EveryColourTakesThePlainScansAnswer) {
    const FixedCase& fixed = GetParam();
    PictureBytes source{kSide, kSide, 24, {}, {}};
    source.rows.resize(source.Stride() * kSide);
    for (std::uint32_t colour = 0; colour < kSide * kSide; ++colour) {
        std::uint8_t* pixel = source.rows.data() + std::size_t{3} * colour;
        pixel[0] = static_cast<std::uint8_t>(colour);
        pixel[1] = static_cast<std::uint8_t>(colour >> 8U);
        pixel[2] = static_cast<std::uint8_t>(colour >> 16U);
    }
    CConvertDib dib;
    LoadPicture(dib, source);
    source.rows = {};
    CPalette handed;
    if (!fixed.palette.empty()) {
        ASSERT_TRUE(handed.Attach(MakePalette(fixed.palette)));
    }
    ASSERT_EQ(dib.ConvertColor(fixed.targetBits, fixed.palette.empty() ? nullptr : &handed), 1);
    ASSERT_TRUE(dib.IsSucceed());
    const PictureBytes result = HeldPicture(dib);
    ASSERT_EQ(result.bitCount, fixed.targetBits);
    ASSERT_EQ(result.colours.size(), std::size_t{1} << fixed.targetBits);
    for (std::size_t i = 0; i < fixed.expected.size() && i < result.colours.size(); ++i) {
        ASSERT_EQ(result.colours[i].rgbRed, fixed.expected[i].peRed) << "entry " << i;
        ASSERT_EQ(result.colours[i].rgbBlue, fixed.expected[i].peBlue) << "entry " << i;
    }

    const std::uint32_t mask = (1U << fixed.targetBits) - 1;
    std::atomic<long> mismatches{0};
    std::atomic<std::uint32_t> first{0};
    auto check = [&](int rowBegin, int rowEnd) {
        for (int row = rowBegin; row < rowEnd; row += fixed.rowStep) {
            for (int x = 0; x < kSide; ++x) {
                const auto colour = static_cast<std::uint32_t>(row * kSide + x);
                const std::uint32_t expected = ScanNearest(
                    fixed.expected, static_cast<int>(colour >> 16U),
                    static_cast<int>((colour >> 8U) & 0xFFU), static_cast<int>(colour & 0xFFU));
                if (RawPixel(result, x, row) != (expected & mask) && mismatches++ == 0) {
                    first = colour;
                }
            }
        }
    };
    std::thread lower(check, 0, kSide / 2);
    check(kSide / 2, kSide);
    lower.join();
    EXPECT_EQ(mismatches.load(), 0) << "first at red, green, blue 0x" << std::hex << first.load();
}

std::vector<FixedCase> Cases() {
    const std::vector<PALETTEENTRY> two(kTwoColourPalette, kTwoColourPalette + 2);
    const std::vector<PALETTEENTRY> sixteen(kSixteenColourPalette, kSixteenColourPalette + 16);
    const std::vector<PALETTEENTRY> halftone = HalftoneEntries();
    const std::vector<PALETTEENTRY> otherGreys = CubeWithOtherGreys();
    const std::vector<PALETTEENTRY> whiteFirst = {two[1], two[0]};
    const auto nearlySixteen = Changed(sixteen, 8, {192, 192, 191, 0});
    const auto nearlyHalftone = Changed(halftone, 37, {0, 51, 50, 0});
    const auto cubeThenNoGrey = Changed(otherGreys, 220, {100, 100, 30, 0});
    std::vector<PALETTEENTRY> cubeThenCyan(halftone.begin(), halftone.begin() + 216);
    cubeThenCyan.push_back({30, 100, 100, 0}); // the only entry after the cube: still no grey
    return {
        {"TwoColours", 1, {}, two},
        {"SixteenColours", 4, {}, sixteen},
        {"Halftone", 8, {}, halftone},
        {"CubeWithOtherGreys", 8, otherGreys, otherGreys, 5},
        {"WhiteBeforeBlack", 1, whiteFirst, whiteFirst},
        {"SixteenWithSilverChanged", 4, nearlySixteen, nearlySixteen},
        {"HalftoneWithACubeEntryChanged", 8, nearlyHalftone, nearlyHalftone, 3},
        {"CubeThenAColourOfTwoEqualChannels", 8, cubeThenNoGrey, cubeThenNoGrey, 3},
        {"CubeThenOneColourOfEqualGreenAndBlue", 8, cubeThenCyan, cubeThenCyan, 7},
    };
}

INSTANTIATE_TEST_SUITE_P(AllColours, FixedPaletteTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<FixedCase>& testInfo) {
                             return std::string(testInfo.param.name);
                         });

} // namespace
