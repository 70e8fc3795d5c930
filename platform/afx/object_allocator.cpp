#include "object_allocator.h"

#include "../detail/live_counters.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<long> g_liveObjects{0};

const bool g_registered = orvel::platform::detail::RegisterLiveCounter(
    &orvel::testing::LiveCounts::objects,
    []() noexcept { return g_liveObjects.load(std::memory_order_relaxed); });
} // namespace

namespace orvel::platform::detail {
void CountObjectAllocation(int delta) noexcept {
    g_liveObjects.fetch_add(delta, std::memory_order_relaxed);
}
} // namespace orvel::platform::detail

void* AfxAllocateBytes(SIZE_T bytes) noexcept {
    if (orvel::testing::ShouldFail(orvel::testing::kFaultObjectAlloc)) {
        return nullptr;
    }
    void* storage = std::malloc(bytes == 0 ? 1 : bytes);
    if (storage != nullptr) {
        orvel::platform::detail::CountObjectAllocation(+1);
    }
    return storage;
}

void AfxFreeBytes(void* storage) noexcept {
    if (storage != nullptr) {
        orvel::platform::detail::CountObjectAllocation(-1);
        std::free(storage);
    }
}
