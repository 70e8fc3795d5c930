// The basic Windows types, handle types and value macros, under their published names.
//
// Widths follow the published 32-bit model where a value's width is part of a format (DWORD,
// LONG, COLORREF are 32 bits), and this 64-bit platform's pointer width where a value carries an
// address or a handle (LPARAM, LRESULT, DWORD_PTR, every handle).
#pragma once

#include <cstddef>
#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = unsigned int;
using INT = int;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using CHAR = char;
// The published wide character is 16 bits (UTF-16 code units), whatever the width of wchar_t.
using WCHAR = char16_t;
using LONGLONG = std::int64_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using SIZE_T = std::size_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using COLORREF = DWORD;
using FOURCC = DWORD;
using ATOM = WORD;

using LPVOID = void*;
using LPCVOID = const void*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using LPLONG = LONG*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Handles. HANDLE and HGDIOBJ are untyped, as published; every other handle is a distinct
// pointer type so that a palette cannot be passed where a device context is expected.
using HANDLE = void*;
using HGDIOBJ = void*;

// The argument is pasted into names, where parentheses cannot go.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define ORVEL_DECLARE_HANDLE(name)                                                                 \
    struct name##__ {                                                                              \
        int unused;                                                                                \
    };                                                                                             \
    using name = name##__*
// NOLINTEND(bugprone-macro-parentheses)

ORVEL_DECLARE_HANDLE(HGLOBAL);
ORVEL_DECLARE_HANDLE(HPALETTE);
ORVEL_DECLARE_HANDLE(HBITMAP);
ORVEL_DECLARE_HANDLE(HDC);
ORVEL_DECLARE_HANDLE(HWND);
ORVEL_DECLARE_HANDLE(HDRAWDIB);
ORVEL_DECLARE_HANDLE(HIC);
ORVEL_DECLARE_HANDLE(HDRVR);
ORVEL_DECLARE_HANDLE(HINSTANCE);
ORVEL_DECLARE_HANDLE(HRSRC);
using HMODULE = HINSTANCE;
using HLOCAL = HGLOBAL;

// Value macros. They are functions rather than macros where a macro would evaluate its argument
// twice or leak a name into every translation unit.
constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue) noexcept {
    return static_cast<COLORREF>(red) | (static_cast<COLORREF>(green) << 8) |
           (static_cast<COLORREF>(blue) << 16);
}
constexpr BYTE GetRValue(COLORREF rgb) noexcept {
    return static_cast<BYTE>(rgb);
}
constexpr BYTE GetGValue(COLORREF rgb) noexcept {
    return static_cast<BYTE>(rgb >> 8);
}
constexpr BYTE GetBValue(COLORREF rgb) noexcept {
    return static_cast<BYTE>(rgb >> 16);
}

constexpr WORD LOWORD(DWORD_PTR value) noexcept {
    return static_cast<WORD>(value & 0xFFFF);
}
constexpr WORD HIWORD(DWORD_PTR value) noexcept {
    return static_cast<WORD>((value >> 16) & 0xFFFF);
}

constexpr FOURCC mmioFOURCC(char c0, char c1, char c2, char c3) noexcept {
    return static_cast<FOURCC>(static_cast<BYTE>(c0)) |
           (static_cast<FOURCC>(static_cast<BYTE>(c1)) << 8) |
           (static_cast<FOURCC>(static_cast<BYTE>(c2)) << 16) |
           (static_cast<FOURCC>(static_cast<BYTE>(c3)) << 24);
}

// An integer resource name is carried in the low 16 bits of a name pointer.
inline LPSTR MAKEINTRESOURCEA(WORD id) noexcept {
    return reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(id));
}
#define MAKEINTRESOURCE(id) MAKEINTRESOURCEA(static_cast<WORD>(id))
inline bool IS_INTRESOURCE(LPCSTR name) noexcept {
    return (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0;
}
