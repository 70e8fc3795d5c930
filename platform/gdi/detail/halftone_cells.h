// The nearest-colour cells of the halftone palette, computed by the build (gdi/generator) with the
// same builder a busy palette runs, and compiled into the platform: the palette most conversions
// map onto answers with its cells from the first query, without the milliseconds of building
// them in every process.
#pragma once

#include "nearest_colour_cells.h"

namespace orvel::platform::detail {

/// The cells of kHalftoneEntries (halftone_palette.h).
CellCandidates HalftoneCellCandidates();

} // namespace orvel::platform::detail
