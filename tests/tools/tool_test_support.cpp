#include "tool_test_support.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <sstream>

namespace orvel::test {

BmpFile ReadBmp(const Bytes& file) {
    BmpFile bmp;
    const bool readable = file.size() >= 54 && file[0] == 'B' && file[1] == 'M' &&
                          U32At(file, 14) == 40 && U32At(file, 30) == BI_RGB;
    const BITMAPINFOHEADER header = readable ? InfoHeaderOf(file) : BITMAPINFOHEADER{};
    if (!readable || header.biHeight <= 0 ||
        U32At(file, 10) + StrideOf(header.biWidth, header.biBitCount) * header.biHeight >
            file.size()) {
        ADD_FAILURE() << "not a bottom-up BI_RGB BMP file with a 40-byte header (" << file.size()
                      << " bytes)";
        return bmp;
    }
    bmp.width = header.biWidth;
    bmp.height = header.biHeight;
    bmp.bitCount = header.biBitCount;
    bmp.table = TableOf(file);
    for (std::int32_t y = 0; y < bmp.height; ++y) {
        for (std::int32_t x = 0; x < bmp.width; ++x) {
            bmp.colours.push_back(ColourAt(file, x, y));
        }
    }
    return bmp;
}

std::vector<COLORREF> SomeColours(std::size_t count, std::uint32_t seed) {
    std::vector<COLORREF> colours;
    std::uint32_t state = seed * 2654435761U + 1;
    for (std::size_t i = 0; i < count; ++i) {
        state = state * 1664525U + 1013904223U;
        colours.push_back(state >> 8 & 0xFFFFFF);
    }
    return colours;
}

std::vector<std::string> DirectoryNames(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream words(line);
    return {std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
}

} // namespace orvel::test
