/// @file
/// The framework's object allocator: how the library makes its small objects (palette objects,
/// LOGPALETTE buffers, temporary headers).
///
/// Unlike a bare `new`, these report failure by a null result, so that the library can record an
/// out-of-memory condition in its status record instead of unwinding. Failures can be injected
/// (kFaultObjectAlloc) and live allocations are counted for leak checks.
#pragma once

#include "../export.h"
#include "../testing/fault_injection.h"
#include "../win/types.h"

#include <new>
#include <utility>

namespace orvel::platform::detail {
ORVEL_PLATFORM_API void CountObjectAllocation(int delta) noexcept;
} // namespace orvel::platform::detail

/// Allocates `bytes` bytes of uninitialised storage; null when none is available.
ORVEL_PLATFORM_API void* AfxAllocateBytes(SIZE_T bytes) noexcept;
/// Frees storage from AfxAllocateBytes; null is allowed.
ORVEL_PLATFORM_API void AfxFreeBytes(void* storage) noexcept;

/// Makes a T; null when the allocation fails. A constructor that throws is a programming error
/// here: the library's small objects do not throw.
template <class T, class... Args>
T* AfxNewObject(Args&&... args) noexcept {
    if (orvel::testing::ShouldFail(orvel::testing::kFaultObjectAlloc)) {
        return nullptr;
    }
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (object != nullptr) {
        orvel::platform::detail::CountObjectAllocation(+1);
    }
    return object;
}

/// Destroys an object made by AfxNewObject; null is allowed.
template <class T>
void AfxDeleteObject(T* object) noexcept {
    if (object != nullptr) {
        orvel::platform::detail::CountObjectAllocation(-1);
        delete object;
    }
}
