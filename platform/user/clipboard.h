/// @file
/// The clipboard: one per process, shared by every window and thread.
///
/// A window (or, with a null window, the calling thread alone) opens the clipboard; while it is
/// open nobody else can open it. EmptyClipboard makes the opener the owner. Data placed with
/// SetClipboardData belongs to the clipboard from then on: a global memory block for most
/// formats, a palette for CF_PALETTE, a bitmap for CF_BITMAP. The clipboard frees what it holds
/// when it is emptied or when a format is replaced; data still on it when the process ends is the
/// clipboard's, not a leak of the application. No format is synthesised from another.
#pragma once

#include "../export.h"
#include "../win/types.h"

constexpr UINT CF_TEXT = 1;    ///< text
constexpr UINT CF_BITMAP = 2;  ///< a device-dependent bitmap handle
constexpr UINT CF_DIB = 8;     ///< a packed DIB in a global-memory block
constexpr UINT CF_PALETTE = 9; ///< a logical palette handle

/// Opens the clipboard for `window` (may be null). Opening it again from the same window and
/// thread succeeds. FALSE with ERROR_ACCESS_DENIED while another window or thread has it open,
/// or ERROR_INVALID_WINDOW_HANDLE for a bad window.
ORVEL_PLATFORM_API BOOL WINAPI OpenClipboard(HWND window) noexcept;

/// Closes the clipboard. FALSE with ERROR_CLIPBOARD_NOT_OPEN when the caller has not opened it.
ORVEL_PLATFORM_API BOOL WINAPI CloseClipboard() noexcept;

/// Frees everything on the clipboard and makes the opener its owner. FALSE with
/// ERROR_CLIPBOARD_NOT_OPEN when the caller has not opened it.
ORVEL_PLATFORM_API BOOL WINAPI EmptyClipboard() noexcept;

/// Puts data on the clipboard, which takes it over and frees any data it replaces. A null
/// `data` announces the format without data. Returns `data` (or, for null data, a non-null
/// marker); null on failure, leaving `data` with the caller: ERROR_CLIPBOARD_NOT_OPEN,
/// ERROR_INVALID_HANDLE when the handle is not of the format's kind, or ERROR_NOT_ENOUGH_MEMORY.
ORVEL_PLATFORM_API HANDLE WINAPI SetClipboardData(UINT format, HANDLE data) noexcept;

/// Lends the data of a format; it stays the clipboard's. Null with ERROR_CLIPBOARD_NOT_OPEN, or
/// ERROR_NOT_FOUND when the format is absent or was announced without data.
ORVEL_PLATFORM_API HANDLE WINAPI GetClipboardData(UINT format) noexcept;

/// Whether a format is on the clipboard; the clipboard need not be open.
ORVEL_PLATFORM_API BOOL WINAPI IsClipboardFormatAvailable(UINT format) noexcept;

/// The number of formats on the clipboard.
ORVEL_PLATFORM_API int WINAPI CountClipboardFormats() noexcept;

/// The format after `format` in the order they were placed (the first for 0); 0 at the end with
/// ERROR_SUCCESS, or 0 with ERROR_CLIPBOARD_NOT_OPEN when the caller has not opened it.
ORVEL_PLATFORM_API UINT WINAPI EnumClipboardFormats(UINT format) noexcept;

/// The clipboard's owner (null when none or when its opener had no window).
ORVEL_PLATFORM_API HWND WINAPI GetClipboardOwner() noexcept;

/// The window that has the clipboard open (null when closed or opened without a window).
ORVEL_PLATFORM_API HWND WINAPI GetOpenClipboardWindow() noexcept;
