#include "detail/compressor_registry.h"

#include "../win/error.h"
#include "detail/compressor_instances.h"
#include "video_compression.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>
#include <vector>

namespace orvel::platform::detail {
namespace {

struct Registry {
    std::mutex mutex;
    std::vector<InstalledCompressor> compressors; // installation order: the order of ICInfo
};

Registry& Installed() noexcept {
    static Registry* registry = new Registry;
    return *registry;
}

DWORD FoldCase(DWORD code) noexcept {
    DWORD folded = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        DWORD c = (code >> shift) & 0xFF;
        if (c >= 'A' && c <= 'Z') {
            c += 'a' - 'A';
        }
        folded |= c << shift;
    }
    return folded;
}

bool Matches(const InstalledCompressor& compressor, DWORD fccType, DWORD fccHandler) noexcept {
    return SameFourCC(compressor.fccType, fccType) && SameFourCC(compressor.fccHandler, fccHandler);
}

} // namespace

void CopyToWide(const char* text, WCHAR* field, std::size_t capacity) noexcept {
    std::size_t i = 0;
    for (; i + 1 < capacity && text[i] != '\0'; ++i) {
        field[i] = static_cast<WCHAR>(static_cast<unsigned char>(text[i]));
    }
    field[i] = 0;
}

bool SameFourCC(DWORD left, DWORD right) noexcept {
    return FoldCase(left) == FoldCase(right);
}

bool AddInstalledCompressor(const InstalledCompressor& compressor) noexcept {
    Registry& registry = Installed();
    std::lock_guard<std::mutex> guard(registry.mutex);
    for (const InstalledCompressor& other : registry.compressors) {
        if (Matches(other, compressor.fccType, compressor.fccHandler)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return false;
        }
    }
    try {
        registry.compressors.push_back(compressor);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

bool RemoveInstalledCompressor(DWORD fccType, DWORD fccHandler) noexcept {
    Registry& registry = Installed();
    std::lock_guard<std::mutex> guard(registry.mutex);
    const auto found =
        std::find_if(registry.compressors.begin(), registry.compressors.end(),
                     [&](const InstalledCompressor& c) { return Matches(c, fccType, fccHandler); });
    if (found == registry.compressors.end()) {
        return false;
    }
    registry.compressors.erase(found);
    return true;
}

bool FindInstalledCompressor(DWORD fccType, DWORD fccHandler, InstalledCompressor& found) noexcept {
    Registry& registry = Installed();
    std::lock_guard<std::mutex> guard(registry.mutex);
    for (const InstalledCompressor& compressor : registry.compressors) {
        if (Matches(compressor, fccType, fccHandler)) {
            found = compressor;
            return true;
        }
    }
    return false;
}

bool FindInstalledCompressorAt(DWORD fccType, DWORD index, InstalledCompressor& found) noexcept {
    Registry& registry = Installed();
    std::lock_guard<std::mutex> guard(registry.mutex);
    DWORD seen = 0;
    for (const InstalledCompressor& compressor : registry.compressors) {
        if (fccType != 0 && !SameFourCC(compressor.fccType, fccType)) {
            continue;
        }
        if (seen++ == index) {
            found = compressor;
            return true;
        }
    }
    return false;
}

} // namespace orvel::platform::detail

using namespace orvel::platform::detail;

namespace {

// Four-character codes have a printable character in each byte; values below this are indexes.
constexpr DWORD kFirstFourCC = 0x10000;

} // namespace

BOOL VFWAPI ICInstall(DWORD fccType, DWORD fccHandler, LPARAM param, LPCSTR description,
                      UINT flags) noexcept {
    if ((flags & ICINSTALL_FUNCTION) == 0) {
        // Driver files and driver handles need a driver loader this system does not have.
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (param == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    InstalledCompressor compressor;
    compressor.fccType = fccType;
    compressor.fccHandler = fccHandler;
    compressor.proc = reinterpret_cast<DRIVERPROC>(param);
    if (description != nullptr) {
        std::strncpy(compressor.description, description, sizeof compressor.description - 1);
    }
    return AddInstalledCompressor(compressor) ? TRUE : FALSE;
}

BOOL VFWAPI ICRemove(DWORD fccType, DWORD fccHandler, UINT /*flags*/) noexcept {
    return RemoveInstalledCompressor(fccType, fccHandler) ? TRUE : FALSE;
}

BOOL VFWAPI ICInfo(DWORD fccType, DWORD fccHandler, ICINFO* info) noexcept {
    if (info == nullptr) {
        return FALSE;
    }
    InstalledCompressor compressor;
    const bool found = fccHandler < kFirstFourCC
                           ? FindInstalledCompressorAt(fccType, fccHandler, compressor)
                           : FindInstalledCompressor(fccType, fccHandler, compressor);
    if (!found) {
        return FALSE;
    }
    // The driver describes itself; what it leaves out comes from the installation, and the
    // codes are always the installed ones so that an enumeration can open what it lists.
    ICINFO described{};
    HIC query = OpenCompressorInstance(compressor, ICMODE_QUERY);
    if (query != nullptr) {
        SendToCompressorInstance(query, ICM_GETINFO, reinterpret_cast<DWORD_PTR>(&described),
                                 sizeof described);
        CloseCompressorInstance(query);
    }
    described.dwSize = sizeof(ICINFO);
    described.fccType = compressor.fccType;
    described.fccHandler = compressor.fccHandler;
    if (described.szDescription[0] == 0) {
        CopyToWide(compressor.description, described.szDescription,
                   std::size(described.szDescription));
    }
    *info = described;
    return TRUE;
}
