#include "global_memory.h"

#include "../detail/handle_table.h"
#include "../detail/handle_tags.h"
#include "../detail/live_counters.h"
#include "../testing/allocation_limit.h"
#include "../testing/fault_injection.h"
#include "../win/error.h"

#include <atomic>
#include <cstdlib>
#include <memory>

namespace {

using orvel::platform::detail::HandleTable;
using orvel::platform::detail::HandleValue;
using orvel::platform::detail::kGlobalMemoryTag;
using orvel::platform::detail::MakeHandle;
using orvel::testing::ShouldFail;

constexpr std::uint32_t kMaxLockCount = GMEM_LOCKCOUNT;

struct Block {
    BYTE* data = nullptr;
    SIZE_T size = 0;
    UINT flags = 0;
    // Locks may be taken and released from several threads at once; the count is the one piece
    // of a block that changes after it is made.
    std::atomic<std::uint32_t> lockCount{0};

    ~Block() { std::free(data); }
};

using BlockTable = HandleTable<Block, kGlobalMemoryTag>;

BlockTable& Blocks() noexcept {
    static BlockTable* table = new BlockTable;
    return *table;
}

Block* FindBlock(HGLOBAL handle) noexcept {
    Block* block = Blocks().Find(HandleValue(handle));
    if (block == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return block;
}

const bool g_registered = orvel::platform::detail::RegisterLiveCounter(
    &orvel::testing::LiveCounts::globalBlocks, []() noexcept { return Blocks().LiveCount(); });

} // namespace

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) noexcept {
    // The testing ceiling is never above kGlobalMemoryMaxBlockBytes, so one comparison serves both.
    if (bytes > orvel::testing::GlobalAllocLimit() ||
        ShouldFail(orvel::testing::kFaultGlobalAlloc)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto block = std::unique_ptr<Block>(new (std::nothrow) Block);
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (bytes > 0) {
        // calloc, not malloc and memset: large blocks then come straight from fresh zero pages.
        block->data = static_cast<BYTE*>(std::calloc(1, bytes));
        if (block->data == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
    }
    block->size = bytes;
    block->flags = flags;
    const std::uintptr_t handle = Blocks().Insert(std::move(block));
    if (handle == 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return MakeHandle<HGLOBAL>(handle);
}

LPVOID WINAPI GlobalLock(HGLOBAL handle) noexcept {
    Block* block = FindBlock(handle);
    if (block == nullptr) {
        return nullptr;
    }
    if (block->data == nullptr || ShouldFail(orvel::testing::kFaultGlobalLock)) {
        SetLastError(ERROR_DISCARDED);
        return nullptr;
    }
    std::uint32_t count = block->lockCount.load(std::memory_order_relaxed);
    while (count < kMaxLockCount &&
           !block->lockCount.compare_exchange_weak(count, count + 1, std::memory_order_acquire)) {
    }
    return block->data;
}

BOOL WINAPI GlobalUnlock(HGLOBAL handle) noexcept {
    Block* block = FindBlock(handle);
    if (block == nullptr) {
        return FALSE;
    }
    std::uint32_t count = block->lockCount.load(std::memory_order_relaxed);
    do {
        if (count == 0) {
            SetLastError(ERROR_NOT_LOCKED);
            return FALSE;
        }
    } while (!block->lockCount.compare_exchange_weak(count, count - 1, std::memory_order_release));
    if (count == 1) {
        SetLastError(ERROR_SUCCESS);
        return FALSE;
    }
    return TRUE;
}

UINT WINAPI GlobalFlags(HGLOBAL handle) noexcept {
    Block* block = FindBlock(handle);
    if (block == nullptr) {
        return GMEM_INVALID_HANDLE;
    }
    UINT flags = block->lockCount.load(std::memory_order_relaxed) & GMEM_LOCKCOUNT;
    if ((block->flags & GMEM_DISCARDABLE) != 0) {
        flags |= GMEM_DISCARDABLE;
    }
    if (block->data == nullptr) {
        flags |= GMEM_DISCARDED;
    }
    return flags;
}

SIZE_T WINAPI GlobalSize(HGLOBAL handle) noexcept {
    Block* block = FindBlock(handle);
    return block == nullptr ? 0 : block->size;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL handle) noexcept {
    if (!Blocks().Remove(HandleValue(handle))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return handle;
    }
    return nullptr;
}
