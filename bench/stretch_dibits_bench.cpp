// StretchDIBits drawing a 640 x 480 picture into a 32-bit surface: copied at its own size from
// 8 and 24 bits, enlarged twice, and combined with the destination (SRCINVERT); and an 24-bit
// picture mapped onto an 8-bit surface through the halftone palette.
#include <orvel/orvel.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Picture {
    std::vector<BYTE> info;
    std::vector<BYTE> bits;
    const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(info.data()); }
};

Picture RandomPicture(int depth) {
    Picture picture;
    const int entries = depth <= 8 ? 1 << depth : 0;
    picture.info.resize(sizeof(BITMAPINFOHEADER) + static_cast<std::size_t>(entries) * 4);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = kWidth;
    header.biHeight = kHeight;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(depth);
    std::memcpy(picture.info.data(), &header, sizeof header);
    std::mt19937 random(3);
    for (std::size_t i = sizeof header; i < picture.info.size(); ++i) {
        picture.info[i] = static_cast<BYTE>(random());
    }
    const std::size_t stride = static_cast<std::size_t>((kWidth * depth + 31) / 32 * 4);
    picture.bits.resize(stride * kHeight);
    for (BYTE& byte : picture.bits) {
        byte = static_cast<BYTE>(random());
    }
    return picture;
}

void Draw(benchmark::State& state, int depth, int surfaceDepth, int scale, DWORD rop) {
    const Picture picture = RandomPicture(depth);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap =
        CreateBitmap(kWidth * scale, kHeight * scale, 1, static_cast<UINT>(surfaceDepth), nullptr);
    HGDIOBJ previousBitmap = SelectObject(dc, bitmap);
    HPALETTE halftone = CreateHalftonePalette(dc);
    HPALETTE previousPalette = SelectPalette(dc, halftone, FALSE);
    for (auto _ : state) {
        benchmark::DoNotOptimize(StretchDIBits(dc, 0, 0, kWidth * scale, kHeight * scale, 0, 0,
                                               kWidth, kHeight, picture.bits.data(), picture.Info(),
                                               DIB_RGB_COLORS, rop));
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight * scale * scale);
    SelectPalette(dc, previousPalette, TRUE);
    SelectObject(dc, previousBitmap);
    DeleteObject(halftone);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

void StretchDIBits8To32(benchmark::State& state) {
    Draw(state, 8, 32, 1, SRCCOPY);
}
void StretchDIBits24To32(benchmark::State& state) {
    Draw(state, 24, 32, 1, SRCCOPY);
}
void StretchDIBits24To32Enlarged(benchmark::State& state) {
    Draw(state, 24, 32, 2, SRCCOPY);
}
void StretchDIBits24To32Invert(benchmark::State& state) {
    Draw(state, 24, 32, 1, SRCINVERT);
}
void StretchDIBits24To8Halftone(benchmark::State& state) {
    Draw(state, 24, 8, 1, SRCCOPY);
}

BENCHMARK(StretchDIBits8To32);
BENCHMARK(StretchDIBits24To32);
BENCHMARK(StretchDIBits24To32Enlarged);
BENCHMARK(StretchDIBits24To32Invert);
BENCHMARK(StretchDIBits24To8Halftone);

} // namespace
