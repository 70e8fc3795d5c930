// The table of DrawDib instances behind HDRAWDIB.
#pragma once

#include "../../detail/handle_table.h"
#include "../../detail/handle_tags.h"
#include "../../win/types.h"

namespace orvel::platform::detail {

/// One DrawDib instance. Drawing keeps no state between calls; the instance exists so that a
/// handle can be validated and counted.
struct DrawDibInstance {
    unsigned drawCount = 0; ///< successful draws, for diagnostics
};

using DrawDibTable = HandleTable<DrawDibInstance, kDrawDibTag>;

DrawDibTable& DrawDibInstances() noexcept;

} // namespace orvel::platform::detail
