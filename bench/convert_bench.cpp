// Colour and size conversion of a 4096 x 4096 photo-like picture (smooth gradients plus noise).
//
// Each pair is measured twice: the whole operation as a caller sees it (work block, converter,
// picture replacement through the normalisation step), and the converter or resampler alone on a
// work block made once, which is the library's hot loop. Items are pixels: source pixels for
// colour conversion, target pixels for size conversion. Times are wall time, the page faults of
// fresh blocks included: a large picture's rows are shared among the worker threads, whose work
// the calling thread's CPU time would not show. ORVEL_THREADS=1 gives the one-thread figures.
//
// Crossover/ times the converter and the resampler on squares of growing side, where sharing
// starts to pay: run it with ORVEL_THREADS=1 and with ORVEL_PARALLEL_BYTES=0 (every size shared)
// and compare.
#include <orvel/orvel.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

namespace {

constexpr int kSide = 4096;

// Gives the benchmark the protected steps, to time the pixel loops without the allocations and
// copies around them.
class ConvertProbe : public CConvertDib {
public:
    using Converter = BOOL (ConvertProbe::*)(CDibInfo*, CDibInfo*);

    BOOL RunConverter(Converter converter) {
        CDibInfo source(m_hDib);
        CDibInfo target(m_hWork);
        return (this->*converter)(&source, &target);
    }
    static Converter ConverterFor(int sourceBits, int targetBits) {
        static const std::map<std::pair<int, int>, Converter> converters = {
            {{24, 8}, &ConvertProbe::ConvertColor24To08},
            {{24, 1}, &ConvertProbe::ConvertColor24To01},
            {{24, 4}, &ConvertProbe::ConvertColor24To04},
            {{8, 24}, &ConvertProbe::ConvertColor08To24},
            {{1, 24}, &ConvertProbe::ConvertColor01To24},
            {{24, 16}, &ConvertProbe::ConvertColor24To16},
            {{16, 24}, &ConvertProbe::ConvertColor16To24},
            {{32, 24}, &ConvertProbe::ConvertColor32To24},
            {{8, 8}, &ConvertProbe::ConvertColor08To08},
            {{4, 8}, &ConvertProbe::ConvertColor04To08},
        };
        return converters.at({sourceBits, targetBits});
    }
    using CConvertDib::ConvertColorInit;
    using CConvertDib::ConvertSizeCompute;
    using CConvertDib::ConvertSizeInit;
    void Resample(WORD bitCount, int* columnCounts, int* rowCounts) {
        if (bitCount == 8) {
            ConvertSize08(columnCounts, rowCounts);
        } else {
            ConvertSize24(columnCounts, rowCounts);
        }
    }
};

// The packed DIB of the 24-bit photo: each channel a gradient in its own direction, plus noise of
// up to +-12 from a fixed linear congruential sequence.
std::vector<BYTE> PhotoPacked() {
    const std::size_t stride = kSide * 3;
    std::vector<BYTE> packed(40 + stride * kSide);
    const BITMAPINFOHEADER header = CDibSupport::MakeBIH(
        kSide, kSide, 24, BI_RGB, static_cast<DWORD>(stride * kSide), 0, 0, 0, 0);
    std::memcpy(packed.data(), &header, sizeof header);
    std::uint32_t state = 12345;
    auto noise = [&state] {
        state = state * 1664525U + 1013904223U;
        return static_cast<int>(state >> 27) - 12; // -12 .. 19, mostly small
    };
    auto clamp = [](int value) {
        return static_cast<BYTE>(value < 0 ? 0 : (value > 255 ? 255 : value));
    };
    BYTE* pixel = packed.data() + 40;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            *pixel++ = clamp((x + y) / 32 + noise()); // blue
            *pixel++ = clamp(y / 16 + noise());       // green
            *pixel++ = clamp(255 - x / 16 + noise()); // red
        }
    }
    return packed;
}

// The photo at each depth, as packed DIBs made once by the library itself.
const std::vector<BYTE>& PackedAt(int bitCount) {
    static std::map<int, std::vector<BYTE>> pictures;
    auto found = pictures.find(bitCount);
    if (found != pictures.end()) {
        return found->second;
    }
    std::vector<BYTE> photo = PhotoPacked();
    CConvertDib dib(reinterpret_cast<BITMAPINFOHEADER*>(photo.data()));
    if (bitCount != 24) {
        dib.ConvertColor(bitCount, nullptr);
    }
    HGLOBAL packedBlock = nullptr;
    CDibSupport::GetBIHFromBFH(dib.GetSafeHandle(), &packedBlock);
    const auto* bytes = static_cast<const BYTE*>(GlobalLock(packedBlock));
    std::vector<BYTE> packed(bytes, bytes + GlobalSize(packedBlock));
    GlobalUnlock(packedBlock);
    GlobalFree(packedBlock);
    return pictures.emplace(bitCount, std::move(packed)).first->second;
}

// The photo at a depth, cut to a side x side square (from its lower-left corner) when smaller.
const std::vector<BYTE>& PackedAt(int bitCount, int side) {
    static std::map<std::pair<int, int>, std::vector<BYTE>> squares;
    if (side == kSide) {
        return PackedAt(bitCount);
    }
    auto found = squares.find({bitCount, side});
    if (found != squares.end()) {
        return found->second;
    }
    std::vector<BYTE> whole = PackedAt(bitCount);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(whole.data());
    const std::size_t colours =
        bitCount <= 8 ? std::size_t{4} << static_cast<unsigned>(bitCount) : 0;
    const std::size_t wholeStride = CDibSupport::GetBytePerLine(*header);
    header->biWidth = side;
    header->biHeight = side;
    header->biSizeImage = 0;
    const std::size_t stride = CDibSupport::GetBytePerLine(*header);
    std::vector<BYTE> square(whole.begin(), whole.begin() + 40 + colours);
    const BYTE* row = whole.data() + 40 + colours;
    for (int y = 0; y < side; ++y, row += wholeStride) {
        square.insert(square.end(), row, row + stride);
    }
    return squares.emplace(std::make_pair(bitCount, side), std::move(square)).first->second;
}

