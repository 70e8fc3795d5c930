#include "detail/drawdib_instances.h"

#include "../detail/immortal.h"
#include "../detail/live_counters.h"
#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "drawdib.h"

namespace orvel::platform::detail {
namespace {
const bool g_registered = RegisterLiveCounter(&orvel::testing::LiveCounts::drawDibs, []() noexcept {
    return DrawDibInstances().LiveCount();
});
} // namespace

// In static storage, zero until written: the table's pages cost memory only as it fills.
constinit Immortal<DrawDibTable> g_drawDibs;

DrawDibTable& DrawDibInstances() noexcept {
    return g_drawDibs.value;
}

} // namespace orvel::platform::detail

using namespace orvel::platform::detail;

HDRAWDIB VFWAPI DrawDibOpen() noexcept {
    if (orvel::testing::ShouldFail(orvel::testing::kFaultDrawDibOpen)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto instance = std::unique_ptr<DrawDibInstance>(new (std::nothrow) DrawDibInstance);
    const std::uintptr_t handle = instance ? DrawDibInstances().Insert(std::move(instance)) : 0;
    if (handle == 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return MakeHandle<HDRAWDIB>(handle);
}

BOOL VFWAPI DrawDibClose(HDRAWDIB drawDib) noexcept {
    if (!DrawDibInstances().Remove(HandleValue(drawDib))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
