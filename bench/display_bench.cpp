// Show: a 640 x 480 picture drawn at its own size into a 32-bit memory surface through DrawDib
// and through StretchDIBits, at 8 and 24 bits per pixel; the palette selection, realisation and
// restoring are part of every draw.
#include <orvel/orvel.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

void LoadRandom(CDib& dib, int bitCount) {
    BITMAPINFOHEADER header =
        CDibSupport::MakeBIH(kWidth, kHeight, static_cast<WORD>(bitCount), BI_RGB, 0, 0, 0, 0, 0);
    header.biSizeImage = CDibSupport::GetImageSize(header);
    const BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);
    std::vector<BYTE> image(file.bfSize);
    std::mt19937 random(11);
    for (BYTE& byte : image) {
        byte = static_cast<BYTE>(random());
    }
    std::memcpy(image.data(), &file, sizeof file);
    std::memcpy(image.data() + sizeof file, &header, sizeof header);
    dib.Load(reinterpret_cast<BITMAPFILEHEADER*>(image.data()));
}

// Arguments: bits per pixel, 1 for DrawDib or 0 for StretchDIBits.
void BM_ShowOwnSize(benchmark::State& state) {
    CDib dib;
    LoadRandom(dib, static_cast<int>(state.range(0)));
    dib.UseDrawDIB(static_cast<int>(state.range(1)));
    CDC dc;
    CBitmap bitmap;
    dc.CreateCompatibleDC(nullptr);
    bitmap.CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
    CBitmap* previous = dc.SelectObject(&bitmap);
    const CRect whole(0, 0, kWidth, kHeight);
    for (auto _ : state) {
        benchmark::DoNotOptimize(dib.Show(&dc, whole, CRect(0, 0, 0, 0)));
    }
    dc.SelectObject(previous);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_ShowOwnSize)
    ->ArgNames({"bits", "drawdib"})
    ->Args({8, 1})
    ->Args({8, 0})
    ->Args({24, 1})
    ->Args({24, 0});

} // namespace
