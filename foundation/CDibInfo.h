/// @file
/// A view onto a DIB block: the block locked for the length of one operation.
#pragma once

#include "../library/export.h"
#include "../platform/win/bitmap_structs.h"
#include "../platform/win/types.h"

/// Reaches the bytes of a DIB block. A view locks its block when it is made (or loaded) and, when
/// it ends, unlocks the block completely: every lock on the block goes, including locks taken by
/// other views. So outside an operation no block is ever left locked, and an operation that holds
/// several views onto one block ends them together.
///
/// Copies share the handle and address without taking a lock of their own; each copy's end is
/// again a full unlock.
class ORVEL_EXT_CLASS CDibInfo {
public:
    /// A view with no block.
    CDibInfo() noexcept = default;
    /// Locks `block` (when not null) and views it.
    explicit CDibInfo(HGLOBAL block) noexcept;
    /// Views the same block at the same address, taking no lock of its own.
    CDibInfo(const CDibInfo& other) noexcept = default;
    /// Views the same block at the same address, taking no lock of its own; the previous view is
    /// not ended.
    CDibInfo& operator=(const CDibInfo& other) noexcept = default;
    /// Full unlock of the viewed block.
    ~CDibInfo();

    /// Ends the current view (full unlock) and views `block` instead. Returns the block's
    /// address as an integer, 0 when there is none (null block or failed lock).
    INT_PTR Load(HGLOBAL block) noexcept;

    /// The block's first byte; null without a block or when the lock failed. The accessors below
    /// are null in the same cases, so a pointer from them is never an offset from null.
    BYTE* GetDIB() const noexcept { return m_hDib != nullptr ? m_pDib : nullptr; }
    /// The information header with its colour table, 14 bytes into the block.
    BITMAPINFO* GetBI() const noexcept;
    /// The colour table, 54 bytes into the block.
    RGBQUAD* GetColors() const noexcept;
    /// The pixels, bfOffBits bytes into the block.
    BYTE* GetImage() const noexcept;

private:
    HGLOBAL m_hDib = nullptr;
    BYTE* m_pDib = nullptr;
};

/// Ends every lock on a block: GlobalUnlock as many times as its lock count.
ORVEL_EXT_CLASS void FullUnlock(HGLOBAL block) noexcept;
