// The resource service: modules, their bitmap resources, and the framework's list of modules
// that resource lookup searches.
#pragma once

#include "../export.h"
#include "../win/types.h"

/// The published resource type of bitmaps.
#define RT_BITMAP MAKEINTRESOURCEA(2)

/// Finds a resource of a module by name (or integer id) and type. Null with
/// ERROR_RESOURCE_TYPE_NOT_FOUND, ERROR_RESOURCE_NAME_NOT_FOUND or ERROR_MOD_NOT_FOUND.
ORVEL_PLATFORM_API HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) noexcept;
/// A handle to a found resource's data; null with ERROR_RESOURCE_DATA_NOT_FOUND for a bad handle.
ORVEL_PLATFORM_API HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) noexcept;
/// The first byte of a loaded resource's data; null for a bad handle.
ORVEL_PLATFORM_API LPVOID WINAPI LockResource(HGLOBAL resourceData) noexcept;
/// The size in bytes of a found resource; 0 for a bad handle.
ORVEL_PLATFORM_API DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) noexcept;

/// The module of the application (the executable).
ORVEL_PLATFORM_API HINSTANCE AfxGetInstanceHandle() noexcept;
/// The module the application's own resources come from (the executable unless changed).
ORVEL_PLATFORM_API HINSTANCE AfxGetResourceHandle() noexcept;
/// The module that holds a resource: the application's resource module when it has it, else the
/// first extension library in the framework's list that has it, else the application's resource
/// module.
ORVEL_PLATFORM_API HINSTANCE AfxFindResourceHandle(LPCSTR name, LPCSTR type) noexcept;
