// Share modes between the files this process has open.
//
// POSIX has no share modes, so the file layer keeps its own record of every open file's access
// and sharing, keyed by the file's identity on disk (device and inode, so two paths to one file
// meet). An open that would read a file another open denies reading, or write one it denies
// writing, is refused, and so is an open that denies what another open already does.
#pragma once

#include <sys/types.h>

namespace orvel::platform::detail {

/// What one open file does and lets others do.
struct ShareClaim {
    const void* owner = nullptr; ///< the CFile that holds the claim
    bool reads = false;
    bool writes = false;
    bool sharesRead = false;  ///< others may read
    bool sharesWrite = false; ///< others may write
};

/// Records `claim` on the file (device, inode). False, with nothing recorded, when it conflicts
/// with a claim of another open file.
bool ClaimShare(dev_t device, ino_t inode, const ShareClaim& claim) noexcept;

/// Drops the claim of `owner`; nothing when it holds none.
void ReleaseShare(const void* owner) noexcept;

} // namespace orvel::platform::detail
