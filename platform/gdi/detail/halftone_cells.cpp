#include "halftone_cells.h"

#include <iterator>

namespace orvel::platform::detail {
namespace {
// kHalftoneCellWords, kHalftoneOverflowStart and kHalftoneOverflowIndexes, written by the
// generator in the build tree.
#include "halftone_cells.inc"
} // namespace

CellCandidates HalftoneCellCandidates() {
    static_assert(std::size(kHalftoneCellWords) == kCellCount);
    CellCandidates cells;
    cells.words.assign(std::begin(kHalftoneCellWords), std::end(kHalftoneCellWords));
    cells.overflowStart.assign(std::begin(kHalftoneOverflowStart),
                               std::end(kHalftoneOverflowStart));
    cells.overflowIndexes.assign(std::begin(kHalftoneOverflowIndexes),
                                 std::end(kHalftoneOverflowIndexes));
    return cells;
}

} // namespace orvel::platform::detail
