/// @file
/// The basic Windows types, handle types and value macros, under their published names.
///
/// Widths follow the published 32-bit model where a value's width is part of a format (DWORD,
/// LONG, COLORREF are 32 bits), and this 64-bit platform's pointer width where a value carries an
/// address or a handle (LPARAM, LRESULT, DWORD_PTR, every handle).
#pragma once

#include <cstddef>
#include <cstdint>

/// The 32-bit boolean: TRUE (1) or FALSE (0); any non-zero value counts as true.
using BOOL = int;
/// An unsigned 8-bit value.
using BYTE = std::uint8_t;
/// An unsigned 16-bit value.
using WORD = std::uint16_t;
/// An unsigned 32-bit value.
using DWORD = std::uint32_t;
/// A signed 32-bit value.
using LONG = std::int32_t;
/// An unsigned 32-bit value.
using ULONG = std::uint32_t;
/// An unsigned int (32 bits).
using UINT = unsigned int;
/// An int (32 bits).
using INT = int;
/// A signed 16-bit value.
using SHORT = std::int16_t;
/// An unsigned 16-bit value.
using USHORT = std::uint16_t;
/// A narrow character.
using CHAR = char;
/// The published wide character is 16 bits (UTF-16 code units), whatever the width of wchar_t.
using WCHAR = char16_t;
/// A signed 64-bit value.
using LONGLONG = std::int64_t;
/// A signed integer of pointer width (64 bits here).
using INT_PTR = std::intptr_t;
/// An unsigned integer of pointer width.
using UINT_PTR = std::uintptr_t;
/// A signed integer of pointer width.
using LONG_PTR = std::intptr_t;
/// An unsigned integer of pointer width.
using ULONG_PTR = std::uintptr_t;
/// An unsigned integer of pointer width, for values that may carry an address.
using DWORD_PTR = std::uintptr_t;
/// A count of bytes, pointer width.
using SIZE_T = std::size_t;
/// A message's first argument, pointer width.
using WPARAM = UINT_PTR;
/// A message's second argument, pointer width.
using LPARAM = LONG_PTR;
/// A message's result, pointer width.
using LRESULT = LONG_PTR;
/// A colour as 0x00BBGGRR; see RGB().
using COLORREF = DWORD;
/// A four-character code (the first character in the low byte); see mmioFOURCC().
using FOURCC = DWORD;
/// An atom: a 16-bit number standing for a registered string.
using ATOM = WORD;

/// Pointer to anything.
using LPVOID = void*;
/// Pointer to anything, only read.
using LPCVOID = const void*;
/// Pointer to narrow characters.
using LPSTR = char*;
/// Pointer to NUL-terminated narrow characters, only read.
using LPCSTR = const char*;
/// Pointer to bytes.
using LPBYTE = BYTE*;
/// Pointer to a DWORD.
using LPDWORD = DWORD*;
/// Pointer to a LONG.
using LPLONG = LONG*;

#ifndef TRUE
/// The value of a true BOOL.
#define TRUE 1
#endif
#ifndef FALSE
/// The value of a false BOOL.
#define FALSE 0
#endif

// Handles. HANDLE and HGDIOBJ are untyped, as published; every other handle is a distinct
// pointer type so that a palette cannot be passed where a device context is expected.
/// An untyped handle.
using HANDLE = void*;
/// A handle to any GDI object (palette, bitmap, device context).
using HGDIOBJ = void*;

// The argument is pasted into names, where parentheses cannot go.
// NOLINTBEGIN(bugprone-macro-parentheses)
/// Declares `name` as a handle type of its own, a pointer to an otherwise unused structure.
#define ORVEL_DECLARE_HANDLE(name)                                                                 \
    struct name##__ {                                                                              \
        int unused;                                                                                \
    };                                                                                             \
    using name = name##__*
// NOLINTEND(bugprone-macro-parentheses)

/// A handle to a global-memory block.
ORVEL_DECLARE_HANDLE(HGLOBAL);
/// A handle to a logical palette.
ORVEL_DECLARE_HANDLE(HPALETTE);
/// A handle to a device-dependent bitmap.
ORVEL_DECLARE_HANDLE(HBITMAP);
/// A handle to a device context.
ORVEL_DECLARE_HANDLE(HDC);
/// A handle to a window.
ORVEL_DECLARE_HANDLE(HWND);
/// A handle to a DrawDib instance.
ORVEL_DECLARE_HANDLE(HDRAWDIB);
/// A handle to an open video compressor.
ORVEL_DECLARE_HANDLE(HIC);
/// A handle to an installable driver (a compressor's).
ORVEL_DECLARE_HANDLE(HDRVR);
/// A handle to a loaded module (the executable or a shared library).
ORVEL_DECLARE_HANDLE(HINSTANCE);
/// A handle to a resource found in a module.
ORVEL_DECLARE_HANDLE(HRSRC);
/// A handle to a loaded module; the same as HINSTANCE.
using HMODULE = HINSTANCE;
/// A handle to a local-memory block; the same as HGLOBAL.
using HLOCAL = HGLOBAL;

// Value macros. They are functions rather than macros where a macro would evaluate its argument
// twice or leak a name into every translation unit.
/// The COLORREF of `red`, `green` and `blue`.
constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue) noexcept {
    return static_cast<COLORREF>(red) | (static_cast<COLORREF>(green) << 8) |
           (static_cast<COLORREF>(blue) << 16);
}
/// The red part of a COLORREF.
constexpr BYTE GetRValue(COLORREF rgb) noexcept {
    return static_cast<BYTE>(rgb);
}
/// The green part of a COLORREF.
constexpr BYTE GetGValue(COLORREF rgb) noexcept {
    return static_cast<BYTE>(rgb >> 8);
}
/// The blue part of a COLORREF.
constexpr BYTE GetBValue(COLORREF rgb) noexcept {
    return static_cast<BYTE>(rgb >> 16);
}

/// The low 16 bits of `value`.
constexpr WORD LOWORD(DWORD_PTR value) noexcept {
    return static_cast<WORD>(value & 0xFFFF);
}
/// Bits 16 to 31 of `value`.
constexpr WORD HIWORD(DWORD_PTR value) noexcept {
    return static_cast<WORD>((value >> 16) & 0xFFFF);
}

/// The four-character code of `c0` to `c3`, `c0` in the low byte.
constexpr FOURCC mmioFOURCC(char c0, char c1, char c2, char c3) noexcept {
    return static_cast<FOURCC>(static_cast<BYTE>(c0)) |
           (static_cast<FOURCC>(static_cast<BYTE>(c1)) << 8) |
           (static_cast<FOURCC>(static_cast<BYTE>(c2)) << 16) |
           (static_cast<FOURCC>(static_cast<BYTE>(c3)) << 24);
}

/// An integer resource name is carried in the low 16 bits of a name pointer.
inline LPSTR MAKEINTRESOURCEA(WORD id) noexcept {
    return reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(id));
}
/// The resource name that stands for the integer `id`.
#define MAKEINTRESOURCE(id) MAKEINTRESOURCEA(static_cast<WORD>(id))
/// Whether a resource name is an integer (its value below 65536) rather than a string.
inline bool IS_INTRESOURCE(LPCSTR name) noexcept {
    return (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0;
}
