// The desktop: Show of a 1920 x 1080 24-bit picture on a window shown on an X server (the call
// returns once the server holds the pixels), and a 48 MiB picture on the clipboard read by xclip
// (a whole xclip process each time, as a user's paste is). Both need an X server:
//
//   xvfb-run -s "-screen 0 1920x1080x24" build/default/bench/orvel_bench --benchmark_filter=Desktop
//
// Without one (or with ORVEL_HEADLESS set) they report themselves skipped.
#include <orvel/orvel.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

// A 24-bit picture of noise, so that no run of equal pixels shortens any conversion.
void LoadNoise(CDib& dib, int width, int height) {
    BITMAPINFOHEADER header = CDibSupport::MakeBIH(width, height, 24, BI_RGB, 0, 0, 0, 0, 0);
    header.biSizeImage = CDibSupport::GetImageSize(header);
    const BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);
    std::vector<BYTE> image(file.bfSize);
    std::mt19937 random(5);
    for (BYTE& byte : image) {
        byte = static_cast<BYTE>(random());
    }
    std::memcpy(image.data(), &file, sizeof file);
    std::memcpy(image.data() + sizeof file, &header, sizeof header);
    dib.Load(reinterpret_cast<BITMAPFILEHEADER*>(image.data()));
}

// Argument: 1 for DrawDib, 0 for StretchDIBits.
void BM_DesktopShowFullHd(benchmark::State& state) {
    if (!IsDesktopReal()) {
        state.SkipWithError("no X server: run under xvfb-run or with DISPLAY set");
        return;
    }
    constexpr int kWidth = 1920;
    constexpr int kHeight = 1080;
    CDib picture;
    LoadNoise(picture, kWidth, kHeight);
    picture.UseDrawDIB(static_cast<int>(state.range(0)));
    CWnd window;
    window.Create(nullptr, "orvel bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                  CRect(0, 0, kWidth, kHeight), nullptr, 0);
    CClientDC dc(&window);
    const CRect whole(0, 0, kWidth, kHeight);
    for (auto _ : state) {
        benchmark::DoNotOptimize(picture.Show(&dc, whole, CRect(0, 0, 0, 0)));
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_DesktopShowFullHd)->ArgName("drawdib")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Argument: 0 for image/bmp, 1 for image/png (encoded at the first request, then kept).
void BM_DesktopClipboardToXclip(benchmark::State& state) {
    if (!IsDesktopReal() || std::system("command -v xclip >/dev/null 2>&1") != 0) {
        state.SkipWithError("no X server or no xclip");
        return;
    }
    CDib picture;
    LoadNoise(picture, 4096, 4096);
    picture.SetClipboard(nullptr);
    const char* command = state.range(0) == 0
                              ? "xclip -selection clipboard -t image/bmp -o > /dev/null"
                              : "xclip -selection clipboard -t image/png -o > /dev/null";
    for (auto _ : state) {
        if (std::system(command) != 0) {
            state.SkipWithError("xclip could not read the clipboard");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * 4096LL * 4096LL * 3LL);
}
BENCHMARK(BM_DesktopClipboardToXclip)
    ->ArgName("png")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
