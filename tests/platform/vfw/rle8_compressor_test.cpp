#include <orvel/orvel.h>

#include "support/live_objects.h"
#include "support/test_frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

using orvel::test::Frame8;
using orvel::test::FramePattern;
using orvel::test::LeakCheckedTest;

constexpr DWORD kRle = mmioFOURCC('m', 'r', 'l', 'e');
constexpr BYTE kGuard = 0xCD;

BITMAPINFOHEADER HeaderOf(const std::vector<BYTE>& format) {
    BITMAPINFOHEADER header{};
    std::memcpy(&header, format.data(), sizeof header);
    return header;
}

void PutHeader(std::vector<BYTE>& format, const BITMAPINFOHEADER& header) {
    std::memcpy(format.data(), &header, sizeof header);
}

// One frame through the compressor as an application drives it: output format, worst-case
// size, begin, compress. The output buffer carries guard bytes past the worst case.
struct Compressed {
    std::vector<BYTE> outputFormat;
    std::vector<BYTE> stream; ///< the frame's bytes, biSizeImage of them
    DWORD worstCase = 0;
    DWORD chunkId = 0;
    DWORD frameFlags = 0;
    bool guardIntact = false;
};

class Rle8CompressorTest : public LeakCheckedTest {
protected:
    void SetUp() override {
        compressor_ = ICOpen(ICTYPE_VIDEO, kRle, ICMODE_COMPRESS);
        ASSERT_NE(compressor_, nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(ICClose(compressor_), ICERR_OK);
        LeakCheckedTest::TearDown();
    }

    Compressed Compress(const Frame8& frame) {
        Compressed result;
        std::vector<BYTE> input = orvel::test::FrameFormat(frame);
        auto* inputInfo = reinterpret_cast<BITMAPINFO*>(input.data());
        const DWORD formatBytes = ICCompressGetFormatSize(compressor_, inputInfo);
        EXPECT_EQ(formatBytes, 40U + 1024U);
        result.outputFormat.assign(formatBytes, 0);
        auto* outputInfo = reinterpret_cast<BITMAPINFO*>(result.outputFormat.data());
        EXPECT_EQ(ICCompressGetFormat(compressor_, inputInfo, outputInfo), ICERR_OK);
        result.worstCase = ICCompressGetSize(compressor_, inputInfo, outputInfo);
        EXPECT_EQ(ICCompressBegin(compressor_, inputInfo, outputInfo), ICERR_OK);
        std::vector<BYTE> output(result.worstCase + 64, kGuard);
        std::vector<BYTE> pixels = frame.pixels;
        EXPECT_EQ(ICCompress(compressor_, ICCOMPRESS_KEYFRAME, &outputInfo->bmiHeader,
                             output.data(), &inputInfo->bmiHeader, pixels.data(), &result.chunkId,
                             &result.frameFlags, 0, 0, 0, nullptr, nullptr),
                  static_cast<DWORD>(ICERR_OK));
        EXPECT_EQ(ICCompressEnd(compressor_), ICERR_OK);
        const DWORD size = HeaderOf(result.outputFormat).biSizeImage;
        EXPECT_LE(size, result.worstCase);
        result.stream.assign(output.begin(),
                             output.begin() + std::min<DWORD>(size, result.worstCase));
        result.guardIntact = true;
        for (std::size_t i = size; i < output.size(); ++i) {
            result.guardIntact = result.guardIntact && output[i] == kGuard;
        }
        EXPECT_EQ(pixels, frame.pixels) << "the input frame must not change";
        return result;
    }

    HIC compressor_ = nullptr;
};

// Round trips: every kind of content at widths around the run limits and the row padding.
using RoundTripParam = std::tuple<FramePattern, int, int>;

class Rle8RoundTripTest : public Rle8CompressorTest,
                          public ::testing::WithParamInterface<RoundTripParam> {};

TEST_P(Rle8RoundTripTest, StreamKeepsTheRulesAndDecodesToTheFrame) {
    const auto [pattern, width, height] = GetParam();
    const Frame8 frame = orvel::test::MakeFrame(pattern, width, height, width * 31 + height);
    const Compressed compressed = Compress(frame);
    EXPECT_TRUE(compressed.guardIntact) << "bytes written past the reported size";
    EXPECT_EQ(compressed.frameFlags, AVIIF_KEYFRAME);
    EXPECT_EQ(compressed.chunkId, static_cast<DWORD>(cktypeDIBcompressed));
    const orvel::test::Rle8Reading reading =
        orvel::test::ReadRle8(compressed.stream.data(), compressed.stream.size(), width, height);
    ASSERT_EQ(reading.error, "");
    EXPECT_EQ(reading.pixels, frame.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, Rle8RoundTripTest,
    ::testing::Combine(::testing::Values(FramePattern::Flat, FramePattern::Noisy,
                                         FramePattern::HorizontalGradient,
                                         FramePattern::VerticalGradient, FramePattern::PhotoLike,
                                         FramePattern::PairsAndSingles),
                       ::testing::Values(1, 2, 3, 5, 7, 13, 253, 254, 255, 256, 257, 509, 640),
                       ::testing::Values(1, 3, 17)),
    [](const ::testing::TestParamInfo<RoundTripParam>& param) {
        return std::string(orvel::test::PatternName(std::get<0>(param.param))) + "_" +
               std::to_string(std::get<1>(param.param)) + "x" +
               std::to_string(std::get<2>(param.param));
    });

// Exact streams for single rows: which runs the encoder chooses, and how they are written.
struct RowCase {
    const char* name;
    std::vector<BYTE> row;
    std::vector<BYTE> stream;
};

class Rle8RowTest : public Rle8CompressorTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(Rle8RowTest, RowIsWrittenWithTheCheapestRuns) {
    const RowCase& row = GetParam();
    Frame8 frame;
    frame.width = static_cast<int>(row.row.size());
    frame.height = 1;
    frame.stride = (frame.width + 3) / 4 * 4;
    frame.pixels = row.row;
    frame.pixels.resize(frame.stride, 0);
    EXPECT_EQ(Compress(frame).stream, row.stream);
}

std::vector<BYTE> Counting(int count, int first = 1) {
    std::vector<BYTE> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(static_cast<BYTE>(first + i));
    }
    return values;
}

std::vector<BYTE> Join(std::initializer_list<std::vector<BYTE>> parts) {
    std::vector<BYTE> joined;
    for (const auto& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Rle8RowTest,
    ::testing::Values(
        RowCase{"OneRun", {7, 7, 7, 7}, {4, 7, 0, 1}},
        RowCase{"RunThenSingle", {7, 7, 7, 0}, {3, 7, 1, 0, 0, 1}},
        RowCase{"TwoSinglesAreNoAbsoluteRun", {1, 2}, {1, 1, 1, 2, 0, 1}},
        RowCase{"ThreeDifferentAreAnAbsoluteRunWithPad", {1, 2, 3}, {0, 3, 1, 2, 3, 0, 0, 1}},
        RowCase{"FourDifferentNeedNoPad", {1, 2, 3, 4}, {0, 4, 1, 2, 3, 4, 0, 1}},
        RowCase{"SingleThenPair", {9, 8, 8}, {1, 9, 2, 8, 0, 1}},
        RowCase{
            "PairInsideAStretchStaysAbsolute", {1, 2, 3, 5, 5, 6}, {0, 6, 1, 2, 3, 5, 5, 6, 0, 1}},
        RowCase{"LongRunBreaksAStretch",
                {1, 2, 3, 5, 5, 5, 5, 6},
                {0, 3, 1, 2, 3, 0, 4, 5, 1, 6, 0, 1}},
        RowCase{"RunsLongerThan255AreSplit", std::vector<BYTE>(300, 4), {255, 4, 45, 4, 0, 1}},
        RowCase{"StretchOf255LeavesATailOfThree", Counting(255),
                Join({{0, 252}, Counting(252), {0, 3, 253, 254, 255, 0, 0, 1}})}),
    [](const ::testing::TestParamInfo<RowCase>& param) { return std::string(param.param.name); });

TEST_F(Rle8CompressorTest, RowsEndWithEndOfLineAndTheFrameWithEndOfPicture) {
    Frame8 frame = orvel::test::MakeFrame(FramePattern::VerticalGradient, 6, 3);
    EXPECT_EQ(Compress(frame).stream, (std::vector<BYTE>{6, 0, 0, 0, 6, 3, 0, 0, 6, 6, 0, 1}));
}

// Sizes: what the run choice gains on each kind of content, at the benchmark's frame size.
TEST_F(Rle8CompressorTest, CompressedSizesFollowTheContent) {
    const int width = 640;
    const int height = 480;
    const std::size_t raw = static_cast<std::size_t>(width) * height;
    auto sizeOf = [&](FramePattern pattern) {
        return Compress(orvel::test::MakeFrame(pattern, width, height)).stream.size();
    };
    // Three runs and a row end per row.
    EXPECT_EQ(sizeOf(FramePattern::Flat), static_cast<std::size_t>(height) * 8);
    EXPECT_EQ(sizeOf(FramePattern::VerticalGradient), static_cast<std::size_t>(height) * 8);
    // Noise grows by little more than the absolute-run headers and the row ends.
    EXPECT_LE(sizeOf(FramePattern::Noisy), raw + raw / 64);
    // Short runs among noise: encoded where they pay, absolute where they do not.
    EXPECT_LT(sizeOf(FramePattern::PhotoLike), raw * 4 / 5);
    EXPECT_LT(sizeOf(FramePattern::PairsAndSingles), raw * 9 / 10);
}

TEST_F(Rle8CompressorTest, OutputFormatIsTheInputsWithRunLengthCompression) {
    const Frame8 frame = orvel::test::MakeFrame(FramePattern::Flat, 33, 5);
    std::vector<BYTE> input = orvel::test::FrameFormat(frame);
    BITMAPINFOHEADER header = HeaderOf(input);
    header.biXPelsPerMeter = 2835;
    header.biClrUsed = 16;
    header.biClrImportant = 3;
    PutHeader(input, header);
    auto* inputInfo = reinterpret_cast<BITMAPINFO*>(input.data());
    ASSERT_EQ(ICCompressGetFormatSize(compressor_, inputInfo), 40U + 16 * 4);
    std::vector<BYTE> output(40 + 16 * 4, 0xEE);
    ASSERT_EQ(
        ICCompressGetFormat(compressor_, inputInfo, reinterpret_cast<BITMAPINFO*>(output.data())),
        ICERR_OK);
    const BITMAPINFOHEADER result = HeaderOf(output);
    EXPECT_EQ(+result.biSize, 40U);
    EXPECT_EQ(+result.biWidth, 33);
    EXPECT_EQ(+result.biHeight, 5);
    EXPECT_EQ(+result.biPlanes, 1);
    EXPECT_EQ(+result.biBitCount, 8);
    EXPECT_EQ(+result.biCompression, BI_RLE8);
    EXPECT_EQ(+result.biXPelsPerMeter, 2835);
    EXPECT_EQ(+result.biClrUsed, 16U);
    EXPECT_EQ(+result.biClrImportant, 3U);
    EXPECT_EQ(+result.biSizeImage, ICCompressGetSize(compressor_, inputInfo, nullptr));
    EXPECT_TRUE(std::equal(output.begin() + 40, output.end(), input.begin() + 40));
}

// Formats the compressor must refuse: anything but bottom-up uncompressed 8-bit frames.
struct FormatCase {
    const char* name;
    void (*change)(BITMAPINFOHEADER&);
};

class Rle8FormatTest : public Rle8CompressorTest,
                       public ::testing::WithParamInterface<FormatCase> {};

TEST_P(Rle8FormatTest, FormatIsRefusedByEveryFormatMessage) {
    const Frame8 frame = orvel::test::MakeFrame(FramePattern::Flat, 8, 2);
    std::vector<BYTE> input = orvel::test::FrameFormat(frame);
    std::vector<BYTE> output(40 + 1024, 0);
    auto* inputInfo = reinterpret_cast<BITMAPINFO*>(input.data());
    auto* outputInfo = reinterpret_cast<BITMAPINFO*>(output.data());
    ASSERT_EQ(ICCompressGetFormat(compressor_, inputInfo, outputInfo), ICERR_OK);
    BITMAPINFOHEADER header = HeaderOf(input);
    GetParam().change(header);
    PutHeader(input, header);
    EXPECT_EQ(ICCompressQuery(compressor_, inputInfo, nullptr), ICERR_BADFORMAT);
    EXPECT_EQ(ICCompressGetFormat(compressor_, inputInfo, nullptr), ICERR_BADFORMAT);
    EXPECT_EQ(ICCompressGetFormat(compressor_, inputInfo, outputInfo), ICERR_BADFORMAT);
    EXPECT_EQ(ICSendMessage(compressor_, ICM_COMPRESS_GET_SIZE,
                            reinterpret_cast<DWORD_PTR>(inputInfo), 0),
              ICERR_BADFORMAT);
    EXPECT_EQ(ICCompressBegin(compressor_, inputInfo, outputInfo), ICERR_BADFORMAT);
    std::vector<BYTE> bits(1 << 16, 0);
    std::vector<BYTE> compressed(1 << 16, 0);
    EXPECT_EQ(ICCompress(compressor_, ICCOMPRESS_KEYFRAME, &outputInfo->bmiHeader,
                         compressed.data(), &inputInfo->bmiHeader, bits.data(), nullptr, nullptr, 0,
                         0, 0, nullptr, nullptr),
              static_cast<DWORD>(ICERR_BADFORMAT));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Rle8FormatTest,
    ::testing::Values(
        FormatCase{"FourBits", [](BITMAPINFOHEADER& h) { h.biBitCount = 4; }},
        FormatCase{"TwentyFourBits", [](BITMAPINFOHEADER& h) { h.biBitCount = 24; }},
        FormatCase{"TopDown", [](BITMAPINFOHEADER& h) { h.biHeight = -h.biHeight; }},
        FormatCase{"ZeroWidth", [](BITMAPINFOHEADER& h) { h.biWidth = 0; }},
        FormatCase{"AlreadyRunLength", [](BITMAPINFOHEADER& h) { h.biCompression = BI_RLE8; }},
        FormatCase{"CoreHeaderSize", [](BITMAPINFOHEADER& h) { h.biSize = 12; }},
        FormatCase{"TwoPlanes", [](BITMAPINFOHEADER& h) { h.biPlanes = 2; }},
        FormatCase{"MoreColoursThanIndexes", [](BITMAPINFOHEADER& h) { h.biClrUsed = 257; }},
        FormatCase{"FrameTooLargeToMeasure",
                   [](BITMAPINFOHEADER& h) {
                       h.biWidth = 0x7FFFFFFF;
                       h.biHeight = 0x7FFFFFFF;
                   }}),
    [](const ::testing::TestParamInfo<FormatCase>& param) {
        return std::string(param.param.name);
    });

TEST_F(Rle8CompressorTest, CompressRefusesAnOutputFormatOfAnotherFrameAndMissingBuffers) {
    const Frame8 frame = orvel::test::MakeFrame(FramePattern::Noisy, 8, 2);
    std::vector<BYTE> input = orvel::test::FrameFormat(frame);
    std::vector<BYTE> output(40 + 1024, 0);
    auto* inputInfo = reinterpret_cast<BITMAPINFO*>(input.data());
    auto* outputInfo = reinterpret_cast<BITMAPINFO*>(output.data());
    ASSERT_EQ(ICCompressGetFormat(compressor_, inputInfo, outputInfo), ICERR_OK);
    std::vector<BYTE> bits = frame.pixels;
    std::vector<BYTE> compressed(1024, 0);
    auto compress = [&](void* outputBits, void* inputBits) {
        return ICCompress(compressor_, ICCOMPRESS_KEYFRAME, &outputInfo->bmiHeader, outputBits,
                          &inputInfo->bmiHeader, inputBits, nullptr, nullptr, 0, 0, 0, nullptr,
                          nullptr);
    };
    EXPECT_EQ(compress(compressed.data(), nullptr), static_cast<DWORD>(ICERR_BADPARAM));
    EXPECT_EQ(compress(nullptr, bits.data()), static_cast<DWORD>(ICERR_BADPARAM));
    BITMAPINFOHEADER other = HeaderOf(output);
    other.biWidth = 9;
    PutHeader(output, other);
    EXPECT_EQ(compress(compressed.data(), bits.data()), static_cast<DWORD>(ICERR_BADFORMAT));
    EXPECT_TRUE(std::all_of(compressed.begin(), compressed.end(), [](BYTE b) { return b == 0; }));
}

} // namespace
