// The one conversion between the platform's 32-bit colours and an X visual's pixels, visual by
// visual: channel masks in any order and width, both image byte orders, packed 24-bit pixels,
// and PseudoColor indexes through a colormap.
#include <orvel/platform/x11/visual_pixels.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using orvel::platform::detail::VisualFormat;
using orvel::platform::detail::VisualPixels;

struct Rgb {
    BYTE red, green, blue;
};

// Three colours that tell the channels apart and land on both sides of every rounding.
const std::vector<Rgb> kColours = {{0x12, 0x34, 0x56}, {0xFF, 0x00, 0x80}, {0x07, 0xF8, 0x01}};

// A colormap with a near miss for the first colour and two equal entries for the second.
const std::vector<PALETTEENTRY> kColormap = {{0, 0, 0, 0},
                                             {0x10, 0x34, 0x56, 0},
                                             {0xFF, 0x00, 0x80, 0},
                                             {0xFF, 0x00, 0x80, 0},
                                             {0x07, 0xF8, 0x01, 0}};

struct VisualCase {
    const char* name;
    VisualFormat format;
    std::vector<BYTE> pixels;             ///< kColours in the server's format
    std::vector<Rgb> readBack = kColours; ///< what those pixels mean
};

VisualFormat TrueColour(int bits, bool msb, std::uint32_t red, std::uint32_t green,
                        std::uint32_t blue) {
    return VisualFormat{bits, msb, false, red, green, blue};
}

const std::vector<Rgb> k565 = {{0x10, 0x34, 0x52}, {0xFF, 0x00, 0x84}, {0x00, 0xFB, 0x00}};

std::vector<VisualCase> Cases() {
    return {
        {"rgb32_lsb",
         TrueColour(32, false, 0xFF0000, 0xFF00, 0xFF),
         {0x56, 0x34, 0x12, 0, 0x80, 0x00, 0xFF, 0, 0x01, 0xF8, 0x07, 0}},
        {"rgb32_msb",
         TrueColour(32, true, 0xFF0000, 0xFF00, 0xFF),
         {0, 0x12, 0x34, 0x56, 0, 0xFF, 0x00, 0x80, 0, 0x07, 0xF8, 0x01}},
        {"bgr32_lsb",
         TrueColour(32, false, 0xFF, 0xFF00, 0xFF0000),
         {0x12, 0x34, 0x56, 0, 0xFF, 0x00, 0x80, 0, 0x07, 0xF8, 0x01, 0}},
        {"rgb30_lsb",
         TrueColour(32, false, 0x3FF00000, 0xFFC00, 0x3FF),
         {0x59, 0x41, 0x83, 0x04, 0x02, 0x02, 0xF0, 0x3F, 0x04, 0x8C, 0xCF, 0x01}},
        {"rgb24_lsb",
         TrueColour(24, false, 0xFF0000, 0xFF00, 0xFF),
         {0x56, 0x34, 0x12, 0x80, 0x00, 0xFF, 0x01, 0xF8, 0x07}},
        {"rgb24_msb",
         TrueColour(24, true, 0xFF0000, 0xFF00, 0xFF),
         {0x12, 0x34, 0x56, 0xFF, 0x00, 0x80, 0x07, 0xF8, 0x01}},
        {"rgb565_lsb",
         TrueColour(16, false, 0xF800, 0x07E0, 0x1F),
         {0xAA, 0x11, 0x10, 0xF8, 0xC0, 0x07},
         k565},
        {"rgb565_msb",
         TrueColour(16, true, 0xF800, 0x07E0, 0x1F),
         {0x11, 0xAA, 0xF8, 0x10, 0x07, 0xC0},
         k565},
        {"rgb555_lsb",
         TrueColour(16, false, 0x7C00, 0x03E0, 0x1F),
         {0xCA, 0x08, 0x10, 0x7C, 0xE0, 0x03},
         {{0x10, 0x31, 0x52}, {0xFF, 0x00, 0x84}, {0x00, 0xFF, 0x00}}},
        {"rgb111_lsb",
         TrueColour(8, false, 4, 2, 1),
         {0, 5, 2},
         {{0, 0, 0}, {0xFF, 0, 0xFF}, {0, 0xFF, 0}}},
        {"pseudo8",
         VisualFormat{8, false, true, 0, 0, 0},
         {1, 2, 4},
         {{0x10, 0x34, 0x56}, {0xFF, 0x00, 0x80}, {0x07, 0xF8, 0x01}}},
    };
}

class VisualPixelsTest : public testing::TestWithParam<VisualCase> {
protected:
    VisualPixelsTest() : pixels_(GetParam().format) {
        pixels_.SetColormap(kColormap.data(), static_cast<UINT>(kColormap.size()));
    }
    VisualPixels pixels_;
};

constexpr BYTE kGuard = 0xEE;

// Each colour packs into the visual's bytes and no further than the row's end; the visual's
// pixels unpack into what they mean, with a zero fourth byte.
TEST_P(VisualPixelsTest, PacksAndUnpacksTheVisualsPixelsWithinTheRow) {
    const auto quads = [](const std::vector<Rgb>& rgb) {
        std::vector<BYTE> bytes;
        for (const Rgb& colour : rgb) {
            bytes.insert(bytes.end(), {colour.blue, colour.green, colour.red, 0});
        }
        bytes.insert(bytes.end(), 4, kGuard);
        return bytes;
    };
    const int count = static_cast<int>(kColours.size());
    std::vector<BYTE> expected = GetParam().pixels;
    ASSERT_EQ(pixels_.RowBytes(count), expected.size());
    expected.insert(expected.end(), 4, kGuard);
    std::vector<BYTE> packed(expected.size(), kGuard);
    pixels_.Pack(quads(kColours).data(), count, packed.data());
    EXPECT_EQ(packed, expected);
    std::vector<BYTE> colours(kColours.size() * 4 + 4, kGuard);
    pixels_.Unpack(GetParam().pixels.data(), count, colours.data());
    EXPECT_EQ(colours, quads(GetParam().readBack));
}

INSTANTIATE_TEST_SUITE_P(Visuals, VisualPixelsTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<VisualCase>& param) {
                             return param.param.name;
                         });

} // namespace
