// The platform's testing interface: a ceiling on the size of one global memory block.
//
// A process that feeds the library untrusted pictures (a fuzzer, a test of refusals) cannot
// afford blocks as large as the library accepts: a picture of kDibMaxPixelBytes converted to
// 32 bits per pixel and resized needs several gigabytes. With a ceiling set, GlobalAlloc refuses
// any larger block exactly as it refuses a block the system cannot make (null,
// ERROR_NOT_ENOUGH_MEMORY), so a large claim fails through the library's own failure paths. The
// library itself never calls anything in this header.
#pragma once

#include "../export.h"
#include "../win/types.h"

namespace orvel::testing {

/// Makes every later request for a global block of more than `bytes` bytes fail with
/// ERROR_NOT_ENOUGH_MEMORY. Blocks already made are not affected.
ORVEL_PLATFORM_API void SetGlobalAllocLimit(SIZE_T bytes) noexcept;
/// Removes the ceiling: blocks up to the service's own maximum can be made again.
ORVEL_PLATFORM_API void ClearGlobalAllocLimit() noexcept;
/// The largest block GlobalAlloc makes now: the ceiling, or the service's own maximum.
ORVEL_PLATFORM_API SIZE_T GlobalAllocLimit() noexcept;

/// Sets a ceiling for the lifetime of the object and puts the previous one back afterwards.
class ScopedGlobalAllocLimit {
public:
    explicit ScopedGlobalAllocLimit(SIZE_T bytes) noexcept : previous_(GlobalAllocLimit()) {
        SetGlobalAllocLimit(bytes);
    }
    ~ScopedGlobalAllocLimit() { SetGlobalAllocLimit(previous_); }
    ScopedGlobalAllocLimit(const ScopedGlobalAllocLimit&) = delete;
    ScopedGlobalAllocLimit& operator=(const ScopedGlobalAllocLimit&) = delete;

private:
    SIZE_T previous_;
};

} // namespace orvel::testing
