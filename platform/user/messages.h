/// @file
/// Messages: what the desktop tells the process about its windows.
///
/// The platform sends no messages of its own and has no window procedures: a key pressed in a
/// window shown on the desktop, or the desktop's close button, is posted to one queue of the
/// process, where PeekMessageA finds it. A headless process never receives any.
#pragma once

#include "../afx/geometry.h"
#include "../export.h"
#include "../win/types.h"

constexpr UINT WM_CLOSE = 0x0010;   ///< the window manager's close button was pressed on a window
constexpr UINT WM_KEYDOWN = 0x0100; ///< a key was pressed; wParam holds its virtual-key code

constexpr UINT PM_NOREMOVE = 0x0000; ///< PeekMessageA: copy the message and leave it queued
constexpr UINT PM_REMOVE = 0x0001;   ///< PeekMessageA: take the message off the queue

constexpr UINT VK_RETURN = 0x0D; ///< virtual-key code of Return (Enter)
constexpr UINT VK_ESCAPE = 0x1B; ///< virtual-key code of Escape
constexpr UINT VK_SPACE = 0x20;  ///< virtual-key code of the space bar

/// A posted message. For WM_KEYDOWN, wParam is the key's virtual-key code (0 for a key without
/// one).
struct MSG {
    HWND hwnd;     ///< the window the message is for
    UINT message;  ///< the message number: WM_CLOSE or WM_KEYDOWN
    WPARAM wParam; ///< the message's first argument
    LPARAM lParam; ///< the message's second argument; 0 for the messages posted here
    DWORD time;    ///< milliseconds of a monotonic clock when the message was posted
    POINT pt;      ///< the cursor position; (0, 0) for the messages posted here
};
/// Pointer to a MSG.
using LPMSG = MSG*;

/// Takes (PM_REMOVE) or copies (PM_NOREMOVE) the oldest posted message for `window` (any window
/// when null) whose number lies in first..last (any when both are 0). FALSE when there is none.
ORVEL_PLATFORM_API BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT first, UINT last,
                                            UINT remove) noexcept;
