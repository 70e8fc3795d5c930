#include "detail/modules.h"
#include "module.h"

#include "../win/error.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <array>
#include <string_view>

namespace orvel::platform::detail {
namespace {

// The address of an object's lowest loaded segment: an address the dynamic linker attributes to
// that object, from which dladdr gives the object's base.
const void* FirstSegmentAddress(const dl_phdr_info& object) noexcept {
    const ElfW(Addr)* lowest = nullptr;
    for (ElfW(Half) i = 0; i < object.dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = object.dlpi_phdr[i];
        if (segment.p_type == PT_LOAD && (lowest == nullptr || segment.p_vaddr < *lowest)) {
            lowest = &segment.p_vaddr;
        }
    }
    if (lowest == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<const void*>(object.dlpi_addr + *lowest);
}

std::string_view FileName(std::string_view path) noexcept {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The part of a shared object's file name before ".so" and its version numbers, so that
// "liborvel", "liborvel.so" and "liborvel.so.0" all name liborvel.so.0.
std::string_view Stem(std::string_view fileName) noexcept {
    for (std::size_t at = fileName.find(".so"); at != std::string_view::npos;
         at = fileName.find(".so", at + 1)) {
        const std::size_t after = at + 3;
        if (after == fileName.size() || fileName[after] == '.') {
            return fileName.substr(0, at);
        }
    }
    return fileName;
}

bool NameMatches(std::string_view wanted, std::string_view objectPath) noexcept {
    const std::string_view objectName = FileName(objectPath);
    if (objectName.empty()) {
        return false;
    }
    return objectName == wanted || Stem(objectName) == Stem(wanted);
}

// The executable's path as the kernel knows it: the dynamic linker lists the executable without
// a name.
std::string_view ExecutablePath() noexcept {
    static const auto path = [] {
        std::array<char, 4096> buffer{};
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
        if (length < 0) {
            buffer[0] = '\0';
        }
        return buffer;
    }();
    return path.data();
}

struct NameSearch {
    std::string_view wanted;
    bool isExecutable = true; // the dynamic linker visits the executable first
    const void* found = nullptr;
};

int VisitObjectForName(dl_phdr_info* object, std::size_t, void* data) noexcept {
    auto& search = *static_cast<NameSearch*>(data);
    const bool isExecutable = search.isExecutable;
    search.isExecutable = false;
    const std::string_view path =
        isExecutable ? ExecutablePath() : std::string_view(object->dlpi_name);
    if (NameMatches(search.wanted, path)) {
        search.found = FirstSegmentAddress(*object);
        return 1;
    }
    return 0;
}

int VisitExecutable(dl_phdr_info* object, std::size_t, void* data) noexcept {
    *static_cast<const void**>(data) = FirstSegmentAddress(*object);
    return 1;
}

} // namespace

HMODULE ModuleOfAddress(const void* address) noexcept {
    Dl_info info{};
    if (address == nullptr || dladdr(address, &info) == 0) {
        return nullptr;
    }
    return static_cast<HMODULE>(info.dli_fbase);
}

HMODULE ExecutableModule() noexcept {
    static const HMODULE module = [] {
        const void* firstSegment = nullptr;
        dl_iterate_phdr(VisitExecutable, &firstSegment);
        return ModuleOfAddress(firstSegment);
    }();
    return module;
}

bool IsLoadedModule(HMODULE module) noexcept {
    return module != nullptr && ModuleOfAddress(module) == module;
}

} // namespace orvel::platform::detail

using orvel::platform::detail::ExecutableModule;
using orvel::platform::detail::ModuleOfAddress;

HMODULE WINAPI GetModuleHandleA(LPCSTR name) noexcept {
    if (name == nullptr) {
        return ExecutableModule();
    }
    orvel::platform::detail::NameSearch search;
    search.wanted = orvel::platform::detail::FileName(name);
    HMODULE module = nullptr;
    if (!search.wanted.empty()) {
        dl_iterate_phdr(orvel::platform::detail::VisitObjectForName, &search);
        module = ModuleOfAddress(search.found);
    }
    if (module == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
    }
    return module;
}

BOOL WINAPI GetModuleHandleExA(DWORD flags, LPCSTR name, HMODULE* module) noexcept {
    constexpr DWORD kKnownFlags =
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (module == nullptr || (flags & ~kKnownFlags) != 0 ||
        (flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) == 0) {
        if (module != nullptr) {
            *module = nullptr;
        }
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) != 0) {
        *module = ModuleOfAddress(name);
        if (*module == nullptr) {
            SetLastError(ERROR_MOD_NOT_FOUND);
        }
    } else {
        *module = GetModuleHandleA(name);
    }
    return *module != nullptr ? TRUE : FALSE;
}
