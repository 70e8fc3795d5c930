// The desktop behind the platform's screen, windows and clipboard: either an X server or nothing.
//
// GDI and the user layer draw into surfaces of their own, as they always have; what reaches a
// real screen goes through this one interface. The headless desktop implements it by doing
// nothing (surfaces stay inside the process, the clipboard stays process-local), the X11 desktop
// (platform/x11) by showing windows on an X server and sharing the CLIPBOARD selection. Which one
// serves the process is decided at its first use:
// - ORVEL_HEADLESS set to anything but "" or "0" forces headless;
// - otherwise, when DISPLAY names a server that accepts the connection, X11 is used;
// - otherwise headless, exactly as a process without a display always was.
#pragma once

#include "../afx/geometry.h"
#include "../gdi/detail/surface.h"
#include "../win/palette_structs.h"
#include "../win/types.h"

#include <cstddef>
#include <vector>

namespace orvel::platform::detail {

/// What the screen is: its size, depth, and whether its pixels are indexes into a colormap that
/// the system palette is (an 8-bit PseudoColor screen).
struct ScreenInfo {
    int width = 0;
    int height = 0;
    int depth = 0;
    bool paletteDevice = false;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    /// Whether pictures reach a real screen.
    virtual bool IsReal() const noexcept = 0;
    virtual ScreenInfo Screen() const noexcept = 0;

    /// Makes the counterpart of a new top-level window whose client area is `client`, shown
    /// when `visible`. False with the last error set when the desktop refuses it; the headless
    /// desktop accepts every window.
    virtual bool OpenWindow(HWND window, const char* title, int x, int y, bool visible,
                            const Surface& client) noexcept = 0;
    /// Closes a window's counterpart; nothing for a window the desktop never showed.
    virtual void CloseWindow(HWND window) noexcept = 0;
    /// A rectangle of a window's client surface (or, for a null window, of the screen surface)
    /// has changed: it reaches the screen before this returns.
    virtual void SurfaceChanged(HWND window, const Surface& pixels, const RECT& area) noexcept = 0;
    /// Where a window's client area starts on the screen.
    virtual POINT ClientOrigin(HWND window) noexcept = 0;
    /// Reads a rectangle of what the screen shows into the screen surface (32-bit colours).
    /// False with the last error set when the server refuses; headless, the surface already is
    /// the screen.
    virtual bool ReadScreen(Surface& screen, const RECT& area) noexcept = 0;

    /// A palette device's colormap: stores entries that a foreground realisation changed, and
    /// reads back what the server holds. The headless desktop has no colormap (both false).
    virtual bool StoreColormap(UINT first, UINT count, const PALETTEENTRY* entries) noexcept = 0;
    virtual bool LoadColormap(UINT first, UINT count, PALETTEENTRY* entries) noexcept = 0;

    /// Offers a packed DIB (a CF_DIB block's bytes) to other programs, taking the desktop's
    /// clipboard. The headless desktop keeps the clipboard inside the process.
    virtual void OfferClipboardPicture(std::vector<BYTE>&& packedDib) noexcept = 0;
    /// Stops offering what this process put on the desktop's clipboard.
    virtual void WithdrawClipboard() noexcept = 0;
    /// Whether another program offers a picture on the desktop's clipboard.
    virtual bool ForeignPictureAvailable() noexcept = 0;
    /// Fetches another program's picture as a new CF_DIB block (GMEM_MOVEABLE, unlocked). Null
    /// with the last error set: ERROR_NOT_FOUND when nobody offers a picture, ERROR_TIMEOUT when
    /// the owner does not answer in time, ERROR_INVALID_DATA for bytes that are no picture.
    virtual HGLOBAL FetchForeignPicture() noexcept = 0;
};

/// The desktop serving this process, chosen at the first call.
Desktop& TheDesktop() noexcept;

/// How long a clipboard request waits for another program's answer.
long SelectionWaitMilliseconds() noexcept;

/// The window service's hooks for what the desktop reports from its own thread: a key press or
/// the window manager's close button on a window, and the loss of the clipboard to another
/// program.
void DesktopKeyPressed(HWND window, UINT virtualKey) noexcept;
void DesktopCloseRequested(HWND window) noexcept;
void DesktopClipboardLost() noexcept;

} // namespace orvel::platform::detail
