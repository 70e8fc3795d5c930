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

using namespace orvel::test;

BITMAPINFOHEADER HeaderOf(const std::vector<BYTE>& format) {
    BITMAPINFOHEADER header{};
    std::memcpy(&header, format.data(), sizeof header);
    return header;
}

class Rle8CompressorTest : public orvel::test::LeakCheckedTest {
protected:
    void SetUp() override {
        compressor_ = ICOpen(ICTYPE_VIDEO, mmioFOURCC('m', 'r', 'l', 'e'), ICMODE_COMPRESS);
        ASSERT_NE(compressor_, nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(ICClose(compressor_), ICERR_OK);
        LeakCheckedTest::TearDown();
    }

    // One frame as an application compresses it: output format, worst-case size, begin,
    // compress. Returns the frame's bytes; the output buffer has guard bytes past the worst case
    // that must stay untouched.
    std::vector<BYTE> Compress(const Frame8& frame) {
        std::vector<BYTE> input = orvel::test::FrameFormat(frame);
        auto* inputInfo = reinterpret_cast<BITMAPINFO*>(input.data());
        std::vector<BYTE> format(ICCompressGetFormatSize(compressor_, inputInfo));
        auto* outputInfo = reinterpret_cast<BITMAPINFO*>(format.data());
        EXPECT_EQ(ICCompressGetFormat(compressor_, inputInfo, outputInfo), ICERR_OK);
        const DWORD worstCase = ICCompressGetSize(compressor_, inputInfo, outputInfo);
        EXPECT_EQ(ICCompressBegin(compressor_, inputInfo, outputInfo), ICERR_OK);
        std::vector<BYTE> output(worstCase + 64, 0xCD);
        std::vector<BYTE> pixels = frame.pixels;
        DWORD chunkId = 0;
        DWORD frameFlags = 0;
        EXPECT_EQ(ICCompress(compressor_, ICCOMPRESS_KEYFRAME, &outputInfo->bmiHeader,
                             output.data(), &inputInfo->bmiHeader, pixels.data(), &chunkId,
                             &frameFlags, 0, 0, 0, nullptr, nullptr),
                  static_cast<DWORD>(ICERR_OK));
        EXPECT_EQ(ICCompressEnd(compressor_), ICERR_OK);
        EXPECT_EQ(frameFlags, AVIIF_KEYFRAME);
        EXPECT_EQ(chunkId, static_cast<DWORD>(cktypeDIBcompressed));
        const DWORD size = std::min(HeaderOf(format).biSizeImage, worstCase);
        EXPECT_TRUE(std::all_of(output.begin() + size, output.end(), [](BYTE b) {
            return b == 0xCD;
        })) << "bytes written past the frame's size";
        output.resize(size);
        return output;
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
    const std::vector<BYTE> stream = Compress(frame);
    const orvel::test::Rle8Reading reading =
        orvel::test::ReadRle8(stream.data(), stream.size(), width, height);
    ASSERT_EQ(reading.error, "");
    EXPECT_EQ(reading.pixels, frame.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, Rle8RoundTripTest,
    ::testing::Combine(::testing::ValuesIn(orvel::test::kAllPatterns),
                       ::testing::Values(1, 2, 3, 5, 7, 13, 253, 254, 255, 256, 257, 509, 640),
                       ::testing::Values(1, 3, 17)),
    [](const ::testing::TestParamInfo<RoundTripParam>& param) {
        return std::string(orvel::test::PatternName(std::get<0>(param.param))) + "_" +
               std::to_string(std::get<1>(param.param)) + "x" +
               std::to_string(std::get<2>(param.param));
    });

// Which runs the encoder chooses where the stream rules allow several: exact rows.
TEST_F(Rle8CompressorTest, RowsAreWrittenWithTheCheapestRunsAndEndCodes) {
    const struct {
        std::vector<BYTE> row;
        std::vector<BYTE> stream;
    } rows[] = {
        // One pixel before a pair: two short encoded runs, not a padded absolute run.
        {{9, 8, 8}, {1, 9, 2, 8, 0, 1}},
        // A pair inside a stretch stays in it; a run of four is worth leaving it.
        {{1, 2, 3, 5, 5, 6}, {0, 6, 1, 2, 3, 5, 5, 6, 0, 1}},
        {{1, 2, 3, 5, 5, 5, 5, 6}, {0, 3, 1, 2, 3, 0, 4, 5, 1, 6, 0, 1}},
        // A run found eight pixels at a time ends at the first differing byte of the word.
        {{7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 6, 6, 6, 6}, {13, 7, 4, 6, 0, 1}},
    };
    for (const auto& [row, stream] : rows) {
        Frame8 frame;
        frame.width = static_cast<int>(row.size());
        frame.height = 1;
        frame.stride = (frame.width + 3) / 4 * 4;
        frame.pixels = row;
        frame.pixels.resize(frame.stride, 0);
        EXPECT_EQ(Compress(frame), stream);
    }
    // Rows end with end-of-line, the frame with end-of-picture.
    EXPECT_EQ(Compress(orvel::test::MakeFrame(FramePattern::VerticalGradient, 6, 3)),
              (std::vector<BYTE>{6, 0, 0, 0, 6, 3, 0, 0, 6, 6, 0, 1}));
    // A flat row of 640 is three runs of at most 255 and a row end.
    EXPECT_EQ(Compress(orvel::test::MakeFrame(FramePattern::Flat, 640, 2)).size(), 2U * 8);
}

TEST_F(Rle8CompressorTest, OutputFormatIsTheInputsWithRunLengthCompression) {
    std::vector<BYTE> input =
        orvel::test::FrameFormat(orvel::test::MakeFrame(FramePattern::Flat, 33, 5));
    BITMAPINFOHEADER header = HeaderOf(input);
    header.biXPelsPerMeter = 2835;
    header.biClrUsed = 16;
    header.biClrImportant = 3;
    std::memcpy(input.data(), &header, sizeof header);
    auto* inputInfo = reinterpret_cast<BITMAPINFO*>(input.data());
    ASSERT_EQ(ICCompressGetFormatSize(compressor_, inputInfo), 40U + 16 * 4);
    std::vector<BYTE> output(40 + 16 * 4, 0xEE);
    ASSERT_EQ(
        ICCompressGetFormat(compressor_, inputInfo, reinterpret_cast<BITMAPINFO*>(output.data())),
        ICERR_OK);
    BITMAPINFOHEADER expected = header;
    expected.biCompression = BI_RLE8;
    expected.biSizeImage = ICCompressGetSize(compressor_, inputInfo, nullptr);
    EXPECT_EQ(expected.biSizeImage, 5U * (2 * 33 + 2));
    EXPECT_EQ(std::memcmp(output.data(), &expected, sizeof expected), 0);
    EXPECT_TRUE(std::equal(output.begin() + 40, output.end(), input.begin() + 40));
}

// Formats the compressor must refuse: anything but bottom-up uncompressed 8-bit frames, and
// output formats of another frame. Nothing is written for a refused frame.
TEST_F(Rle8CompressorTest, FormatsOfOtherFramesAreRefusedByEveryMessage) {
    const Frame8 frame = orvel::test::MakeFrame(FramePattern::Flat, 8, 2);
    std::vector<BYTE> good = orvel::test::FrameFormat(frame);
    std::vector<BYTE> goodOutput(40 + 1024, 0);
    ICCompressGetFormat(compressor_, reinterpret_cast<BITMAPINFO*>(good.data()),
                        reinterpret_cast<BITMAPINFO*>(goodOutput.data()));
    const struct {
        const char* name;
        void (*change)(BITMAPINFOHEADER&);
        bool output;
    } cases[] = {
        {"4 bits", [](BITMAPINFOHEADER& h) { h.biBitCount = 4; }, false},
        {"two planes", [](BITMAPINFOHEADER& h) { h.biPlanes = 2; }, false},
        {"top-down", [](BITMAPINFOHEADER& h) { h.biHeight = -h.biHeight; }, false},
        {"zero width", [](BITMAPINFOHEADER& h) { h.biWidth = 0; }, false},
        {"run-length input", [](BITMAPINFOHEADER& h) { h.biCompression = BI_RLE8; }, false},
        {"257 colours", [](BITMAPINFOHEADER& h) { h.biClrUsed = 257; }, false},
        {"too large to measure", [](BITMAPINFOHEADER& h) { h.biWidth = h.biHeight = 0x7FFFFFFF; },
         false},
        {"output of another width", [](BITMAPINFOHEADER& h) { h.biWidth = 9; }, true},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.name);
        std::vector<BYTE> input = good;
        std::vector<BYTE> output = goodOutput;
        auto* inputInfo = reinterpret_cast<BITMAPINFO*>(input.data());
        auto* outputInfo = reinterpret_cast<BITMAPINFO*>(output.data());
        bad.change(bad.output ? outputInfo->bmiHeader : inputInfo->bmiHeader);
        if (!bad.output) {
            EXPECT_EQ(ICCompressQuery(compressor_, inputInfo, nullptr), ICERR_BADFORMAT);
            EXPECT_EQ(ICCompressGetFormat(compressor_, inputInfo, nullptr), ICERR_BADFORMAT);
            EXPECT_EQ(ICSendMessage(compressor_, ICM_COMPRESS_GET_SIZE,
                                    reinterpret_cast<DWORD_PTR>(inputInfo), 0),
                      ICERR_BADFORMAT);
        }
        EXPECT_EQ(ICCompressBegin(compressor_, inputInfo, outputInfo), ICERR_BADFORMAT);
        std::vector<BYTE> bits = frame.pixels;
        std::vector<BYTE> compressed(256, 0);
        EXPECT_EQ(ICCompress(compressor_, ICCOMPRESS_KEYFRAME, &outputInfo->bmiHeader,
                             compressed.data(), &inputInfo->bmiHeader, bits.data(), nullptr,
                             nullptr, 0, 0, 0, nullptr, nullptr),
                  static_cast<DWORD>(ICERR_BADFORMAT));
        EXPECT_EQ(compressed, std::vector<BYTE>(256, 0));
    }
}

} // namespace
