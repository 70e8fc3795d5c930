#include "share_modes.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

namespace orvel::platform::detail {
namespace {

struct Entry {
    dev_t device;
    ino_t inode;
    ShareClaim claim;
};

struct ShareTable {
    std::mutex mutex;
    std::vector<Entry> entries;
};

ShareTable& Table() noexcept {
    static ShareTable* table = new ShareTable;
    return *table;
}

// Two opens of one file get along when each lets the other do what it does.
bool Compatible(const ShareClaim& held, const ShareClaim& wanted) noexcept {
    if ((wanted.reads && !held.sharesRead) || (wanted.writes && !held.sharesWrite)) {
        return false;
    }
    return !((held.reads && !wanted.sharesRead) || (held.writes && !wanted.sharesWrite));
}

} // namespace

bool ClaimShare(dev_t device, ino_t inode, const ShareClaim& claim) noexcept {
    ShareTable& table = Table();
    std::lock_guard<std::mutex> guard(table.mutex);
    for (const Entry& entry : table.entries) {
        if (entry.device == device && entry.inode == inode && !Compatible(entry.claim, claim)) {
            return false;
        }
    }
    try {
        table.entries.push_back({device, inode, claim});
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void ReleaseShare(const void* owner) noexcept {
    ShareTable& table = Table();
    std::lock_guard<std::mutex> guard(table.mutex);
    std::erase_if(table.entries,
                  [owner](const Entry& entry) { return entry.claim.owner == owner; });
}

} // namespace orvel::platform::detail
