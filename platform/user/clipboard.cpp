#include "clipboard.h"

#include "../display/display.h"
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
    HANDLE data;          ///< null for a format announced without data
    bool foreign = false; ///< another program's picture, fetched for the opener until it closes
};

struct Clipboard {
    std::mutex mutex;
    bool open = false;
    HWND opener = nullptr;
    std::thread::id openerThread;
    HWND owner = nullptr;
    std::vector<ClipboardEntry> entries;
    /// Another program took the desktop's clipboard while this one was open: the opener may be
    /// reading a block, so the process's data goes when it closes.
    bool lostWhileOpen = false;
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

// On a real desktop the picture placed as CF_DIB is offered to other programs, from a copy: the
// block stays the clipboard's, to be freed whenever the clipboard is emptied, while a request
// from another program may come at any time.
void OfferOnDesktop(HANDLE data) noexcept {
    using orvel::platform::detail::TheDesktop;
    if (data == nullptr || !TheDesktop().IsReal()) {
        return;
    }
    const auto block = static_cast<HGLOBAL>(data);
    const auto* bytes = static_cast<const BYTE*>(GlobalLock(block));
    if (bytes == nullptr) {
        return;
    }
    std::vector<BYTE> copy;
    try {
        copy.assign(bytes, bytes + GlobalSize(block));
    } catch (const std::bad_alloc&) {
        GlobalUnlock(block);
        return; // other programs do not see it; this process still does
    }
    GlobalUnlock(block);
    TheDesktop().OfferClipboardPicture(std::move(copy));
}

// Takes the entries that are (foreign) or are not another program's picture out of the list.
std::vector<ClipboardEntry> TakeEntries(Clipboard& clipboard, bool foreign) {
    std::vector<ClipboardEntry> taken;
    for (const ClipboardEntry& entry : clipboard.entries) {
        if (entry.foreign == foreign) {
            taken.push_back(entry);
        }
    }
    std::erase_if(clipboard.entries,
                  [foreign](const ClipboardEntry& entry) { return entry.foreign == foreign; });
    return taken;
}

std::vector<ClipboardEntry> TakeForeign(Clipboard& clipboard) {
    return TakeEntries(clipboard, true);
}

// The process's own data, which goes when another program takes the desktop's clipboard.
std::vector<ClipboardEntry> TakeOwn(Clipboard& clipboard) {
    return TakeEntries(clipboard, false);
}

} // namespace

namespace orvel::platform::detail {

void DesktopClipboardLost() noexcept {
    Clipboard& clipboard = TheClipboard();
    std::vector<ClipboardEntry> released;
    {
        std::lock_guard<std::mutex> guard(clipboard.mutex);
        clipboard.owner = nullptr;
        if (clipboard.open) {
            clipboard.lostWhileOpen = true;
            return;
        }
        try {
            released = TakeOwn(clipboard);
        } catch (const std::bad_alloc&) {
            return; // kept until the clipboard is emptied
        }
    }
    for (const ClipboardEntry& entry : released) {
        Release(entry);
    }
}

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
    std::vector<ClipboardEntry> foreign;
    {
        std::lock_guard<std::mutex> guard(clipboard.mutex);
        if (!OpenedByCaller(clipboard)) {
            SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
            return FALSE;
        }
        clipboard.open = false;
        clipboard.opener = nullptr;
        // Another program's picture was lent for this opening only: the next one fetches what
        // the desktop's clipboard holds then.
        try {
            foreign = TakeForeign(clipboard);
            if (clipboard.lostWhileOpen) {
                std::vector<ClipboardEntry> own = TakeOwn(clipboard);
                foreign.insert(foreign.end(), own.begin(), own.end());
                clipboard.lostWhileOpen = false;
            }
        } catch (const std::bad_alloc&) {
            // kept until the clipboard is emptied
        }
    }
    for (const ClipboardEntry& entry : foreign) {
        Release(entry);
    }
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
        clipboard.lostWhileOpen = false;
    }
    // Freed outside the lock: freeing reaches other services, which never call back in here.
    for (const ClipboardEntry& entry : released) {
        Release(entry);
    }
    orvel::platform::detail::TheDesktop().WithdrawClipboard();
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
    if (format == CF_DIB) {
        OfferOnDesktop(data);
    }
    return data != nullptr ? data : AnnouncedMarker();
}

HANDLE WINAPI GetClipboardData(UINT format) noexcept {
    Clipboard& clipboard = TheClipboard();
    {
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
        if (format != CF_DIB || !orvel::platform::detail::TheDesktop().IsReal()) {
            SetLastError(ERROR_NOT_FOUND);
            return nullptr;
        }
    }
    // Another program's picture, fetched without the lock: the owner may take seconds to answer.
    HGLOBAL fetched = orvel::platform::detail::TheDesktop().FetchForeignPicture();
    if (fetched == nullptr) {
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(clipboard.mutex);
    if (!OpenedByCaller(clipboard)) {
        GlobalFree(fetched);
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return nullptr;
    }
    try {
        clipboard.entries.push_back({CF_DIB, fetched, true});
    } catch (const std::bad_alloc&) {
        GlobalFree(fetched);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return fetched;
}

BOOL WINAPI IsClipboardFormatAvailable(UINT format) noexcept {
    Clipboard& clipboard = TheClipboard();
    {
        std::lock_guard<std::mutex> guard(clipboard.mutex);
        if (std::any_of(clipboard.entries.begin(), clipboard.entries.end(),
                        [format](const ClipboardEntry& e) { return e.format == format; })) {
            return TRUE;
        }
    }
    // Only pictures cross between programs; CF_PALETTE and the rest stay in the process.
    orvel::platform::detail::Desktop& desktop = orvel::platform::detail::TheDesktop();
    return format == CF_DIB && desktop.IsReal() && desktop.ForeignPictureAvailable() ? TRUE : FALSE;
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
