// How a service reports its live objects to the testing interface without the testing interface
// knowing every service: each service registers a counter for its field at load time.
#pragma once

#include "../testing/fault_injection.h"

namespace orvel::platform::detail {

using LiveCounter = long (*)() noexcept;

/// Registers the function that counts one field of LiveCounts. Returns true so that a service
/// can register from the initialiser of a namespace-scope constant.
bool RegisterLiveCounter(long orvel::testing::LiveCounts::*field, LiveCounter counter) noexcept;

} // namespace orvel::platform::detail
