#include <orvel/orvel.h>

#include "platform/drawing_helpers.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

using FullFrameParam = std::tuple<int, int>; // bits per pixel, width

class FullFrameCompressorTest : public orvel::test::LeakCheckedTest,
                                public ::testing::WithParamInterface<FullFrameParam> {};

// Frames of every depth pass through byte for byte, with their colour table in the format.
TEST_P(FullFrameCompressorTest, FramePassesThroughUnchanged) {
    const auto [bitCount, width] = GetParam();
    const int height = 3;
    std::vector<BYTE> input = orvel::test::TestDib(width, height, bitCount).Packed();
    const std::size_t imageBytes = orvel::test::StrideOf(width, bitCount) * height;
    for (std::size_t i = 40; i < input.size(); ++i) {
        input[i] = static_cast<BYTE>(i * 13);
    }
    std::vector<BYTE> pixels(input.end() - static_cast<std::ptrdiff_t>(imageBytes), input.end());
    input.resize(input.size() - imageBytes);

    HIC compressor = ICOpen(ICTYPE_VIDEO, mmioFOURCC('D', 'I', 'B', ' '), ICMODE_COMPRESS);
    auto* inputInfo = reinterpret_cast<BITMAPINFO*>(input.data());
    ASSERT_EQ(ICCompressGetFormatSize(compressor, inputInfo), input.size());
    std::vector<BYTE> output(input.size());
    auto* outputInfo = reinterpret_cast<BITMAPINFO*>(output.data());
    ASSERT_EQ(ICCompressGetFormat(compressor, inputInfo, outputInfo), ICERR_OK);
    EXPECT_EQ(ICCompressGetSize(compressor, inputInfo, outputInfo), imageBytes);
    EXPECT_TRUE(std::equal(output.begin() + 40, output.end(), input.begin() + 40));

    outputInfo->bmiHeader.biSizeImage = 0; // the frame's size is the compressor's to state
    std::vector<BYTE> compressed(imageBytes + 1, 0xCD);
    DWORD chunkId = 0;
    ASSERT_EQ(ICCompress(compressor, ICCOMPRESS_KEYFRAME, &outputInfo->bmiHeader, compressed.data(),
                         &inputInfo->bmiHeader, pixels.data(), &chunkId, nullptr, 0, 0, 0, nullptr,
                         nullptr),
              static_cast<DWORD>(ICERR_OK));
    EXPECT_EQ(+outputInfo->bmiHeader.biSizeImage, imageBytes);
    EXPECT_EQ(chunkId, static_cast<DWORD>(cktypeDIBbits));
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), compressed.begin()));
    EXPECT_EQ(compressed[imageBytes], 0xCD);

    ICClose(compressor);
}

INSTANTIATE_TEST_SUITE_P(Depths, FullFrameCompressorTest,
                         ::testing::Combine(::testing::Values(1, 4, 8, 16, 24, 32),
                                            ::testing::Values(1, 3, 7, 33)),
                         [](const ::testing::TestParamInfo<FullFrameParam>& param) {
                             return std::to_string(std::get<0>(param.param)) + "bits_" +
                                    std::to_string(std::get<1>(param.param)) + "wide";
                         });

} // namespace
