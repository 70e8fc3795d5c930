// Attach: a 640 x 480 picture pasted whole into a 1024 x 768 one at 8, 24 and 32 bits per pixel,
// and the same picture pasted half off the destination's top-left corner (clipped rows).
#include <orvel/orvel.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// A picture of random pixels (and colour table) loaded through the library's own funnel.
void LoadRandom(CDib& dib, int width, int height, int bitCount) {
    BITMAPINFOHEADER header =
        CDibSupport::MakeBIH(width, height, static_cast<WORD>(bitCount), BI_RGB, 0, 0, 0, 0, 0);
    header.biSizeImage = CDibSupport::GetImageSize(header);
    const BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);
    std::vector<BYTE> image(file.bfSize);
    std::mt19937 random(7);
    for (BYTE& byte : image) {
        byte = static_cast<BYTE>(random());
    }
    std::memcpy(image.data(), &file, sizeof file);
    std::memcpy(image.data() + sizeof file, &header, sizeof header);
    dib.Load(reinterpret_cast<BITMAPFILEHEADER*>(image.data()));
}

void BM_AttachWhole(benchmark::State& state) {
    const int bitCount = static_cast<int>(state.range(0));
    CDib destination;
    CDib source;
    LoadRandom(destination, 1024, 768, bitCount);
    LoadRandom(source, 640, 480, bitCount);
    for (auto _ : state) {
        benchmark::DoNotOptimize(destination.Attach(source, CPoint(100, 80)));
    }
    state.SetBytesProcessed(state.iterations() * 640LL * 480 * bitCount / 8);
}
BENCHMARK(BM_AttachWhole)->Arg(8)->Arg(24)->Arg(32);

void BM_AttachClipped(benchmark::State& state) {
    CDib destination;
    CDib source;
    LoadRandom(destination, 1024, 768, 24);
    LoadRandom(source, 640, 480, 24);
    for (auto _ : state) {
        benchmark::DoNotOptimize(destination.Attach(source, CPoint(-320, -240)));
    }
    state.SetBytesProcessed(state.iterations() * 320LL * 240 * 3);
}
BENCHMARK(BM_AttachClipped);

} // namespace
