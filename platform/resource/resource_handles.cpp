#include "resource.h"

#include "../afx/detail/extension_list.h"
#include "detail/modules.h"
#include "detail/resource_registry.h"

#include <atomic>

namespace {

// The module set by AfxSetResourceHandle; null while the executable serves.
std::atomic<HINSTANCE> g_resourceModule{nullptr};

bool ModuleHas(HMODULE module, LPCSTR name, LPCSTR type) noexcept {
    std::uintptr_t found = 0;
    return module != nullptr &&
           orvel::platform::detail::LookUpResource(module, name, type, found) ==
               orvel::platform::detail::ResourceLookup::kFound;
}

// The first entry of the list, of the wanted kind, whose resource module has the resource.
HMODULE SearchExtensionLibraries(LPCSTR name, LPCSTR type, bool system) noexcept {
    std::lock_guard<std::mutex> guard(orvel::platform::detail::ExtensionListMutex());
    for (const CDynLinkLibrary* entry = orvel::platform::detail::ExtensionListHead();
         entry != nullptr; entry = entry->m_pNextDLL) {
        if ((entry->m_bSystem != FALSE) == system && ModuleHas(entry->m_hResource, name, type)) {
            return entry->m_hResource;
        }
    }
    return nullptr;
}

} // namespace

HINSTANCE AfxGetInstanceHandle() noexcept {
    return orvel::platform::detail::ExecutableModule();
}

HINSTANCE AfxGetResourceHandle() noexcept {
    HINSTANCE module = g_resourceModule.load(std::memory_order_acquire);
    return module != nullptr ? module : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE resourceModule) noexcept {
    g_resourceModule.store(resourceModule, std::memory_order_release);
}

HINSTANCE AfxFindResourceHandle(LPCSTR name, LPCSTR type) noexcept {
    // The application's module is found before the list is locked: computing it the first time
    // asks the dynamic linker, which must never be called under the list's lock.
    HINSTANCE application = AfxGetResourceHandle();
    if (ModuleHas(application, name, type)) {
        return application;
    }
    if (HMODULE module = SearchExtensionLibraries(name, type, false)) {
        return module;
    }
    if (HMODULE module = SearchExtensionLibraries(name, type, true)) {
        return module;
    }
    return application;
}
