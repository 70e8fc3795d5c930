#include "palette.h"

#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "detail/device_contexts.h"
#include "detail/gdi_objects.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace orvel::platform::detail;

namespace {

// The halftone palette, built once: the 6 x 6 x 6 cube, then the greys between cube greys.
const std::array<PALETTEENTRY, kHalftonePaletteEntries>& HalftoneEntries() noexcept {
    static const auto entries = [] {
        std::array<PALETTEENTRY, kHalftonePaletteEntries> table{};
        std::size_t next = 0;
        for (int red = 0; red < 6; ++red) {
            for (int green = 0; green < 6; ++green) {
                for (int blue = 0; blue < 6; ++blue) {
                    table[next++] = {static_cast<BYTE>(red * 51), static_cast<BYTE>(green * 51),
                                     static_cast<BYTE>(blue * 51), 0};
                }
            }
        }
        for (int step = 1; step < 45; ++step) {
            if (step % 9 != 0) {
                const auto grey = static_cast<BYTE>((255 * step + 22) / 45);
                table[next++] = {grey, grey, grey, 0};
            }
        }
        return table;
    }();
    return entries;
}

HPALETTE MakePalette(const PALETTEENTRY* entries, UINT count) noexcept {
    if (orvel::testing::ShouldFail(orvel::testing::kFaultCreatePalette)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::vector<PALETTEENTRY> copy;
    try {
        copy.assign(entries, entries + count);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto object = std::unique_ptr<GdiObject>(new (std::nothrow) PaletteObject(std::move(copy)));
    if (!object) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<HPALETTE>(InsertGdiObject(std::move(object)));
}

} // namespace

HPALETTE WINAPI CreatePalette(const LOGPALETTE* logPalette) noexcept {
    if (logPalette == nullptr || logPalette->palVersion != PALETTE_VERSION ||
        logPalette->palNumEntries == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return MakePalette(logPalette->palPalEntry, logPalette->palNumEntries);
}

HPALETTE WINAPI CreateHalftonePalette(HDC dc) noexcept {
    if (FindDeviceContext(dc) == nullptr) {
        return nullptr;
    }
    return MakePalette(HalftoneEntries().data(), kHalftonePaletteEntries);
}

UINT WINAPI GetPaletteEntries(HPALETTE palette, UINT first, UINT count,
                              LPPALETTEENTRY entries) noexcept {
    const PaletteObject* object = FindPalette(palette);
    if (object == nullptr) {
        return 0;
    }
    const std::vector<PALETTEENTRY>& table = object->Entries();
    if (entries == nullptr) {
        return static_cast<UINT>(table.size());
    }
    if (first >= table.size()) {
        return 0;
    }
    const UINT copied = std::min<UINT>(count, static_cast<UINT>(table.size()) - first);
    std::memcpy(entries, table.data() + first, copied * sizeof(PALETTEENTRY));
    return copied;
}

UINT WINAPI GetNearestPaletteIndex(HPALETTE palette, COLORREF colour) noexcept {
    const PaletteObject* object = FindPalette(palette);
    if (object == nullptr) {
        return CLR_INVALID;
    }
    return object->Search().Find(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}