void LoadAt(CConvertDib& dib, int bitCount, int side = kSide) {
    std::vector<BYTE> packed = PackedAt(bitCount, side);
    dib.Load(reinterpret_cast<BITMAPINFOHEADER*>(packed.data()));
}

void ConvertColorWhole(benchmark::State& state, int sourceBits, int targetBits) {
    for (auto _ : state) {
        state.PauseTiming();
        CConvertDib dib;
        LoadAt(dib, sourceBits);
        state.ResumeTiming();
        if (dib.ConvertColor(targetBits, nullptr) != 1 || dib.IsFailed()) {
            state.SkipWithError("conversion failed");
        }
        state.PauseTiming(); // the old picture's release is not part of the conversion
        GlobalFree(dib.DetachHandle());
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void ConverterAlone(benchmark::State& state, int sourceBits, int targetBits, int side) {
    ConvertProbe dib;
    LoadAt(dib, sourceBits, side);
    dib.ConvertColorInit(targetBits);
    const ConvertProbe::Converter converter = ConvertProbe::ConverterFor(sourceBits, targetBits);
    for (auto _ : state) {
        benchmark::DoNotOptimize(dib.RunConverter(converter));
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}

void ConvertSizeWhole(benchmark::State& state, int bitCount, int side) {
    for (auto _ : state) {
        state.PauseTiming();
        CConvertDib dib;
        LoadAt(dib, bitCount);
        state.ResumeTiming();
        if (dib.ConvertSize(side, side) != 1 || dib.IsFailed()) {
            state.SkipWithError("resize failed");
        }
        state.PauseTiming();
        GlobalFree(dib.DetachHandle());
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(side) * side);
}

void ResamplerAlone(benchmark::State& state, int bitCount, int side, int sourceSide) {
    ConvertProbe dib;
    LoadAt(dib, bitCount, sourceSide);
    dib.ConvertSizeInit(CSize(side, side));
    std::vector<int> columnCounts(sourceSide);
    std::vector<int> rowCounts(sourceSide);
    dib.ConvertSizeCompute(columnCounts.data(), rowCounts.data());
    for (auto _ : state) {
        dib.Resample(static_cast<WORD>(bitCount), columnCounts.data(), rowCounts.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(side) * side);
}

// The floor of any enlargement: filling one fresh block of the target's size by a memory copy
// (page faults included). The whole operation writes two such blocks, the work block and the
// installed copy of it.
void FreshBlockCopy(benchmark::State& state, int bytesPerPixel, int side) {
    const std::size_t bytes = static_cast<std::size_t>(side) * side * bytesPerPixel;
    const std::vector<BYTE> source(bytes, 0x5A);
    for (auto _ : state) {
        HGLOBAL block = GlobalAlloc(GHND, bytes);
        auto* target = static_cast<BYTE*>(GlobalLock(block));
        std::memcpy(target, source.data(), bytes);
        benchmark::DoNotOptimize(target);
        GlobalUnlock(block);
        GlobalFree(block);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(side) * side);
}

struct Pair {
    const char* name;
    int sourceBits;
    int targetBits;
};

constexpr Pair kPairs[] = {
    {"24To8Halftone", 24, 8}, {"24To1", 24, 1},   {"24To4", 24, 4},   {"8To24", 8, 24},
    {"1To24", 1, 24},         {"24To16", 24, 16}, {"16To24", 16, 24}, {"32To24", 32, 24},
    {"8To8Halftone", 8, 8},   {"4To8", 4, 8},
};

const bool g_registered = [] {
    for (const Pair& pair : kPairs) {
        benchmark::RegisterBenchmark((std::string("ConvertColor/") + pair.name).c_str(),
                                     ConvertColorWhole, pair.sourceBits, pair.targetBits)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark((std::string("Converter/") + pair.name).c_str(),
                                     ConverterAlone, pair.sourceBits, pair.targetBits, kSide)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    for (const int bitCount : {8, 24}) {
        for (const int side : {kSide / 2, kSide * 2}) {
            const std::string name = std::to_string(bitCount) + "Bits/To" + std::to_string(side);
            benchmark::RegisterBenchmark(("ConvertSize/" + name).c_str(), ConvertSizeWhole,
                                         bitCount, side)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            benchmark::RegisterBenchmark(("Resampler/" + name).c_str(), ResamplerAlone, bitCount,
                                         side, kSide)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        benchmark::RegisterBenchmark(
            ("FreshBlockCopy/" + std::to_string(bitCount) + "Bits/To8192").c_str(), FreshBlockCopy,
            bitCount / 8, kSide * 2)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    // Squares of 2^(k/2) pixels a side, about twice the bytes a step.
    for (const int side : {64, 90, 128, 181, 256, 362, 512, 724, 1024}) {
        benchmark::RegisterBenchmark(
            ("Crossover/Converter24To8Halftone/" + std::to_string(side)).c_str(), ConverterAlone,
            24, 8, side)
            ->Unit(benchmark::kMicrosecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(
            ("Crossover/Resampler24BitsTwice/" + std::to_string(side)).c_str(), ResamplerAlone, 24,
            side * 2, side)
            ->Unit(benchmark::kMicrosecond)
            ->UseRealTime();
    }
    return true;
}();

} // namespace
