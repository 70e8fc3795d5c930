// How the resource service tells loaded objects apart.
#pragma once

#include "../../win/types.h"

namespace orvel::platform::detail {

/// The module containing an address, or null when no loaded object contains it.
HMODULE ModuleOfAddress(const void* address) noexcept;

/// The executable's module. Computed once: the executable never moves.
HMODULE ExecutableModule() noexcept;

/// Whether a handle is the module handle of an object loaded now.
bool IsLoadedModule(HMODULE module) noexcept;

} // namespace orvel::platform::detail
