// orvel_bench_compare: judges the outputs of bench/compare-peers.sh, read as raw RGB dumps (three
// bytes a pixel, rows in any order as long as every dump of one run uses the same order).
//
//   orvel_bench_compare same A.rgb B.rgb
//       prints the number of pixels whose colours differ, and the number of pixels
//   orvel_bench_compare nearest SOURCE.rgb PALETTE.rgb RESULT.rgb
//       prints the number of pixels whose colour in RESULT is not the exact nearest palette
//       colour to the pixel in SOURCE (smallest squared RGB distance, the lowest index among
//       equally near entries), and the number of pixels
//
// The nearest colour is found by a plain scan of the palette, once per distinct source colour:
// it is the reference, independent of the library's accelerated search.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> ReadAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "orvel_bench_compare: cannot read %s\n", path);
        std::exit(1);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t ColourAt(const std::vector<unsigned char>& pixels, std::size_t pixel) {
    const unsigned char* rgb = pixels.data() + 3 * pixel;
    return static_cast<std::uint32_t>(rgb[0]) << 16U | static_cast<std::uint32_t>(rgb[1]) << 8U |
           rgb[2];
}

int Same(const char* firstPath, const char* secondPath) {
    const std::vector<unsigned char> first = ReadAll(firstPath);
    const std::vector<unsigned char> second = ReadAll(secondPath);
    if (first.size() != second.size() || first.size() % 3 != 0) {
        std::printf("size-differs %zu\n", first.size() / 3);
        return 0;
    }
    std::size_t differing = 0;
    for (std::size_t pixel = 0; pixel < first.size() / 3; ++pixel) {
        differing += ColourAt(first, pixel) != ColourAt(second, pixel) ? 1 : 0;
    }
    std::printf("%zu %zu\n", differing, first.size() / 3);
    return 0;
}

int Nearest(const char* sourcePath, const char* palettePath, const char* resultPath) {
    const std::vector<unsigned char> source = ReadAll(sourcePath);
    const std::vector<unsigned char> paletteBytes = ReadAll(palettePath);
    const std::vector<unsigned char> result = ReadAll(resultPath);
    const std::size_t pixels = source.size() / 3;
    if (result.size() != source.size() || paletteBytes.empty() || paletteBytes.size() % 3 != 0) {
        std::printf("size-differs %zu\n", pixels);
        return 0;
    }
    std::vector<std::uint32_t> palette;
    for (std::size_t i = 0; i < paletteBytes.size() / 3; ++i) {
        palette.push_back(ColourAt(paletteBytes, i));
    }
    auto scan = [&palette](std::uint32_t colour) {
        const int red = static_cast<int>(colour >> 16U);
        const int green = static_cast<int>((colour >> 8U) & 0xFFU);
        const int blue = static_cast<int>(colour & 0xFFU);
        int best = INT32_MAX;
        std::uint32_t bestColour = 0;
        for (const std::uint32_t entry : palette) {
            const int dr = static_cast<int>(entry >> 16U) - red;
            const int dg = static_cast<int>((entry >> 8U) & 0xFFU) - green;
            const int db = static_cast<int>(entry & 0xFFU) - blue;
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < best) {
                best = distance;
                bestColour = entry;
            }
        }
        return bestColour;
    };
    // The exact answer of each colour met so far, plus one: 0 marks a colour not yet scanned.
    std::vector<std::uint32_t> exact(std::size_t{1} << 24, 0);
    std::size_t wrong = 0;
    for (std::size_t pixel = 0; pixel < pixels; ++pixel) {
        const std::uint32_t colour = ColourAt(source, pixel);
        if (exact[colour] == 0) {
            exact[colour] = scan(colour) + 1;
        }
        wrong += ColourAt(result, pixel) != exact[colour] - 1 ? 1 : 0;
    }
    std::printf("%zu %zu\n", wrong, pixels);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "same") == 0) {
        return Same(argv[2], argv[3]);
    }
    if (argc == 5 && std::strcmp(argv[1], "nearest") == 0) {
        return Nearest(argv[2], argv[3], argv[4]);
    }
    std::fprintf(stderr, "usage: orvel_bench_compare same A.rgb B.rgb\n"
                         "       orvel_bench_compare nearest SOURCE.rgb PALETTE.rgb RESULT.rgb\n");
    return 2;
}
