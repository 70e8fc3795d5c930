#include "CDib.h"

#include "../foundation/CDibSupport.h"
#include "../platform/afx/object_allocator.h"
#include "../platform/afx/wnd.h"
#include "../platform/gdi/gdi_object.h"
#include "../platform/gdi/palette.h"
#include "../platform/memory/global_memory.h"
#include "../platform/user/clipboard.h"
#include "../platform/win/error.h"
#include "detail/installed_picture.h"
#include "detail/packed_dib.h"

#include <algorithm>
#include <cstring>

using orvel::dib::detail::InstalledPicture;

namespace {

// The window that opens the clipboard; without one the calling thread opens it alone.
HWND OpenerOf(CWnd* window) noexcept {
    return window != nullptr ? window->GetSafeHwnd() : nullptr;
}

// A direct-colour picture may carry colour entries (biClrUsed or biClrImportant) that only
// suggest a palette for display. Readers of CF_DIB do not expect a colour table before direct
// pixels, so such entries go on the clipboard as CF_PALETTE instead.
bool SuggestsPalette(const InstalledPicture& picture) noexcept {
    return picture.entryCount != 0 && picture.header.biBitCount > 8;
}

// The picture as a packed DIB in a new clipboard block, or null with the platform's last error.
// Suggested palette entries are left out and the header's counts cleared; such a block has one
// byte to spare after the pixels, left 0.
HGLOBAL MakeClipboardBlock(const BYTE* base, const InstalledPicture& picture) noexcept {
    const DWORD imageBytes = picture.geometry.pixelBytes;
    const bool dropsEntries = SuggestsPalette(picture);
    const SIZE_T blockBytes = dropsEntries ? SIZE_T{imageBytes} + sizeof(BITMAPINFOHEADER) + 1
                                           : SIZE_T{imageBytes} + sizeof(BITMAPINFOHEADER) +
                                                 SIZE_T{4} * picture.entryCount;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, blockBytes);
    if (block == nullptr) {
        return nullptr;
    }
    auto* packed = static_cast<BYTE*>(GlobalLock(block));
    if (packed == nullptr) {
        const DWORD lockError = ::GetLastError();
        GlobalFree(block);
        ::SetLastError(lockError);
        return nullptr;
    }
    if (dropsEntries) {
        BITMAPINFOHEADER header = picture.header;
        header.biClrUsed = 0;
        header.biClrImportant = 0;
        std::memcpy(packed, &header, sizeof header);
        std::memcpy(packed + sizeof header, base + picture.pixelOffset, imageBytes);
    } else {
        // Header, colour table and pixels lie back to back in the picture's block already.
        std::memcpy(packed, base + sizeof(BITMAPFILEHEADER), blockBytes);
    }
    GlobalUnlock(block);
    return block;
}

} // namespace

// Puts the picture on the clipboard as CF_DIB (and, for a direct-colour picture carrying colour
// entries, its logical palette as CF_PALETTE). The picture itself does not change.
//
// A block or palette made here belongs to the clipboard only once SetClipboardData accepts it;
// one that does not get there is freed before returning.
BOOL CDib::SetClipboard(CWnd* window) {
    if (IsFailed()) {
        return FALSE;
    }
    CDibInfo view(m_hDib);
    const BYTE* base = view.GetDIB();
    if (base == nullptr) {
        return SetSystemError();
    }
    const auto picture = orvel::dib::detail::ReadInstalledPicture(base, GlobalSize(m_hDib));
    if (!picture) {
        return SetClassError(1);
    }
    HGLOBAL block = MakeClipboardBlock(base, *picture);
    if (block == nullptr) {
        return SetSystemError();
    }
    if (!OpenClipboard(OpenerOf(window))) {
        GlobalFree(block);
        return SetClassError(10);
    }
    // Each failure closes the clipboard before the last error is read, then frees what did not
    // reach it.
    if (!EmptyClipboard() || SetClipboardData(CF_DIB, block) == nullptr) {
        CloseClipboard();
        SetSystemError();
        GlobalFree(block);
        return FALSE;
    }
    if (SuggestsPalette(*picture)) {
        const UINT entryCount = std::min<UINT>(
            static_cast<UINT>(m_pPalette != nullptr ? m_pPalette->GetEntryCount() : 0), 256);
        auto* logPalette = static_cast<LOGPALETTE*>(AfxAllocateBytes(LogPaletteBytes(entryCount)));
        if (logPalette == nullptr) {
            CloseClipboard();
            return SetClassError(3);
        }
        logPalette->palVersion = PALETTE_VERSION;
        logPalette->palNumEntries = static_cast<WORD>(
            entryCount != 0 ? m_pPalette->GetPaletteEntries(0, entryCount, logPalette->palPalEntry)
                            : 0);
        // A palette of its own: the clipboard deletes what it holds, and the object's logical
        // palette stays the object's.
        HPALETTE clipPalette = CreatePalette(logPalette);
        AfxFreeBytes(logPalette);
        if (clipPalette == nullptr || SetClipboardData(CF_PALETTE, clipPalette) == nullptr) {
            CloseClipboard();
            SetSystemError();
            if (clipPalette != nullptr) {
                DeleteObject(clipPalette);
            }
            return FALSE;
        }
    }
    CloseClipboard();
    return SetNoError();
}

// Replaces the picture by a copy of the clipboard's CF_DIB. The clipboard's block is only read,
// and only within its size: its headers, colour table and pixels must fit it. A packed DIB that
// stores fewer colours than its depth allows (biClrUsed) is read with that short table, and
// BI_BITFIELDS pixels are repacked (or refused) by the normalisation step like those of any
// other source. A block whose header is not a 40-byte one, or that does not hold what its header
// says, is refused with class error 1.
BOOL CDib::GetClipboard(CWnd* window) {
    if (!IsClipboardFormatAvailable(CF_DIB)) {
        return SetClassError(8);
    }
    if (!OpenClipboard(OpenerOf(window))) {
        return SetClassError(10);
    }
    auto clipBlock = static_cast<HGLOBAL>(GetClipboardData(CF_DIB));
    if (clipBlock == nullptr) {
        CloseClipboard();
        return SetSystemError();
    }
    const auto* packed = static_cast<const BYTE*>(GlobalLock(clipBlock));
    DestroyClass();
    BOOL result = FALSE;
    if (packed == nullptr) {
        result = SetProgError(14);
    } else if (const auto colourCount =
                   orvel::dib::detail::PackedDibColourCount(packed, GlobalSize(clipBlock));
               !colourCount) {
        result = SetClassError(1);
    } else {
        // MakeDib only reads the header it is given; the clipboard's block stays untouched.
        auto* header =
            const_cast<BITMAPINFOHEADER*>(reinterpret_cast<const BITMAPINFOHEADER*>(packed));
        HGLOBAL block = MakeDib(header, nullptr, nullptr, *colourCount);
        result = block != nullptr ? InitDib(block) : FALSE;
    }
    if (packed != nullptr) {
        GlobalUnlock(clipBlock);
    }
    CloseClipboard();
    return result;
}

// The clipboard's palette, lent: it stays the clipboard's. Records nothing anywhere.
HPALETTE CDib::GetClipPalette(CWnd* window) {
    if (!IsClipboardFormatAvailable(CF_PALETTE)) {
        return nullptr;
    }
    if (!OpenClipboard(OpenerOf(window))) {
        return nullptr;
    }
    auto palette = static_cast<HPALETTE>(GetClipboardData(CF_PALETTE));
    CloseClipboard();
    return palette;
}
