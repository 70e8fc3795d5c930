// Runs independent jobs on several threads.
#pragma once

#include <cstddef>
#include <functional>

namespace orvel::cli {

/// The number of worker threads a batch uses by default: one per core the machine reports.
unsigned DefaultWorkerCount();

/// Runs `job(0)` to `job(count - 1)` on at most `workers` threads (at least one), each index
/// exactly once, and returns how many jobs returned false. Jobs must not throw: each reports its
/// own failure. The library's objects are independent of each other, so every job owns its own
/// pictures and nothing is shared between them.
std::size_t RunBatch(std::size_t count, unsigned workers,
                     const std::function<bool(std::size_t)>& job);

} // namespace orvel::cli
