// The desktop of a process without a display: the screen, windows and clipboard stay inside the
// process, exactly as the platform keeps them.
#pragma once

#include "display.h"

namespace orvel::platform::detail {

class HeadlessDesktop final : public Desktop {
public:
    bool IsReal() const noexcept override { return false; }
    ScreenInfo Screen() const noexcept override;
    bool OpenWindow(HWND, const char*, int, int, bool, const Surface&) noexcept override {
        return true;
    }
    void CloseWindow(HWND) noexcept override {}
    void SurfaceChanged(HWND, const Surface&, const RECT&) noexcept override {}
    POINT ClientOrigin(HWND) noexcept override { return POINT{0, 0}; }
    bool ReadScreen(Surface&, const RECT&) noexcept override { return true; }
    bool StoreColormap(UINT, UINT, const PALETTEENTRY*) noexcept override { return false; }
    bool LoadColormap(UINT, UINT, PALETTEENTRY*) noexcept override { return false; }
    void OfferClipboardPicture(std::vector<BYTE>&&) noexcept override {}
    void WithdrawClipboard() noexcept override {}
    bool ForeignPictureAvailable() noexcept override { return false; }
    HGLOBAL FetchForeignPicture() noexcept override;
};

/// The X11 desktop on the server DISPLAY names, or null when there is none or it refuses the
/// connection (platform/x11; always null in a build without libxcb).
Desktop* ConnectX11Desktop() noexcept;

} // namespace orvel::platform::detail
