// Frames compressed by CDibComp with the run-length compressor read back to the frames.
#include "comp_fixture.h"

#include "support/test_frames.h"

#include <string>
#include <tuple>

namespace {

using orvel::test::Frame8;
using orvel::test::FramePattern;
using orvel::test::LeakCheckedTest;
using orvel::test::StatusOf;
using orvel::test::Succeeded;

constexpr DWORD kRle = mmioFOURCC('m', 'r', 'l', 'e');

// The largest frame the run-length compressor can make for a frame: two bytes per pixel and a
// row end per row.
std::size_t WorstCase(const Frame8& frame) {
    return static_cast<std::size_t>(frame.height) * (2 * frame.width + 2);
}

// Compresses a frame with an object that is already open and has its format, and reads it.
std::vector<BYTE> CompressAndRead(CDibComp& comp, const Frame8& frame, long frameNumber) {
    std::vector<BYTE> pixels = frame.pixels;
    std::vector<BYTE> compressed(WorstCase(frame));
    EXPECT_TRUE(comp.Compress(pixels.data(), compressed.data(), frameNumber, 10000));
    EXPECT_EQ(StatusOf(comp), Succeeded());
    BITMAPINFO* output = nullptr;
    DWORD outputSize = 0;
    comp.GetFormat(&output, outputSize, 1);
    const DWORD size = output->bmiHeader.biSizeImage;
    EXPECT_LE(size, compressed.size());
    const orvel::test::Rle8Reading reading =
        orvel::test::ReadRle8(compressed.data(), size, frame.width, frame.height);
    EXPECT_EQ(reading.error, "");
    return reading.pixels;
}

using FrameParam = std::tuple<FramePattern, int, int>;

class CompRle8Test : public LeakCheckedTest, public ::testing::WithParamInterface<FrameParam> {};

TEST_P(CompRle8Test, CompressedFrameReadsBackPixelForPixel) {
    const auto [pattern, width, height] = GetParam();
    const Frame8 frame = orvel::test::MakeFrame(pattern, width, height, 3);
    std::vector<BYTE> format = orvel::test::FrameFormat(frame);
    CDibComp comp;
    ASSERT_TRUE(comp.Open(kRle));
    BITMAPINFO* output = nullptr;
    DWORD outputSize = 0;
    ASSERT_TRUE(comp.GetFormat(reinterpret_cast<BITMAPINFO*>(format.data()),
                               static_cast<DWORD>(format.size()), &output, outputSize));
    EXPECT_EQ(outputSize, 40U + 1024U);
    EXPECT_EQ(+output->bmiHeader.biCompression, BI_RLE8);
    EXPECT_EQ(CompressAndRead(comp, frame, 0), frame.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, CompRle8Test,
    ::testing::Combine(::testing::Values(FramePattern::Flat, FramePattern::Noisy,
                                         FramePattern::HorizontalGradient,
                                         FramePattern::VerticalGradient, FramePattern::PhotoLike,
                                         FramePattern::PairsAndSingles),
                       ::testing::Values(1, 3, 6, 255, 257, 641), ::testing::Values(1, 2, 31)),
    [](const ::testing::TestParamInfo<FrameParam>& param) {
        return std::string(orvel::test::PatternName(std::get<0>(param.param))) + "_" +
               std::to_string(std::get<1>(param.param)) + "x" +
               std::to_string(std::get<2>(param.param));
    });

using CompSequenceTest = LeakCheckedTest;

TEST_F(CompSequenceTest, EachFrameOfASequenceStandsAlone) {
    const FramePattern patterns[] = {FramePattern::PhotoLike, FramePattern::Flat,
                                     FramePattern::Noisy, FramePattern::PhotoLike};
    CDibComp comp;
    ASSERT_TRUE(comp.Open(kRle));
    const Frame8 first = orvel::test::MakeFrame(patterns[0], 97, 13, 0);
    std::vector<BYTE> format = orvel::test::FrameFormat(first);
    BITMAPINFO* output = nullptr;
    DWORD outputSize = 0;
    ASSERT_TRUE(comp.GetFormat(reinterpret_cast<BITMAPINFO*>(format.data()),
                               static_cast<DWORD>(format.size()), &output, outputSize));
    for (int i = 0; i < 4; ++i) {
        const Frame8 frame = orvel::test::MakeFrame(patterns[i], 97, 13, static_cast<unsigned>(i));
        EXPECT_EQ(CompressAndRead(comp, frame, i), frame.pixels) << "frame " << i;
    }
    EXPECT_TRUE(comp.Close());
}

} // namespace
