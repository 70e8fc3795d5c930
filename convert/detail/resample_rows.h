// The pixel loops of nearest-neighbour resampling: each source column written as many times as
// its repeat count says, each source row likewise.
//
// The loops use running pointers and counters only. A repeated target row is written once from
// its source row and then copied whole, padding included, so vertical enlargement costs one block
// copy per extra row.
#pragma once

#include "../../platform/win/types.h"
#include "row_walk.h"

namespace orvel::convert::detail {

/// Writes the work block's rows from the picture's: source row y appears rowCounts[y] times,
/// source column x columnCounts[x] times in each of them, pixels of `bitCount` bits copied as
/// stored. The counts must not add up to more than the work block's width and height. Depths
/// other than 1, 4, 8, 16, 24 and 32 write nothing.
void ResampleRows(const RowPair& rows, const int* columnCounts, const int* rowCounts,
                  WORD bitCount) noexcept;

} // namespace orvel::convert::detail
