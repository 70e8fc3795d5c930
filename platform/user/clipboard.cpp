#include "clipboard.h"

#include "../gdi/gdi_object.h"
#include "../memory/global_memory.h"
#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "detail/clipboard_hooks.h"
#include "detail/windows.h"

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct ClipboardEntry {
    UINT format;
    HANDLE data; ///< null for a format announced without data
};

struct Clipboard {
    std::mutex mutex;
    bool open = false;
    HWND opener = nullptr;
    std::thread::id openerThread;
    HWND owner = nullptr;
    std::vector<ClipboardEntry> entries;
};

Clipboard& TheClipboard() noexcept {
    static Clipboard* clipboard = new Clipboard;
    return *clipboard;
}

// The marker SetClipboardData returns for a format announced without data: any non-null value
// tells the caller the call succeeded.
HANDLE AnnouncedMarker() noexcept {
    static int marker = 0;
    return &marker;
}

bool OpenedByCaller(const Clipboard& clipboard) noexcept {
    return clipboard.open && clipboard.openerThread == std::this_thread::get_id();
}

bool HandleFitsFormat(UINT format, HANDLE data) noexcept {
    switch (format) {
    case CF_PALETTE:
        return GetObjectType(data) == OBJ_PAL;
    case CF_BITMAP:
        return GetObjectType(data) == OBJ_BITMAP;
    default:
        return GlobalFlags(static_cast<HGLOBAL>(data)) != GMEM_INVALID_HANDLE;
    }
}

void Release(const ClipboardEntry& entry) noexcept {
    if (entry.data == nullptr) {
        return;
    }
    if (entry.format == CF_PALETTE || entry.format == CF_BITMAP) {
        DeleteObject(entry.data);
    } else {
        GlobalFree(static_cast<HGLOBAL>(entry.data));
    }
}

} // namespace

namespace orvel::platform::detail {

void ClipboardWindowDestroyed(HWND window) noexcept {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.mutex);
    if (clipboard.open && clipboard.opener == window) {
        clipboard.open = false;
        clipboard.opener = nullptr;
    }
    if (clipboard.owner == window) {
        clipboard.owner = nullptr;
    }
}

} // namespace orvel::platform::detail

BOOL WINAPI OpenClipboard(HWND window) noexcept {
    if (window != nullptr && orvel::platform::detail::FindWindowObject(window) == nullptr) {
        return FALSE;
    }
    if (orvel::testing::ShouldFail(orvel::testing::kFaultClipboard)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.mutex);
    if (clipboard.open) {
        if (clipboard.opener == window && OpenedByCaller(clipboard)) {
            return TRUE;
        }
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    clipboard.open = true;
    clipboard.opener = window;
    clipboard.openerThread = std::this_thread::get_id();
    return TRUE;
}

BOOL WINAPI CloseClipboard() noexcept {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.mutex);
    if (!OpenedByCaller(clipboard)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    clipboard.open = false;
    clipboard.opener = nullptr;
    return TRUE;
}

BOOL WINAPI EmptyClipboard() noexcept {
    Clipboard& clipboard = TheClipboard();
    std::vector<ClipboardEntry> released;
    {
        std::lock_guard<std::mutex> guard(clipboard.mutex);
        if (!OpenedByCaller(clipboard)) {
            SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
            return FALSE;
        }
        if (orvel::testing::ShouldFail(orvel::testing::kFaultClipboard)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        released.swap(clipboard.entries);
        clipboard.owner = clipboard.opener;
    }
    // Freed outside the lock: freeing reaches other services, which never call back in here.
    for (const ClipboardEntry& entry : released) {
        Release(entry);
    }
    return TRUE;
}

HANDLE WINAPI SetClipboardData(UINT format, HANDLE data) noexcept {
    Clipboard& clipboard = TheClipboard();
    ClipboardEntry replaced{format, nullptr};
    {
        std::lock_guard<std::mutex> guard(clipboard.mutex);
        if (!OpenedByCaller(clipboard)) {
            SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
            return nullptr;
        }
        if (data != nullptr && !HandleFitsFormat(format, data)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        if (orvel::testing::ShouldFail(orvel::testing::kFaultClipboard)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        auto existing =
            std::find_if(clipboard.entries.begin(), clipboard.entries.end(),
                         [format](const ClipboardEntry& e) { return e.format == format; });
        if (existing != clipboard.entries.end()) {
            // Setting the handle the clipboard already holds must not free it.
            if (existing->data != data) {
                replaced = *existing;
            }
            existing->data = data;
        } else {
            try {
                clipboard.entries.push_back({format, data});
            } catch (const std::bad_alloc&) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return nullptr;
            }
        }
    }
    Release(replaced);
    return data != nullptr ? data : AnnouncedMarker();
}

HANDLE WINAPI GetClipboardData(UINT format) noexcept {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.mutex);
    if (!OpenedByCaller(clipboard)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return nullptr;
    }
    if (orvel::testing::ShouldFail(orvel::testing::kFaultClipboard)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    for (const ClipboardEntry& entry : clipboard.entries) {
        if (entry.format == format && entry.data != nullptr) {
            return entry.data;
        }
    }
    SetLastError(ERROR_NOT_FOUND);
    return nullptr;
}

BOOL WINAPI IsClipboardFormatAvailable(UINT format) noexcept {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.mutex);
    return std::any_of(clipboard.entries.begin(), clipboard.entries.end(),
                       [format](const ClipboardEntry& e) { return e.format == format; })
               ? TRUE
               : FALSE;
}

int WINAPI CountClipboardFormats() noexcept {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.mutex);
    return static_cast<int>(clipboard.entries.size());
}

UINT WINAPI EnumClipboardFormats(UINT format) noexcept {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.mutex);
    if (!OpenedByCaller(clipboard)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return 0;
    }
    std::size_t next = 0;
    if (format != 0) {
        while (next < clipboard.entries.size() && clipboard.entries[next].format != format) {
            ++next;
        }
        ++next;
    }
    SetLastError(ERROR_SUCCESS);
    return next < clipboard.entries.size() ? clipboard.entries[next].format : 0;
}

HWND WINAPI GetClipboardOwner() noexcept {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.mutex);
    return clipboard.owner;
}

HWND WINAPI GetOpenClipboardWindow() noexcept {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard<std::mutex> guard(clipboard.mutex);
    return clipboard.open ? clipboard.opener : nullptr;
}
