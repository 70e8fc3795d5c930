// Messages: what the desktop tells the process about its windows.
//
// The platform sends no messages of its own and has no window procedures: a key pressed in a
// window shown on the desktop, or the desktop's close button, is posted to one queue of the
// process, where PeekMessageA finds it. A headless process never receives any.
#pragma once

#include "../afx/geometry.h"
#include "../export.h"
#include "../win/types.h"

constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_KEYDOWN = 0x0100;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;

/// A posted message. For WM_KEYDOWN, wParam is the key's virtual-key code (0 for a key without
/// one).
struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

/// Takes (PM_REMOVE) or copies (PM_NOREMOVE) the oldest posted message for `window` (any window
/// when null) whose number lies in first..last (any when both are 0). FALSE when there is none.
ORVEL_PLATFORM_API BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT first, UINT last,
                                            UINT remove) noexcept;
