// The process-wide registry of the resource tables that loaded modules have registered, and the
// handle values that point into it.
#pragma once

#include "../../detail/handle_tags.h"
#include "../../win/types.h"
#include "../compiled_resources.h"

#include <cstdint>

namespace orvel::platform::detail {

/// What a lookup in one module found.
enum class ResourceLookup {
    kFound,
    kModuleHasNoResources, ///< the module registered no table
    kTypeNotFound,         ///< no resource of the module has the type
    kNameNotFound,         ///< resources of the type exist, none has the name
};

/// The two kinds of handle value the service hands out: found resources (HRSRC) and loaded
/// resource data (the HGLOBAL of LoadResource). Their tags keep them apart from each other and
/// from the handles of every other service, so that a resource handle passed to GlobalLock, or a
/// memory block passed to LockResource, is refused.
enum class ResourceHandleKind : unsigned {
    kFoundResource = kFoundResourceTag,
    kResourceData = kResourceDataTag,
};

/// A resource reached through a handle value.
struct ResolvedResource {
    HMODULE module = nullptr;
    const orvel::resource::CompiledResource* entry = nullptr;
};

/// Registers a module's table; the result and last error of RegisterModuleResources.
BOOL RegisterResourceTable(HMODULE module, const orvel::resource::CompiledResource* resources,
                           std::size_t count) noexcept;
/// Removes a table; nothing happens for a table that is not registered.
void UnregisterResourceTable(const orvel::resource::CompiledResource* resources) noexcept;

/// Looks a resource up in a module's tables. On kFound, `foundHandle` is its HRSRC value. Sets
/// no last error, so lookups that only probe (AfxFindResourceHandle) leave it alone.
ResourceLookup LookUpResource(HMODULE module, LPCSTR name, LPCSTR type,
                              std::uintptr_t& foundHandle) noexcept;

/// The handle value of the same resource as another kind of handle.
std::uintptr_t ConvertResourceHandle(std::uintptr_t handle, ResourceHandleKind kind) noexcept;

/// The resource a handle value of the given kind stands for; false for a value of another kind
/// or one whose table has been unregistered.
bool ResolveResourceHandle(std::uintptr_t handle, ResourceHandleKind kind,
                           ResolvedResource& resolved) noexcept;

} // namespace orvel::platform::detail
