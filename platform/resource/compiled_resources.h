/// @file
/// How resources compiled into a module join the resource service.
///
/// A module's resources are constant tables in its own read-only data, made at build time (the
/// CMake function orvel_add_bitmap_resources writes them). When the module is loaded, a static
/// object in the same module registers its table; when the module is unloaded, the object's
/// destructor takes the table back out. FindResourceA then finds the table by module handle.
#pragma once

#include "../export.h"
#include "../win/types.h"

#include <cstddef>

namespace orvel::resource {

/// One resource of a module. Type and name are each an integer (1 to 65535) or a string; strings
/// are matched without regard to case, and a string "#123" names the integer 123, as on the
/// published platform.
struct CompiledResource {
    WORD typeId;            ///< integer type (RT_BITMAP is 2), or 0 when `typeName` is used
    const char* typeName;   ///< string type, or null when `typeId` is used
    WORD nameId;            ///< integer name, or 0 when `nameString` is used
    const char* nameString; ///< string name, or null when `nameId` is used
    const BYTE* data;       ///< the resource's bytes; they stay where they are while loaded
    DWORD size;             ///< the number of bytes at `data`
};

/// Registers the resource table of the module containing `addressInModule` (any address of a
/// variable or function in that module). The table must outlive the registration. FALSE with
/// ERROR_MOD_NOT_FOUND when the address lies in no loaded object, ERROR_INVALID_PARAMETER for a
/// null table or one that names no type or no name, ERROR_NOT_ENOUGH_MEMORY when the registry
/// cannot grow. A module may register several tables; they are searched in registration order.
ORVEL_PLATFORM_API BOOL RegisterModuleResources(const void* addressInModule,
                                                const CompiledResource* resources,
                                                std::size_t count) noexcept;

/// Takes a table registered with RegisterModuleResources back out. Resource handles found in it
/// stop working; data pointers obtained from it stay valid only as long as the module is loaded.
ORVEL_PLATFORM_API void UnregisterModuleResources(const CompiledResource* resources) noexcept;

} // namespace orvel::resource
