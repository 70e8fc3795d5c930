/// @file
/// Modules: the loaded objects (the executable and its shared libraries) that resources are
/// compiled into.
///
/// A module handle is the address at which the object's first page is mapped, as a Windows module
/// handle is the address of its image. Two calls that name the same loaded object therefore give
/// the same handle, whether they start from a name or from an address inside the object.
#pragma once

#include "../export.h"
#include "../win/types.h"

/// The handle is that of the module containing the address passed as the name.
constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x00000004;
/// The module's reference count is not raised.
constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x00000002;

/// The module of a loaded object by file name; null `name` gives the executable. A name matches
/// an object whose file name (without directories) equals it, or whose file name has the same
/// stem before a ".so" suffix and its version numbers ("liborvel" and "liborvel.so" both find
/// liborvel.so.0). Null with ERROR_MOD_NOT_FOUND when no loaded object matches.
ORVEL_PLATFORM_API HMODULE WINAPI GetModuleHandleA(LPCSTR name) noexcept;

/// The module of a loaded object. With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, `name` is an
/// address inside the object; otherwise it is a file name as for GetModuleHandleA. Reference
/// counts are not kept for modules, so GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT is required:
/// without it the call fails with ERROR_INVALID_PARAMETER rather than hand out a reference the
/// caller could never release. FALSE, with *module null, and ERROR_MOD_NOT_FOUND when nothing
/// matches; ERROR_INVALID_PARAMETER for a null `module` or unknown flags.
ORVEL_PLATFORM_API BOOL WINAPI GetModuleHandleExA(DWORD flags, LPCSTR name,
                                                  HMODULE* module) noexcept;
