#include "fault_injection.h"

#include "../detail/live_counters.h"

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <utility>

namespace orvel::testing {
namespace {

// The armed state. Sites are read first on every call, so an unarmed platform pays one relaxed
// load per site check.
std::atomic<std::uint32_t> g_armedSites{0};
std::atomic<long> g_failAt{0};
std::atomic<bool> g_persistent{false};
std::atomic<long> g_calls{0};
std::atomic<bool> g_fired{false};
std::atomic<std::uint32_t> g_firstFailedSite{0};

struct CounterRegistry {
    std::mutex mutex;
    std::array<std::pair<long LiveCounts::*, platform::detail::LiveCounter>, 16> entries{};
    std::size_t size = 0;
};

CounterRegistry& Registry() noexcept {
    static CounterRegistry* registry = new CounterRegistry;
    return *registry;
}

} // namespace

void InjectFault(std::uint32_t sites, long nth, bool persistent) noexcept {
    g_armedSites.store(0, std::memory_order_relaxed);
    g_calls.store(0, std::memory_order_relaxed);
    g_fired.store(false, std::memory_order_relaxed);
    g_firstFailedSite.store(0, std::memory_order_relaxed);
    g_failAt.store(nth, std::memory_order_relaxed);
    g_persistent.store(persistent, std::memory_order_relaxed);
    g_armedSites.store(sites, std::memory_order_release);
}

void ClearFault() noexcept {
    g_armedSites.store(0, std::memory_order_release);
    g_calls.store(0, std::memory_order_relaxed);
    g_fired.store(false, std::memory_order_relaxed);
    g_firstFailedSite.store(0, std::memory_order_relaxed);
}

long FaultSiteCalls() noexcept {
    return g_calls.load(std::memory_order_relaxed);
}

bool FaultFired() noexcept {
    return g_fired.load(std::memory_order_relaxed);
}

std::uint32_t FirstFailedSite() noexcept {
    return g_firstFailedSite.load(std::memory_order_relaxed);
}

bool ShouldFail(FaultSite site) noexcept {
    if ((g_armedSites.load(std::memory_order_acquire) & site) == 0) {
        return false;
    }
    const long call = g_calls.fetch_add(1, std::memory_order_relaxed) + 1;
    const long failAt = g_failAt.load(std::memory_order_relaxed);
    const bool fail =
        g_persistent.load(std::memory_order_relaxed) ? call >= failAt : call == failAt;
    if (fail) {
        g_fired.store(true, std::memory_order_relaxed);
        std::uint32_t none = 0;
        g_firstFailedSite.compare_exchange_strong(none, site, std::memory_order_relaxed);
    }
    return fail;
}

LiveCounts GetLiveCounts() noexcept {
    LiveCounts counts;
    CounterRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    for (std::size_t i = 0; i < registry.size; ++i) {
        counts.*(registry.entries[i].first) = registry.entries[i].second();
    }
    return counts;
}

std::string LiveCountChanges(const LiveCounts& before, const LiveCounts& after) {
    std::string text;
    auto report = [&](const char* name, long was, long is) {
        if (was != is) {
            text += (text.empty() ? "" : "; ") + std::string(name) + " " + std::to_string(was) +
                    " -> " + std::to_string(is);
        }
    };
    report("global blocks", before.globalBlocks, after.globalBlocks);
    report("objects", before.objects, after.objects);
    report("GDI objects", before.gdiObjects, after.gdiObjects);
    report("device contexts", before.deviceContexts, after.deviceContexts);
    report("DrawDib instances", before.drawDibs, after.drawDibs);
    report("compressors", before.compressors, after.compressors);
    report("windows", before.windows, after.windows);
    report("open files", before.openFiles, after.openFiles);
    report("locked blocks", before.lockedBlocks, after.lockedBlocks);
    return text;
}

} // namespace orvel::testing

namespace orvel::platform::detail {

bool RegisterLiveCounter(long orvel::testing::LiveCounts::*field, LiveCounter counter) noexcept {
    auto& registry = orvel::testing::Registry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    if (registry.size < registry.entries.size()) {
        registry.entries[registry.size++] = {field, counter};
    }
    return true;
}

} // namespace orvel::platform::detail
