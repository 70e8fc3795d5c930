// The run-length compressor on whole frames through ICCompress, as an application compresses a
// sequence: 640 x 480 and 1920 x 1080 8-bit frames that are flat, noisy or photo-like. Items are
// frames; the counter "ratio" is compressed bytes over raw pixel bytes.
#include <orvel/orvel.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

enum Content { kFlat, kNoisy, kPhotoLike };

std::vector<BYTE> MakePixels(Content content, int width, int height, int stride) {
    std::vector<BYTE> pixels(static_cast<std::size_t>(stride) * height, 0);
    std::mt19937 random(5);
    for (int y = 0; y < height; ++y) {
        BYTE* row = pixels.data() + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            switch (content) {
            case kFlat:
                row[x] = 0x21;
                break;
            case kNoisy:
                row[x] = static_cast<BYTE>(random());
                break;
            case kPhotoLike:
                // Smooth patches with sparse noise, as a scanned picture reduced to 8 bits.
                row[x] = static_cast<BYTE>(((x / 12) * 5 + (y / 9) * 11) & 0xFF);
                if (random() % 10 < 2) {
                    row[x] = static_cast<BYTE>(row[x] + 1 + random() % 3);
                }
                break;
            }
        }
    }
    return pixels;
}

void CompressFrames(benchmark::State& state) {
    const auto content = static_cast<Content>(state.range(0));
    const int width = static_cast<int>(state.range(1));
    const int height = static_cast<int>(state.range(2));
    const int stride = (width + 3) / 4 * 4;

    std::vector<BYTE> input(40 + 1024, 0);
    const BITMAPINFOHEADER header = CDibSupport::MakeBIH(width, height, 8, BI_RGB, 0, 0, 0, 0, 0);
    std::memcpy(input.data(), &header, sizeof header);
    auto* inputInfo = reinterpret_cast<BITMAPINFO*>(input.data());
    std::vector<BYTE> pixels = MakePixels(content, width, height, stride);

    HIC compressor = ICOpen(ICTYPE_VIDEO, mmioFOURCC('m', 'r', 'l', 'e'), ICMODE_COMPRESS);
    std::vector<BYTE> output(ICCompressGetFormatSize(compressor, inputInfo));
    auto* outputInfo = reinterpret_cast<BITMAPINFO*>(output.data());
    ICCompressGetFormat(compressor, inputInfo, outputInfo);
    std::vector<BYTE> compressed(ICCompressGetSize(compressor, inputInfo, outputInfo));
    ICCompressBegin(compressor, inputInfo, outputInfo);

    long frame = 0;
    for (auto _ : state) {
        const DWORD result = ICCompress(compressor, ICCOMPRESS_KEYFRAME, &outputInfo->bmiHeader,
                                        compressed.data(), &inputInfo->bmiHeader, pixels.data(),
                                        nullptr, nullptr, frame++, 0, 0, nullptr, nullptr);
        benchmark::DoNotOptimize(result);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(pixels.size()));
    state.counters["ratio"] = static_cast<double>(outputInfo->bmiHeader.biSizeImage) /
                              static_cast<double>(static_cast<std::size_t>(width) * height);
    ICCompressEnd(compressor);
    ICClose(compressor);
}

BENCHMARK(CompressFrames)
    ->ArgNames({"content", "width", "height"})
    ->ArgsProduct({{kFlat, kNoisy, kPhotoLike}, {640}, {480}})
    ->ArgsProduct({{kFlat, kNoisy, kPhotoLike}, {1920}, {1080}})
    ->Unit(benchmark::kMicrosecond);

} // namespace
