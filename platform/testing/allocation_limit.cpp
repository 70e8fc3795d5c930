#include "allocation_limit.h"

#include "../memory/global_memory.h"

#include <atomic>

namespace orvel::testing {
namespace {

// Read by every GlobalAlloc; a relaxed load costs the untested program nothing it would notice.
std::atomic<SIZE_T> g_limit{kGlobalMemoryMaxBlockBytes};

} // namespace

void SetGlobalAllocLimit(SIZE_T bytes) noexcept {
    g_limit.store(bytes < kGlobalMemoryMaxBlockBytes ? bytes : kGlobalMemoryMaxBlockBytes,
                  std::memory_order_relaxed);
}

void ClearGlobalAllocLimit() noexcept {
    g_limit.store(kGlobalMemoryMaxBlockBytes, std::memory_order_relaxed);
}

SIZE_T GlobalAllocLimit() noexcept {
    return g_limit.load(std::memory_order_relaxed);
}

} // namespace orvel::testing
