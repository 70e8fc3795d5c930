/// @file
/// The global memory service: movable, zero-filled blocks reached through handles.
///
/// A block is made by GlobalAlloc, reached by GlobalLock (which raises its lock count and returns
/// its address), released by GlobalUnlock, and destroyed by GlobalFree. Handles are validated on
/// every call: a null, stale or foreign handle fails with ERROR_INVALID_HANDLE and never reaches
/// freed memory.
///
/// Blocks are always zero-filled when made, whatever the flags: the library relies on the zero
/// fill of GMEM_ZEROINIT, and giving every block the same guarantee costs nothing for the large
/// blocks pictures use (fresh pages arrive zeroed).
#pragma once

#include "../export.h"
#include "../win/types.h"

/// @name GlobalAlloc flags
/// Every block is movable and reached through a handle, and every block is zero-filled, whatever
/// the flags; GMEM_DISCARDABLE is only kept and reported by GlobalFlags.
/// @{
constexpr UINT GMEM_FIXED = 0x0000;     ///< a fixed block (here a movable one like any other)
constexpr UINT GMEM_MOVEABLE = 0x0002;  ///< a movable block
constexpr UINT GMEM_NOCOMPACT = 0x0010; ///< accepted, no effect
constexpr UINT GMEM_NODISCARD = 0x0020; ///< accepted, no effect
constexpr UINT GMEM_ZEROINIT = 0x0040;  ///< zero-filled (every block is)
constexpr UINT GMEM_MODIFY = 0x0080;    ///< accepted, no effect
constexpr UINT GMEM_DISCARDABLE =
    0x0100; ///< kept and reported by GlobalFlags; blocks are never discarded
constexpr UINT GMEM_NOT_BANKED = 0x1000;             ///< accepted, no effect
constexpr UINT GMEM_SHARE = 0x2000;                  ///< accepted, no effect
constexpr UINT GMEM_DDESHARE = 0x2000;               ///< accepted, no effect
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT; ///< a movable, zero-filled block
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;    ///< a fixed, zero-filled block
/// @}

/// @name GlobalFlags results
/// @{
// GlobalFlags results.
constexpr UINT GMEM_LOCKCOUNT = 0x00FF;      ///< mask of the block's lock count (the low byte)
constexpr UINT GMEM_DISCARDED = 0x4000;      ///< the block has no memory (made with 0 bytes)
constexpr UINT GMEM_INVALID_HANDLE = 0x8000; ///< the handle is no live block
/// @}

/// The largest block GlobalAlloc makes: larger requests fail with ERROR_NOT_ENOUGH_MEMORY
/// before anything is reserved.
constexpr SIZE_T kGlobalMemoryMaxBlockBytes = SIZE_T{1} << 32;

/// Makes a zero-filled block of `bytes` bytes. Returns its handle, or null with
/// ERROR_NOT_ENOUGH_MEMORY (also for requests above kGlobalMemoryMaxBlockBytes, or above the
/// testing ceiling of platform/testing/allocation_limit.h when one is set) or
/// ERROR_INVALID_PARAMETER for unknown flags. A block of 0 bytes is valid but cannot be locked,
/// as a discarded block.
ORVEL_PLATFORM_API HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) noexcept;

/// Raises the block's lock count and returns the address of its first byte; null with
/// ERROR_INVALID_HANDLE for a bad handle or ERROR_DISCARDED for a block of 0 bytes. The lock
/// count saturates at 255.
ORVEL_PLATFORM_API LPVOID WINAPI GlobalLock(HGLOBAL block) noexcept;

/// Lowers the block's lock count. Returns non-zero while the block stays locked; 0 when the count
/// reaches 0 (last-error ERROR_SUCCESS), when the block was not locked (ERROR_NOT_LOCKED) or for a
/// bad handle (ERROR_INVALID_HANDLE).
ORVEL_PLATFORM_API BOOL WINAPI GlobalUnlock(HGLOBAL block) noexcept;

/// The block's lock count in the low byte (GMEM_LOCKCOUNT), with GMEM_DISCARDABLE and
/// GMEM_DISCARDED where they apply; GMEM_INVALID_HANDLE for a bad handle.
ORVEL_PLATFORM_API UINT WINAPI GlobalFlags(HGLOBAL block) noexcept;

/// The block's size in bytes; 0 with ERROR_INVALID_HANDLE for a bad handle.
ORVEL_PLATFORM_API SIZE_T WINAPI GlobalSize(HGLOBAL block) noexcept;

/// Destroys the block, locked or not. Returns null on success; the handle itself, with
/// ERROR_INVALID_HANDLE, when it is not a live block.
ORVEL_PLATFORM_API HGLOBAL WINAPI GlobalFree(HGLOBAL block) noexcept;

namespace orvel::platform {

/// Not a Windows service: gives the memory under bytes [offset, offset + bytes) of a block back to
/// the system, for a block whose bytes there will not be read again (a file's bytes once they are
/// decoded). Only the whole pages inside the range of a block with a mapping of its own (one of
/// 2 MiB or more) are given back; they read as zero afterwards, as in a fresh block, and every
/// other byte keeps its value. Returns the bytes given back: 0 for a block from the allocator, for
/// a range holding no whole page, and, with ERROR_INVALID_HANDLE or ERROR_INVALID_PARAMETER, for a
/// bad handle or a range past the block's end.
ORVEL_PLATFORM_API SIZE_T ReleaseBlockBytes(HGLOBAL block, SIZE_T offset, SIZE_T bytes) noexcept;

} // namespace orvel::platform
