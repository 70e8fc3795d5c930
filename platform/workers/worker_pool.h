// The process's worker threads: row work of large pictures split across every core.
//
// One pool serves the whole process. It is made at the first piece of work large enough to share
// (a process of small pictures starts no thread) and holds one thread fewer than the cores the
// process may run on, for the caller works too. Work is a count of items (rows, as a rule) cut into
// contiguous slices; a slice runs on one thread, and the call returns once every slice is done, so
// the caller sees the finished result exactly as if it had run every slice itself.
//
// Sharing only pays above a size: work below it runs on the calling thread, as does work asked
// for while the pool is busy with another caller's (two callers never wait for each other) and
// work asked for from inside a slice.
//
// Environment:
// - ORVEL_THREADS caps the threads that share a piece of work, the caller included (1: every
//   piece of work runs on its caller's thread). Read once, when the pool is made.
// - ORVEL_PARALLEL_BYTES replaces the size from which work is shared (bytes read plus written).
//   For tests that make small pictures take the shared path; read once as well.
//
// A child process made by fork has no workers (threads are not copied); its first large piece of
// work makes a pool of its own.
#pragma once

#include "../export.h"

#include <cstddef>
#include <type_traits>

namespace orvel::platform {

/// Runs slice(context, begin, end) for contiguous slices that together cover [0, count) once.
using SliceFunction = void (*)(void* context, std::size_t begin, std::size_t end) noexcept;

/// Splits [0, count) among the worker threads and the calling one when `bytesOfWork` (bytes read
/// plus bytes written, roughly) is large enough to pay for them, and runs it all on the calling
/// thread otherwise. Returns when every slice has run. Slices may run at the same time, so they
/// must write disjoint memory.
ORVEL_PLATFORM_API void RunSlices(std::size_t count, std::size_t bytesOfWork, SliceFunction slice,
                                  void* context) noexcept;

/// The threads a piece of work may be shared among, the caller included (1 when there are no
/// workers). Makes the pool if it is not made yet.
ORVEL_PLATFORM_API unsigned SharingThreads() noexcept;

/// The size, in bytes of work, from which RunSlices shares work. Does not make the pool.
ORVEL_PLATFORM_API std::size_t SharingThreshold() noexcept;

/// RunSlices for any callable taking (begin, end). The callable must not throw.
template <class Slice>
void ForEachSlice(std::size_t count, std::size_t bytesOfWork, Slice&& slice) noexcept {
    RunSlices(
        count, bytesOfWork,
        [](void* context, std::size_t begin, std::size_t end) noexcept {
            (*static_cast<std::remove_reference_t<Slice>*>(context))(begin, end);
        },
        const_cast<void*>(static_cast<const void*>(&slice)));
}

} // namespace orvel::platform
