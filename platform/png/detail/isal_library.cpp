#include "isal_library.h"

#if ORVEL_HAVE_ISAL
#include <dlfcn.h>

namespace orvel::png::detail {
namespace {

template <class Function>
bool Bind(void* library, const char* name, Function& function) noexcept {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

const IsalFunctions* Load() noexcept {
    // The major version is the library's interface: the one these headers describe.
    void* library = dlopen(ORVEL_ISAL_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return nullptr;
    }
    static IsalFunctions functions{};
    if (Bind(library, "isal_inflate_init", functions.inflateInit) &&
        Bind(library, "isal_inflate", functions.inflate) &&
        Bind(library, "crc32_gzip_refl", functions.crc32Gzip) &&
        Bind(library, "isal_deflate_init", functions.deflateInit) &&
        Bind(library, "isal_deflate_set_dict", functions.deflateSetDict) &&
        Bind(library, "isal_deflate", functions.deflate)) {
        return &functions; // the library stays loaded for the rest of the process
    }
    dlclose(library);
    return nullptr;
}

} // namespace

const IsalFunctions* Isal() noexcept {
    static const IsalFunctions* const functions = Load();
    return functions;
}

} // namespace orvel::png::detail
#endif
