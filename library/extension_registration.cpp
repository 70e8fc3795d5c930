// The library's start-up: when liborvel is loaded it joins the framework's list of extension
// libraries, so that resource lookups of the application also search it, and it leaves the list
// when it is unloaded. This is what an extension library's DLL entry point does on attach and
// detach; here the loader runs the constructor and destructor of one static object instead.
#include "../platform/afx/extension_module.h"
#include "../platform/resource/module.h"

#include <new>

namespace {

AFX_EXTENSION_MODULE g_orvelModule = {FALSE, nullptr, nullptr};

class ExtensionRegistration {
public:
    ExtensionRegistration() noexcept {
        // Any address inside liborvel names its module; that of its module record will do.
        HMODULE module = nullptr;
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                    GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCSTR>(&g_orvelModule), &module) ||
            !AfxInitExtensionModule(g_orvelModule, module)) {
            return;
        }
        // The entry belongs to the list; AfxTermExtensionModule deletes it. Without memory for it
        // the library still works; only its resources are not searched.
        new (std::nothrow) CDynLinkLibrary(g_orvelModule);
    }
    ~ExtensionRegistration() { AfxTermExtensionModule(g_orvelModule); }
    ExtensionRegistration(const ExtensionRegistration&) = delete;
    ExtensionRegistration& operator=(const ExtensionRegistration&) = delete;
};

const ExtensionRegistration g_registration;

} // namespace
