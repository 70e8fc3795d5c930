/// @file
/// Functions common to every GDI object: GetObject, DeleteObject, GetObjectType.
#pragma once

#include "../export.h"
#include "../win/types.h"

constexpr DWORD OBJ_PAL = 5;    ///< GetObjectType: a logical palette
constexpr DWORD OBJ_BITMAP = 7; ///< GetObjectType: a bitmap
constexpr DWORD OBJ_DC = 3;     ///< GetObjectType: a device context of a window or the screen
constexpr DWORD OBJ_MEMDC = 10; ///< GetObjectType: a memory device context

/// Copies an object's record into `buffer`: for a palette its entry count as a WORD, for a bitmap
/// its BITMAP record. Returns the bytes written, or with a null buffer the bytes needed; 0 with
/// ERROR_INVALID_HANDLE for a bad handle, or ERROR_INSUFFICIENT_BUFFER when `bytes` is too small
/// for even the first field.
ORVEL_PLATFORM_API int WINAPI GetObjectA(HGDIOBJ object, int bytes, LPVOID buffer) noexcept;

/// Destroys a palette or bitmap. FALSE with ERROR_INVALID_HANDLE for a bad handle.
ORVEL_PLATFORM_API BOOL WINAPI DeleteObject(HGDIOBJ object) noexcept;

/// OBJ_PAL, OBJ_BITMAP, OBJ_DC or OBJ_MEMDC; 0 for a bad handle.
ORVEL_PLATFORM_API DWORD WINAPI GetObjectType(HGDIOBJ object) noexcept;
