#include "compiled_resources.h"
#include "resource.h"

#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "detail/modules.h"
#include "detail/resource_registry.h"

using orvel::platform::detail::ResolvedResource;
using orvel::platform::detail::ResourceHandleKind;
using orvel::platform::detail::ResourceLookup;

namespace {

// A null module means the executable, as it does for every resource call.
HMODULE ModuleOrExecutable(HMODULE module) noexcept {
    return module != nullptr ? module : orvel::platform::detail::ExecutableModule();
}

// A found resource of the given module. A handle found in another module is refused rather than
// answered with that module's data: the caller has mixed up its modules.
bool ResolveFoundResource(HMODULE module, HRSRC resource, ResolvedResource& resolved) noexcept {
    return orvel::platform::detail::ResolveResourceHandle(
               reinterpret_cast<std::uintptr_t>(resource), ResourceHandleKind::kFoundResource,
               resolved) &&
           resolved.module == ModuleOrExecutable(module);
}

} // namespace

namespace orvel::resource {

BOOL RegisterModuleResources(const void* addressInModule, const CompiledResource* resources,
                             std::size_t count) noexcept {
    HMODULE module = orvel::platform::detail::ModuleOfAddress(addressInModule);
    if (module == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    return orvel::platform::detail::RegisterResourceTable(module, resources, count);
}

void UnregisterModuleResources(const CompiledResource* resources) noexcept {
    orvel::platform::detail::UnregisterResourceTable(resources);
}

} // namespace orvel::resource

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) noexcept {
    // An injected fault stands for a module whose resource data cannot be brought into memory.
    if (orvel::testing::ShouldFail(orvel::testing::kFaultResource)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    module = ModuleOrExecutable(module);
    std::uintptr_t found = 0;
    switch (orvel::platform::detail::LookUpResource(module, name, type, found)) {
    case ResourceLookup::kFound:
        return reinterpret_cast<HRSRC>(found);
    case ResourceLookup::kModuleHasNoResources:
        SetLastError(orvel::platform::detail::IsLoadedModule(module) ? ERROR_RESOURCE_DATA_NOT_FOUND
                                                                     : ERROR_MOD_NOT_FOUND);
        return nullptr;
    case ResourceLookup::kTypeNotFound:
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    case ResourceLookup::kNameNotFound:
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) noexcept {
    if (orvel::testing::ShouldFail(orvel::testing::kFaultResource)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    ResolvedResource resolved;
    if (!ResolveFoundResource(module, resource, resolved)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HGLOBAL>(orvel::platform::detail::ConvertResourceHandle(
        reinterpret_cast<std::uintptr_t>(resource), ResourceHandleKind::kResourceData));
}

LPVOID WINAPI LockResource(HGLOBAL resourceData) noexcept {
    ResolvedResource resolved;
    if (!orvel::platform::detail::ResolveResourceHandle(
            reinterpret_cast<std::uintptr_t>(resourceData), ResourceHandleKind::kResourceData,
            resolved)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // The data is the module's read-only table, handed out without a copy as the published
    // platform hands out the mapped image: writing through the pointer is a fault.
    return const_cast<BYTE*>(resolved.entry->data);
}

DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) noexcept {
    ResolvedResource resolved;
    if (!ResolveFoundResource(module, resource, resolved)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    return resolved.entry->size;
}
