#include "extension_module.h"

#include "../win/error.h"
#include "detail/extension_list.h"

namespace orvel::platform::detail {
namespace {

struct ExtensionList {
    std::mutex mutex;
    CDynLinkLibrary* head = nullptr;
};

// Leaky, like every process-wide table of the platform: libraries unload during exit, after
// function-local statics of this library may already be gone.
ExtensionList& TheList() noexcept {
    static ExtensionList* list = new ExtensionList;
    return *list;
}

} // namespace

std::mutex& ExtensionListMutex() noexcept {
    return TheList().mutex;
}

CDynLinkLibrary*& ExtensionListHead() noexcept {
    return TheList().head;
}

} // namespace orvel::platform::detail

using orvel::platform::detail::ExtensionListHead;
using orvel::platform::detail::ExtensionListMutex;

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE module) noexcept {
    if (state.bInitialized) {
        return TRUE;
    }
    if (module == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    state.hModule = module;
    state.hResource = module;
    state.bInitialized = TRUE;
    return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL all) noexcept {
    if (!state.bInitialized) {
        return;
    }
    // Unlink the entries under the lock and delete them after it: each destructor takes the lock
    // itself, and finds its entry already gone.
    CDynLinkLibrary* removed = nullptr;
    {
        std::lock_guard<std::mutex> guard(ExtensionListMutex());
        CDynLinkLibrary** link = &ExtensionListHead();
        while (*link != nullptr) {
            CDynLinkLibrary* entry = *link;
            if (all || entry->m_hModule == state.hModule) {
                *link = entry->m_pNextDLL;
                entry->m_pNextDLL = removed;
                removed = entry;
            } else {
                link = &entry->m_pNextDLL;
            }
        }
    }
    while (removed != nullptr) {
        CDynLinkLibrary* next = removed->m_pNextDLL;
        delete removed;
        removed = next;
    }
    state.bInitialized = FALSE;
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL system)
    : m_hModule(state.hModule), m_hResource(state.hResource), m_bSystem(system) {
    Link();
}

CDynLinkLibrary::CDynLinkLibrary(HINSTANCE module, HINSTANCE resourceModule)
    : m_hModule(module), m_hResource(resourceModule), m_bSystem(FALSE) {
    Link();
}

CDynLinkLibrary::~CDynLinkLibrary() {
    std::lock_guard<std::mutex> guard(ExtensionListMutex());
    for (CDynLinkLibrary** link = &ExtensionListHead(); *link != nullptr;
         link = &(*link)->m_pNextDLL) {
        if (*link == this) {
            *link = m_pNextDLL;
            break;
        }
    }
}

// At the head: a library loaded later is searched before those loaded earlier, so it can
// replace their resources, and the framework's own libraries, loaded first, come last.
void CDynLinkLibrary::Link() noexcept {
    std::lock_guard<std::mutex> guard(ExtensionListMutex());
    m_pNextDLL = ExtensionListHead();
    ExtensionListHead() = this;
}

namespace orvel::afx {

std::vector<ExtensionLibraryEntry> ExtensionLibraries() {
    std::vector<ExtensionLibraryEntry> entries;
    std::lock_guard<std::mutex> guard(ExtensionListMutex());
    for (const CDynLinkLibrary* entry = ExtensionListHead(); entry != nullptr;
         entry = entry->m_pNextDLL) {
        entries.push_back({entry->m_hModule, entry->m_hResource, entry->m_bSystem});
    }
    return entries;
}

} // namespace orvel::afx
