// Writes the halftone palette's nearest-colour cells as C++ arrays, for the platform to compile
// in (gdi/detail/halftone_cells.cpp). Run by the build:
//
//   orvel_halftone_cells_generator OUTPUT.inc
#include "../detail/halftone_palette.h"
#include "../detail/nearest_colour_cells.h"

#include <cstdio>
#include <vector>

namespace {

using orvel::platform::detail::BuildCellCandidates;
using orvel::platform::detail::CellCandidates;
using orvel::platform::detail::kHalftoneEntries;

template <class Value>
bool WriteArray(std::FILE* out, const char* type, const char* name,
                const std::vector<Value>& values) {
    if (std::fprintf(out, "constexpr %s %s[] = {", type, name) < 0) {
        return false;
    }
    // An array may not be empty: a list without entries still has its one terminating 0.
    const std::size_t count = values.empty() ? 1 : values.size();
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned long value = values.empty() ? 0UL : static_cast<unsigned long>(values[i]);
        if (std::fprintf(out, "%s0x%lx,", i % 8 == 0 ? "\n    " : " ", value) < 0) {
            return false;
        }
    }
    return std::fprintf(out, "\n};\n") >= 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvel_halftone_cells_generator OUTPUT.inc\n");
        return 2;
    }
    const CellCandidates cells =
        BuildCellCandidates(kHalftoneEntries.data(), static_cast<UINT>(kHalftoneEntries.size()));
    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written =
        std::fprintf(out, "// Written by orvel_halftone_cells_generator; do not edit.\n") >= 0 &&
        WriteArray(out, "std::uint32_t", "kHalftoneCellWords", cells.words) &&
        WriteArray(out, "std::uint32_t", "kHalftoneOverflowStart", cells.overflowStart) &&
        WriteArray(out, "std::uint8_t", "kHalftoneOverflowIndexes", cells.overflowIndexes);
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
