#include "resource_registry.h"

#include "../../win/error.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <string_view>
#include <vector>

namespace orvel::platform::detail {
namespace {

using orvel::resource::CompiledResource;

// A handle value: the table's serial number, the entry's index in its table and the kind's tag.
// Serial numbers are never reused, so a handle into a table that was unregistered (its module
// unloaded) never reaches a later table.
constexpr unsigned kTagBits = 4;
constexpr unsigned kIndexBits = 16;
constexpr std::size_t kMaxTableEntries = std::size_t{1} << kIndexBits;

std::uintptr_t Encode(std::uint64_t serial, std::size_t index, ResourceHandleKind kind) noexcept {
    return static_cast<std::uintptr_t>((serial << (kIndexBits + kTagBits)) |
                                       (static_cast<std::uint64_t>(index) << kTagBits) |
                                       static_cast<unsigned>(kind));
}

struct RegisteredTable {
    std::uint64_t serial;
    HMODULE module;
    const CompiledResource* entries;
    std::size_t count;
};

struct Registry {
    std::mutex mutex;
    std::vector<RegisteredTable> tables;
    std::uint64_t nextSerial = 1;
};

Registry& TheRegistry() noexcept {
    static Registry* registry = new Registry;
    return *registry;
}

// A type or name as the caller gave it: an integer, or a string compared without regard to case.
struct ResourceKey {
    WORD id = 0;
    std::string_view text;
};

bool ParseKey(LPCSTR name, ResourceKey& key) noexcept {
    if (name == nullptr) {
        return false;
    }
    if (IS_INTRESOURCE(name)) {
        key.id = LOWORD(reinterpret_cast<ULONG_PTR>(name));
        return true;
    }
    key.text = name;
    // "#258" is the string form of the integer 258.
    if (key.text.size() > 1 && key.text.size() <= 6 && key.text[0] == '#') {
        unsigned value = 0;
        for (char digit : key.text.substr(1)) {
            if (digit < '0' || digit > '9') {
                return true;
            }
            value = value * 10 + static_cast<unsigned>(digit - '0');
        }
        if (value >= 1 && value <= 0xFFFF) {
            key.id = static_cast<WORD>(value);
            key.text = {};
        }
    }
    return true;
}

char AsciiLower(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool Matches(WORD entryId, const char* entryText, const ResourceKey& key) noexcept {
    if (key.id != 0) {
        return entryText == nullptr && entryId == key.id;
    }
    if (entryText == nullptr) {
        return false;
    }
    const std::string_view text(entryText);
    return std::equal(text.begin(), text.end(), key.text.begin(), key.text.end(),
                      [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
}

bool EntryIsWellFormed(const CompiledResource& entry) noexcept {
    const bool typeNamed = (entry.typeId != 0) != (entry.typeName != nullptr);
    const bool nameNamed = (entry.nameId != 0) != (entry.nameString != nullptr);
    return typeNamed && nameNamed && (entry.data != nullptr || entry.size == 0);
}

// The table and entry index a handle value stands for; the registry's mutex is held.
const RegisteredTable* FindTable(const Registry& registry, std::uintptr_t handle,
                                 ResourceHandleKind kind, std::size_t& index) noexcept {
    if ((handle & ((1U << kTagBits) - 1)) != static_cast<unsigned>(kind)) {
        return nullptr;
    }
    index = (handle >> kTagBits) & (kMaxTableEntries - 1);
    const std::uint64_t serial = static_cast<std::uint64_t>(handle) >> (kIndexBits + kTagBits);
    for (const RegisteredTable& table : registry.tables) {
        if (table.serial == serial) {
            return index < table.count ? &table : nullptr;
        }
    }
    return nullptr;
}

} // namespace

BOOL RegisterResourceTable(HMODULE module, const CompiledResource* resources,
                           std::size_t count) noexcept {
    if (resources == nullptr || count == 0 || count > kMaxTableEntries ||
        !std::all_of(resources, resources + count, EntryIsWellFormed)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    try {
        registry.tables.push_back({registry.nextSerial, module, resources, count});
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    ++registry.nextSerial;
    return TRUE;
}

void UnregisterResourceTable(const CompiledResource* resources) noexcept {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    std::erase_if(registry.tables,
                  [resources](const RegisteredTable& table) { return table.entries == resources; });
}

ResourceLookup LookUpResource(HMODULE module, LPCSTR name, LPCSTR type,
                              std::uintptr_t& foundHandle) noexcept {
    ResourceKey typeKey;
    ResourceKey nameKey;
    const bool typeGiven = ParseKey(type, typeKey);
    const bool nameGiven = ParseKey(name, nameKey);

    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    bool moduleHasResources = false;
    bool typeSeen = false;
    for (const RegisteredTable& table : registry.tables) {
        if (table.module != module) {
            continue;
        }
        moduleHasResources = true;
        for (std::size_t index = 0; index < table.count; ++index) {
            const CompiledResource& entry = table.entries[index];
            if (!typeGiven || !Matches(entry.typeId, entry.typeName, typeKey)) {
                continue;
            }
            typeSeen = true;
            if (nameGiven && Matches(entry.nameId, entry.nameString, nameKey)) {
                foundHandle = Encode(table.serial, index, ResourceHandleKind::kFoundResource);
                return ResourceLookup::kFound;
            }
        }
    }
    if (!moduleHasResources) {
        return ResourceLookup::kModuleHasNoResources;
    }
    return typeSeen ? ResourceLookup::kNameNotFound : ResourceLookup::kTypeNotFound;
}

std::uintptr_t ConvertResourceHandle(std::uintptr_t handle, ResourceHandleKind kind) noexcept {
    return (handle & ~std::uintptr_t{(1U << kTagBits) - 1}) | static_cast<unsigned>(kind);
}

bool ResolveResourceHandle(std::uintptr_t handle, ResourceHandleKind kind,
                           ResolvedResource& resolved) noexcept {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    std::size_t index = 0;
    const RegisteredTable* table = FindTable(registry, handle, kind, index);
    if (table == nullptr) {
        return false;
    }
    resolved.module = table->module;
    resolved.entry = &table->entries[index];
    return true;
}

} // namespace orvel::platform::detail
