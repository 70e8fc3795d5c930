#include <orvel/orvel.h>

#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using orvel::test::LeakCheckedTest;

constexpr DWORD kFullFrames = mmioFOURCC('D', 'I', 'B', ' ');

using FullFrameParam = std::tuple<int, int>; // bits per pixel, width

class FullFrameCompressorTest : public LeakCheckedTest,
                                public ::testing::WithParamInterface<FullFrameParam> {};

// Frames of every depth pass through byte for byte, with their colour table in the format.
TEST_P(FullFrameCompressorTest, FramePassesThroughUnchanged) {
    const auto [bitCount, width] = GetParam();
    const int height = 3;
    const int stride = ((width * bitCount + 31) / 32) * 4;
    const int entries = bitCount <= 8 ? 1 << bitCount : 0;

    std::vector<BYTE> input(40 + 4 * entries, 0);
    BITMAPINFOHEADER header =
        CDibSupport::MakeBIH(width, height, static_cast<WORD>(bitCount), BI_RGB, 0, 0, 0, 0, 0);
    std::memcpy(input.data(), &header, sizeof header);
    for (std::size_t i = 40; i < input.size(); ++i) {
        input[i] = static_cast<BYTE>(i * 13);
    }
    std::vector<BYTE> pixels(static_cast<std::size_t>(stride) * height);
    std::mt19937 random(static_cast<unsigned>(bitCount * 100 + width));
    for (BYTE& pixel : pixels) {
        pixel = static_cast<BYTE>(random());
    }

    HIC compressor = ICOpen(ICTYPE_VIDEO, kFullFrames, ICMODE_COMPRESS);
    ASSERT_NE(compressor, nullptr);
    auto* inputInfo = reinterpret_cast<BITMAPINFO*>(input.data());
    const DWORD formatBytes = ICCompressGetFormatSize(compressor, inputInfo);
    ASSERT_EQ(formatBytes, input.size());
    std::vector<BYTE> output(formatBytes, 0);
    auto* outputInfo = reinterpret_cast<BITMAPINFO*>(output.data());
    ASSERT_EQ(ICCompressGetFormat(compressor, inputInfo, outputInfo), ICERR_OK);
    EXPECT_EQ(ICCompressGetSize(compressor, inputInfo, outputInfo), pixels.size());
    EXPECT_TRUE(std::equal(output.begin() + 40, output.end(), input.begin() + 40));

    std::vector<BYTE> compressed(pixels.size() + 8, 0xCD);
    DWORD chunkId = 0;
    ASSERT_EQ(ICCompress(compressor, ICCOMPRESS_KEYFRAME, &outputInfo->bmiHeader, compressed.data(),
                         &inputInfo->bmiHeader, pixels.data(), &chunkId, nullptr, 0, 0, 0, nullptr,
                         nullptr),
              static_cast<DWORD>(ICERR_OK));
    EXPECT_EQ(+outputInfo->bmiHeader.biSizeImage, pixels.size());
    EXPECT_EQ(+outputInfo->bmiHeader.biCompression, BI_RGB);
    EXPECT_EQ(chunkId, static_cast<DWORD>(cktypeDIBbits));
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), compressed.begin()));
    EXPECT_EQ(compressed[pixels.size()], 0xCD);
    ICClose(compressor);
}

INSTANTIATE_TEST_SUITE_P(Depths, FullFrameCompressorTest,
                         ::testing::Combine(::testing::Values(1, 4, 8, 16, 24, 32),
                                            ::testing::Values(1, 3, 7, 33)),
                         [](const ::testing::TestParamInfo<FullFrameParam>& param) {
                             return std::to_string(std::get<0>(param.param)) + "bits_" +
                                    std::to_string(std::get<1>(param.param)) + "wide";
                         });

TEST(FullFrameCompressor, RefusesRunLengthAndUnknownDepths) {
    HIC compressor = ICOpen(ICTYPE_VIDEO, kFullFrames, ICMODE_COMPRESS);
    ASSERT_NE(compressor, nullptr);
    for (const auto& [bitCount, compression] :
         {std::pair<WORD, DWORD>{8, BI_RLE8}, {4, BI_RLE4}, {2, BI_RGB}, {12, BI_RGB}}) {
        std::vector<BYTE> input(40 + 1024, 0);
        const BITMAPINFOHEADER header =
            CDibSupport::MakeBIH(4, 4, bitCount, compression, 0, 0, 0, 0, 0);
        std::memcpy(input.data(), &header, sizeof header);
        EXPECT_EQ(ICCompressQuery(compressor, reinterpret_cast<BITMAPINFO*>(input.data()), nullptr),
                  ICERR_BADFORMAT)
            << bitCount << " bits, compression " << compression;
    }
    ICClose(compressor);
}

} // namespace
