/// @file
/// The resource service: modules, their bitmap resources, and the framework's list of modules
/// that resource lookup searches.
///
/// Resources are compiled into a module (the executable or a shared library) at build time and
/// registered when the module is loaded (compiled_resources.h). Every call that takes a module
/// treats a null module as the executable, as the published platform does.
#pragma once

#include "../export.h"
#include "../win/types.h"

/// The published resource type of bitmaps.
#define RT_BITMAP MAKEINTRESOURCEA(2)
/// The published resource type of raw data.
#define RT_RCDATA MAKEINTRESOURCEA(10)

/// Finds a resource of a module by name and type; each is an integer (MAKEINTRESOURCE), a
/// string matched without regard to case, or "#123" for the integer 123. Null with
/// ERROR_MOD_NOT_FOUND when the module is no loaded object, ERROR_RESOURCE_DATA_NOT_FOUND when
/// it has no resources, ERROR_RESOURCE_TYPE_NOT_FOUND when none has the type,
/// ERROR_RESOURCE_NAME_NOT_FOUND when none of the type has the name; ERROR_NOT_ENOUGH_MEMORY when
/// the resources cannot be brought into memory (injected with kFaultResource).
ORVEL_PLATFORM_API HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) noexcept;
/// A handle to a found resource's data. Null with ERROR_RESOURCE_DATA_NOT_FOUND for a handle that
/// is not a found resource of that module (or whose module has been unloaded), and with
/// ERROR_NOT_ENOUGH_MEMORY when the data cannot be brought into memory (kFaultResource). The
/// handle needs no release.
ORVEL_PLATFORM_API HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) noexcept;
/// The first byte of a loaded resource's data: read-only memory of the module, valid while the
/// module stays loaded. Null with ERROR_INVALID_HANDLE for a handle that LoadResource did not
/// give, including a global memory block.
ORVEL_PLATFORM_API LPVOID WINAPI LockResource(HGLOBAL resourceData) noexcept;
/// The size in bytes of a found resource; 0 with ERROR_RESOURCE_DATA_NOT_FOUND for a handle that
/// is not a found resource of that module.
ORVEL_PLATFORM_API DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) noexcept;

/// The module of the application (the executable).
ORVEL_PLATFORM_API HINSTANCE AfxGetInstanceHandle() noexcept;
/// The module the application's own resources come from (the executable unless changed).
ORVEL_PLATFORM_API HINSTANCE AfxGetResourceHandle() noexcept;
/// Makes another module the source of the application's own resources (a resource-only library
/// of another language, for example); null goes back to the executable.
ORVEL_PLATFORM_API void AfxSetResourceHandle(HINSTANCE resourceModule) noexcept;
/// The module that holds a resource: the application's resource module when it has it, else the
/// first extension library in the framework's list that has it (ordinary libraries before system
/// ones, each in list order), else the application's resource module. It probes without
/// changing the thread's last error and without counting as a resource call for fault injection.
ORVEL_PLATFORM_API HINSTANCE AfxFindResourceHandle(LPCSTR name, LPCSTR type) noexcept;
