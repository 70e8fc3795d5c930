// The framework's list of extension libraries as the resource service walks it.
#pragma once

#include "../extension_module.h"

#include <mutex>

namespace orvel::platform::detail {

/// The lock that guards the list. Whoever holds it must not call into the dynamic linker
/// (dladdr, dlopen): a library being loaded joins the list from inside the linker's own lock.
std::mutex& ExtensionListMutex() noexcept;

/// The head of the list; read and written under ExtensionListMutex.
CDynLinkLibrary*& ExtensionListHead() noexcept;

} // namespace orvel::platform::detail
