// Clipboard exchange of a 640 x 480 24-bit picture: SetClipboard alone, and SetClipboard followed
// by GetClipboard on a second object (a full round trip through the normalisation step).
#include <orvel/orvel.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

void LoadRandom(CDib& dib) {
    BITMAPINFOHEADER header = CDibSupport::MakeBIH(640, 480, 24, BI_RGB, 0, 0, 0, 0, 0);
    header.biSizeImage = CDibSupport::GetImageSize(header);
    const BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);
    std::vector<BYTE> image(file.bfSize);
    std::mt19937 random(13);
    for (BYTE& byte : image) {
        byte = static_cast<BYTE>(random());
    }
    std::memcpy(image.data(), &file, sizeof file);
    std::memcpy(image.data() + sizeof file, &header, sizeof header);
    dib.Load(reinterpret_cast<BITMAPFILEHEADER*>(image.data()));
}

void EmptyTheClipboard() {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

void BM_SetClipboard(benchmark::State& state) {
    CDib dib;
    LoadRandom(dib);
    for (auto _ : state) {
        benchmark::DoNotOptimize(dib.SetClipboard(nullptr));
    }
    EmptyTheClipboard();
    state.SetBytesProcessed(state.iterations() * 640LL * 480 * 3);
}
BENCHMARK(BM_SetClipboard);

void BM_ClipboardRoundTrip(benchmark::State& state) {
    CDib copied;
    CDib loaded;
    LoadRandom(copied);
    for (auto _ : state) {
        copied.SetClipboard(nullptr);
        benchmark::DoNotOptimize(loaded.GetClipboard(nullptr));
    }
    EmptyTheClipboard();
    state.SetBytesProcessed(state.iterations() * 640LL * 480 * 3);
}
BENCHMARK(BM_ClipboardRoundTrip);

} // namespace
