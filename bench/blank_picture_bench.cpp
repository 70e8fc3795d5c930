// Making pictures that do not come from a file: a blank picture at each depth (the whole load:
// header, temporary picture, block, normalisation and fill) 2048 and 4096 pixels square, against
// a plain loop that writes the same pixels one by one; and a 2048 x 2048 picture read from a
// bitmap. Blocks above the allocator's mapping threshold (32 MiB) come fresh from the system
// each time, so the 4096-pixel figures include the cost of first touching their pages.
#include <orvel/orvel.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kBaselineSide = 4096;
constexpr int kBitmapSide = 2048;

std::size_t Stride(int width, int bitCount) {
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32 * 4;
}

void BlankPicture(benchmark::State& state) {
    const int bitCount = static_cast<int>(state.range(0));
    const int side = static_cast<int>(state.range(1));
    CDib dib;
    for (auto _ : state) {
        if (!dib.Load(CSize(side, side), RGB(200, 100, 50), bitCount, nullptr)) {
            state.SkipWithError("the load failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(Stride(side, bitCount) * side));
}
BENCHMARK(BlankPicture)
    ->ArgNames({"bits", "side"})
    ->ArgsProduct({{1, 8, 16, 24, 32}, {2048, 4096}})
    ->Unit(benchmark::kMillisecond);

// Baseline: the 24-bit pixels written three bytes at a time into memory already there, with no
// block, header or palette around them.
void PerPixelFillBaseline(benchmark::State& state) {
    const std::size_t stride = Stride(kBaselineSide, 24);
    std::vector<BYTE> pixels(stride * kBaselineSide);
    for (auto _ : state) {
        BYTE* row = pixels.data();
        for (int y = 0; y < kBaselineSide; ++y, row += stride) {
            BYTE* pixel = row;
            for (int x = 0; x < kBaselineSide; ++x, pixel += 3) {
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
