/// @file
/// The framework's list of extension libraries: how a shared library that extends an application
/// makes its resources findable by the application's resource lookups.
///
/// A library calls AfxInitExtensionModule with its own module when it is loaded and makes one
/// CDynLinkLibrary for it, which joins the process-wide list; when the library is unloaded,
/// AfxTermExtensionModule deletes that object, which leaves the list. AfxFindResourceHandle
/// searches the list after the application's own resource module.
#pragma once

#include "../export.h"
#include "../win/types.h"

#include <vector>

/// What an extension library keeps about itself between load and unload.
struct AFX_EXTENSION_MODULE {
    BOOL bInitialized; ///< set by AfxInitExtensionModule, cleared by AfxTermExtensionModule
    HMODULE hModule;   ///< the library's own module
    HMODULE hResource; ///< the module its resources come from (its own module)
};

/// Records a library's module in its AFX_EXTENSION_MODULE. A module already initialised keeps
/// what it has and the result is TRUE. FALSE with ERROR_INVALID_PARAMETER for a null module.
ORVEL_PLATFORM_API BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state,
                                               HMODULE module) noexcept;

/// Deletes the list entries made for a library (with `all`, every entry of the list) and clears
/// bInitialized. Nothing happens for a module that was never initialised. The entries must have
/// been made with `new`, as the framework makes them.
ORVEL_PLATFORM_API void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state,
                                               BOOL all = FALSE) noexcept;

/// One entry of the framework's list of extension libraries. Constructing one puts it at the
/// head of the list, so a library loaded later is searched first; destroying it takes it out.
class ORVEL_PLATFORM_API CDynLinkLibrary {
public:
    /// An entry for an initialised extension library; `system` marks a library of the framework
    /// itself, searched after every ordinary library.
    explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL system = FALSE);
    /// An entry for a module and the module its resources come from.
    CDynLinkLibrary(HINSTANCE module, HINSTANCE resourceModule);
    virtual ~CDynLinkLibrary();
    CDynLinkLibrary(const CDynLinkLibrary&) = delete;
    CDynLinkLibrary& operator=(const CDynLinkLibrary&) = delete;

    HMODULE m_hModule;   ///< the library's module
    HMODULE m_hResource; ///< the module searched for its resources
    BOOL m_bSystem;      ///< a library of the framework itself
    /// The next entry of the list. Read it only while no library is being loaded or unloaded in
    /// another thread; orvel::afx::ExtensionLibraries gives a consistent snapshot.
    CDynLinkLibrary* m_pNextDLL = nullptr;

private:
    void Link() noexcept;
};

namespace orvel::afx {

/// One entry of the framework's list, as seen at one moment.
struct ExtensionLibraryEntry {
    HMODULE module;         ///< the library's module
    HMODULE resourceModule; ///< the module its resources are searched in
    BOOL system;            ///< TRUE for a library of the framework itself
};

/// The entries of the framework's list, head first, taken under the list's lock.
ORVEL_PLATFORM_API std::vector<ExtensionLibraryEntry> ExtensionLibraries();

} // namespace orvel::afx
