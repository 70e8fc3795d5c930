#include "global_memory.h"

#include "../detail/handle_table.h"
#include "../detail/handle_tags.h"
#include "../detail/immortal.h"
#include "../detail/live_counters.h"
#include "../testing/allocation_limit.h"
#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "detail/huge_pages.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include <sys/mman.h>
#include <unistd.h>

// Under AddressSanitizer every block comes from the allocator, whose guard zones find a read or
// write just past a block's end; a block in a mapping of its own would have none.
#if defined(__SANITIZE_ADDRESS__)
#define ORVEL_BLOCKS_FROM_ALLOCATOR_ONLY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVEL_BLOCKS_FROM_ALLOCATOR_ONLY 1
#endif
#endif

namespace {

using orvel::platform::detail::HandleTable;
using orvel::platform::detail::HandleValue;
using orvel::platform::detail::Immortal;
using orvel::platform::detail::kGlobalMemoryTag;
using orvel::platform::detail::MakeHandle;
using orvel::testing::ShouldFail;

constexpr std::uint32_t kMaxLockCount = GMEM_LOCKCOUNT;

// Blocks of at least this size get a mapping of their own, aligned to whole huge pages and, where
// huge pages pay (detail/huge_pages.h), marked for transparent huge pages. A picture block of tens
// of megabytes then costs a few dozen page faults when first touched instead of thousands (each a
// trip into the kernel that costs more than zeroing its page), and goes back to the system at
// once when freed. The mapping may end up to one huge page longer than the block; what lies past
// the block is never touched, so never backed.
#if !defined(ORVEL_BLOCKS_FROM_ALLOCATOR_ONLY)
constexpr SIZE_T kHugePageBytes = SIZE_T{2} << 20;
constexpr SIZE_T kOwnMappingBytes = kHugePageBytes;

// A fresh zero-filled mapping of `bytes` bytes (a multiple of kHugePageBytes) that starts on a
// huge-page boundary, or null. Only the first `hugeBytes` (none, where huge pages do not pay) are
// made of huge pages: the block's last, partly used stretch stays in small pages, so that a block
// a few bytes longer than a multiple of the huge page does not hold a whole huge page of memory
// for those bytes.
BYTE* MapHugePages(SIZE_T bytes, SIZE_T hugeBytes) noexcept {
    // Reserve one huge page more than needed, then give back the ends that are not aligned.
    const SIZE_T reserved = bytes + kHugePageBytes;
    void* start =
        ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED) {
        return nullptr;
    }
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    const std::uintptr_t aligned = (address + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    const std::uintptr_t end = address + reserved;
    if (aligned != address) {
        ::munmap(start, aligned - address);
    }
    if (end != aligned + bytes) {
        ::munmap(reinterpret_cast<void*>(aligned + bytes), end - (aligned + bytes));
    }
    // Only advice: without transparent huge pages the mapping works with small pages.
    ::madvise(reinterpret_cast<void*>(aligned), hugeBytes, MADV_HUGEPAGE);
    if (hugeBytes != bytes) {
        ::madvise(reinterpret_cast<void*>(aligned + hugeBytes), bytes - hugeBytes, MADV_NOHUGEPAGE);
    }
    return reinterpret_cast<BYTE*>(aligned);
}
#endif

struct Block {
    BYTE* data = nullptr;
    SIZE_T size = 0;
    // The length of the block's own mapping, or 0 when the block came from the allocator.
    SIZE_T mappedBytes = 0;
    UINT flags = 0;
    // Locks may be taken and released from several threads at once; the count is the one piece
    // of a block that changes after it is made.
    std::atomic<std::uint32_t> lockCount{0};

    // Fresh pages arrive zeroed, from the allocator (calloc) or from the system (a mapping).
    bool Allocate(SIZE_T bytes) noexcept {
#if !defined(ORVEL_BLOCKS_FROM_ALLOCATOR_ONLY)
        if (bytes >= kOwnMappingBytes) {
            const SIZE_T mapped = (bytes + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
            const bool huge = orvel::platform::detail::HugePagesPay();
            data = MapHugePages(mapped, huge ? bytes & ~(kHugePageBytes - 1) : 0);
            mappedBytes = data != nullptr ? mapped : 0;
            return data != nullptr;
        }
#endif
        data = static_cast<BYTE*>(std::calloc(1, bytes));
        return data != nullptr;
    }

    ~Block() {
        if (mappedBytes != 0) {
            ::munmap(data, mappedBytes);
        } else {
            std::free(data);
        }
    }
};

using BlockTable = HandleTable<Block, kGlobalMemoryTag>;

// In static storage, zero until written: the table's pages cost memory only as it fills.
constinit Immortal<BlockTable> g_blocks;

BlockTable& Blocks() noexcept {
    return g_blocks.value;
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

// Outside an operation no picture's block stays locked: a lock left behind is a leak of its own,
// which the block count alone cannot show.
long LockedBlocks() noexcept {
    long locked = 0;
    Blocks().ForEach([&locked](std::uintptr_t, const Block& block) {
        locked += block.lockCount.load(std::memory_order_relaxed) != 0 ? 1 : 0;
    });
    return locked;
}

const bool g_lockedRegistered = orvel::platform::detail::RegisterLiveCounter(
    &orvel::testing::LiveCounts::lockedBlocks, LockedBlocks);

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
    if (bytes > 0 && !block->Allocate(bytes)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
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

namespace orvel::platform {

SIZE_T ReleaseBlockBytes(HGLOBAL handle, SIZE_T offset, SIZE_T bytes) noexcept {
    Block* block = FindBlock(handle);
    if (block == nullptr) {
        return 0;
    }
    if (offset > block->size || bytes > block->size - offset) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (block->mappedBytes == 0) {
        return 0;
    }
    // The mapping starts on a page boundary, so offsets within it round as addresses would.
    static const auto pageBytes = static_cast<SIZE_T>(::sysconf(_SC_PAGESIZE));
    const SIZE_T first = (offset + pageBytes - 1) / pageBytes * pageBytes;
    const SIZE_T last = (offset + bytes) / pageBytes * pageBytes;
    if (first >= last || ::madvise(block->data + first, last - first, MADV_DONTNEED) != 0) {
        return 0;
    }
    return last - first;
}

} // namespace orvel::platform
