// The resource calls a bitmap load makes, once per load: find the module that holds the bitmap,
// find it there, load it and lock it. Also a lookup of a bitmap that no module has, which
// searches the application and every extension library before it gives up.
#include <orvel/orvel.h>

#include <benchmark/benchmark.h>

namespace {

constexpr WORD kEmbeddedId = 1;
constexpr WORD kMissingId = 999;

void BM_LoadBitmapResource(benchmark::State& state) {
    LPCSTR name = MAKEINTRESOURCE(kEmbeddedId);
    for (auto _ : state) {
        HINSTANCE module = AfxFindResourceHandle(name, RT_BITMAP);
        HRSRC found = FindResourceA(module, name, RT_BITMAP);
        benchmark::DoNotOptimize(LockResource(LoadResource(module, found)));
        benchmark::DoNotOptimize(SizeofResource(module, found));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LoadBitmapResource);

void BM_FindMissingBitmapModule(benchmark::State& state) {
    LPCSTR name = MAKEINTRESOURCE(kMissingId);
    for (auto _ : state) {
        benchmark::DoNotOptimize(AfxFindResourceHandle(name, RT_BITMAP));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindMissingBitmapModule);

} // namespace
