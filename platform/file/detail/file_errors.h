// The last-error numbers the file layer sets next to the causes it reports.
#pragma once

#include "../../win/types.h"

namespace orvel::platform::detail {

/// The published last-error number that goes with a file-exception cause.
DWORD LastErrorForCause(int cause) noexcept;

} // namespace orvel::platform::detail
