// The nearest-colour search that colour conversion asks once per pixel: GetNearestPaletteIndex
// on random colours against the halftone palette and a random 256-entry palette, beside a plain
// scan of the same palette as the baseline it must beat; and what a fresh palette pays once to
// build its cells.
#include <orvel/orvel.h>

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr std::size_t kQueryCount = 1 << 16;

std::vector<COLORREF> RandomColours() {
    std::mt19937 random(7);
    std::vector<COLORREF> colours(kQueryCount);
    for (COLORREF& colour : colours) {
        colour = random() & 0xFFFFFF;
    }
    return colours;
}

HPALETTE HalftonePalette() {
    HDC screen = GetDC(nullptr);
    HPALETTE palette = CreateHalftonePalette(screen);
    ReleaseDC(nullptr, screen);
    return palette;
}

HPALETTE RandomPalette(unsigned seed = 11) {
    std::mt19937 random(seed);
    std::vector<BYTE> storage(LogPaletteBytes(256));
    auto* logPalette = reinterpret_cast<LOGPALETTE*>(storage.data());
    logPalette->palVersion = PALETTE_VERSION;
    logPalette->palNumEntries = 256;
    for (int i = 0; i < 256; ++i) {
        logPalette->palPalEntry[i] = {static_cast<BYTE>(random()), static_cast<BYTE>(random()),
                                      static_cast<BYTE>(random()), 0};
    }
    return CreatePalette(logPalette);
}

void RunNearest(benchmark::State& state, HPALETTE palette) {
    const std::vector<COLORREF> colours = RandomColours();
    for (COLORREF colour : colours) { // warm: the search builds what it needs on first use
        benchmark::DoNotOptimize(GetNearestPaletteIndex(palette, colour));
    }
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(GetNearestPaletteIndex(palette, colours[next]));
        next = (next + 1) & (kQueryCount - 1);
    }
    state.SetItemsProcessed(state.iterations());
    DeleteObject(palette);
}

void RunScan(benchmark::State& state, HPALETTE palette) {
    std::vector<PALETTEENTRY> entries(256);
    GetPaletteEntries(palette, 0, 256, entries.data());
    DeleteObject(palette);
    const std::vector<COLORREF> colours = RandomColours();
    std::size_t next = 0;
    for (auto _ : state) {
        const COLORREF colour = colours[next];
        const int red = GetRValue(colour);
        const int green = GetGValue(colour);
        const int blue = GetBValue(colour);
        int best = INT32_MAX;
        UINT bestIndex = 0;
        for (UINT i = 0; i < entries.size(); ++i) {
            const int dr = entries[i].peRed - red;
            const int dg = entries[i].peGreen - green;
            const int db = entries[i].peBlue - blue;
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < best) {
                best = distance;
                bestIndex = i;
            }
        }
        benchmark::DoNotOptimize(bestIndex);
        next = (next + 1) & (kQueryCount - 1);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_NearestIndex_Halftone(benchmark::State& state) {
    RunNearest(state, HalftonePalette());
}
void BM_NearestIndex_Random256(benchmark::State& state) {
    RunNearest(state, RandomPalette());
}
void BM_LinearScan_Halftone(benchmark::State& state) {
    RunScan(state, HalftonePalette());
}
void BM_LinearScan_Random256(benchmark::State& state) {
    RunScan(state, RandomPalette());
}

// The query that makes a fresh palette build its cells: a palette answers its first queries by the
// scan and builds the cells once it proves busy, so only the query that crosses into the build is
// timed. Each iteration uses new colours, so that no earlier search can be shared.
void BM_NearestCellBuild_Random256(benchmark::State& state) {
    const std::vector<COLORREF> colours = RandomColours();
    unsigned seed = 100;
    for (auto _ : state) {
        state.PauseTiming();
        HPALETTE palette = RandomPalette(++seed);
        std::size_t next = 0;
        // Past the scan phase; the build starts on one of the following queries.
        constexpr std::size_t kScanQueries = 16384;
        for (; next < kScanQueries; ++next) {
            benchmark::DoNotOptimize(GetNearestPaletteIndex(palette, colours[next]));
        }
        state.ResumeTiming();
        for (std::size_t i = 0; i < 4; ++i, ++next) {
            benchmark::DoNotOptimize(GetNearestPaletteIndex(palette, colours[next]));
        }
        state.PauseTiming();
        DeleteObject(palette);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_NearestIndex_Halftone);
BENCHMARK(BM_NearestIndex_Random256);
BENCHMARK(BM_LinearScan_Halftone);
BENCHMARK(BM_LinearScan_Random256);
BENCHMARK(BM_NearestCellBuild_Random256)->Unit(benchmark::kMillisecond);

} // namespace
