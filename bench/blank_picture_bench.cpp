// Making pictures that do not come from a file: a blank 4096 x 4096 picture at each depth (the
// whole load: header, temporary picture, block, normalisation and fill), against a plain loop
// that writes the same pixels one by one; and a 2048 x 2048 picture read from a bitmap.
#include <orvel/orvel.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kBlankSide = 4096;
constexpr int kBitmapSide = 2048;

std::size_t Stride(int width, int bitCount) {
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32 * 4;
}

void BlankPicture(benchmark::State& state) {
    const int bitCount = static_cast<int>(state.range(0));
    CDib dib;
    for (auto _ : state) {
        if (!dib.Load(CSize(kBlankSide, kBlankSide), RGB(200, 100, 50), bitCount, nullptr)) {
            state.SkipWithError("the load failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(Stride(kBlankSide, bitCount) * kBlankSide));
}
BENCHMARK(BlankPicture)
    ->ArgName("bits")
    ->Arg(1)
    ->Arg(8)
    ->Arg(16)
    ->Arg(24)
    ->Arg(32)
    ->Unit(benchmark::kMillisecond);

// Baseline: the 24-bit pixels written three bytes at a time into memory already there, with no
// block, header or palette around them.
void PerPixelFillBaseline(benchmark::State& state) {
    const std::size_t stride = Stride(kBlankSide, 24);
    std::vector<BYTE> pixels(stride * kBlankSide);
    for (auto _ : state) {
        BYTE* row = pixels.data();
        for (int y = 0; y < kBlankSide; ++y, row += stride) {
            BYTE* pixel = row;
            for (int x = 0; x < kBlankSide; ++x, pixel += 3) {
                pixel[0] = 50;
                pixel[1] = 100;
                pixel[2] = 200;
            }
        }
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(pixels.size()));
}
BENCHMARK(PerPixelFillBaseline)->Unit(benchmark::kMillisecond);

void BitmapPicture(benchmark::State& state) {
    const int bitCount = static_cast<int>(state.range(0));
    CBitmap bitmap;
    std::vector<BYTE> bits(static_cast<std::size_t>(kBitmapSide) * kBitmapSide * 4, 0x5A);
    if (!bitmap.CreateBitmap(kBitmapSide, kBitmapSide, 1, static_cast<UINT>(bitCount),
                             bits.data())) {
        state.SkipWithError("no bitmap");
        return;
    }
    CDib dib;
    for (auto _ : state) {
        if (!dib.Load(bitmap, nullptr)) {
            state.SkipWithError("the load failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(Stride(kBitmapSide, bitCount) * kBitmapSide));
}
BENCHMARK(BitmapPicture)->ArgName("bits")->Arg(8)->Arg(24)->Arg(32)->Unit(benchmark::kMillisecond);

} // namespace
