#include "palette.h"

#include "../detail/cpu_features.h"
#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "detail/device_contexts.h"
#include "detail/gdi_objects.h"
#include "detail/halftone_palette.h"
#include "detail/nearest_colour_sse41.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace orvel::platform::detail;

namespace {

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
    static_assert(kHalftoneEntries.size() == kHalftonePaletteEntries);
    return MakePalette(kHalftoneEntries.data(), kHalftonePaletteEntries);
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

// GetNearestPaletteIndex is asked once per pixel by colour conversion, so its whole path — the
// handle's lookup, the palette's search, the cell — is one function without calls, compiled once
// for processors with SSE4.1 and once for any other. The dynamic linker binds the exported name
// to the one this processor runs (an indirect function), so no call pays for the choice. Every
// other path leaves by a tail call, so the common one needs no stack frame.
namespace {

using NearestIndexFunction = UINT (*)(HPALETTE, COLORREF) noexcept;

[[gnu::cold, gnu::noinline]] UINT RefuseHandle() noexcept {
    SetLastError(ERROR_INVALID_HANDLE);
    return CLR_INVALID;
}

// The first query of a palette makes its search.
[[gnu::noinline]] UINT NearestBeforeSearch(const PaletteObject& palette, COLORREF colour) noexcept {
    return palette.Search().Find(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

// The palette behind a handle, or null when the handle is not a live palette.
[[gnu::always_inline]] inline const PaletteObject* LivePalette(HPALETTE palette) noexcept {
    const GdiObject* object = GdiObjects().Find(HandleValue(palette));
    return object != nullptr && object->Kind() == GdiKind::Palette
               ? static_cast<const PaletteObject*>(object)
               : nullptr;
}

// The whole query with the given cell kernel; inlined into one function per processor family.
template <UINT (*kNearestOfCell)(const NearestCell&, COLORREF) noexcept>
[[gnu::always_inline]] inline UINT NearestPaletteIndexWith(HPALETTE palette,
                                                           COLORREF colour) noexcept {
    const PaletteObject* object = LivePalette(palette);
    if (object == nullptr) [[unlikely]] {
        return RefuseHandle();
    }
    const NearestColourSearch* search = object->SearchIfMade();
    if (search == nullptr) [[unlikely]] {
        return NearestBeforeSearch(*object, colour);
    }
    const NearestCell* cell = search->CellFor(colour);
    if (cell == nullptr) [[unlikely]] {
        return search->FindWithoutCell(colour);
    }
    return kNearestOfCell(*cell, colour);
}

UINT NearestPaletteIndexPortable(HPALETTE palette, COLORREF colour) noexcept {
    return NearestPaletteIndexWith<NearestOfCellPortable>(palette, colour);
}

#if defined(__x86_64__) && defined(__ELF__)
// flatten: the kernel, compiled for SSE4.1, can only be inlined into a function that is too.
__attribute__((target("sse4.1"), flatten)) UINT NearestPaletteIndexSse41(HPALETTE palette,
                                                                         COLORREF colour) noexcept {
    return NearestPaletteIndexWith<NearestOfCellSse41>(palette, colour);
}

// The same instructions in their AVX encoding, which needs fewer register copies.
__attribute__((target("avx"), flatten)) UINT NearestPaletteIndexAvx(HPALETTE palette,
                                                                    COLORREF colour) noexcept {
    return NearestPaletteIndexWith<NearestOfCellSse41>(palette, colour);
}
#endif

} // namespace

#if defined(__x86_64__) && defined(__ELF__)
// Runs while the dynamic linker binds the platform's symbols, before any of the platform's code
// and before a sanitizer's runtime has set up its shadow memory: it must not be instrumented.
extern "C" __attribute__((no_sanitize("address", "undefined", "thread"))) NearestIndexFunction
orvel_platform_choose_nearest_palette_index() noexcept {
    if (orvel::platform::detail::CpuHasAvx()) {
        return &NearestPaletteIndexAvx;
    }
    return orvel::platform::detail::CpuHasSse41() ? &NearestPaletteIndexSse41
                                                  : &NearestPaletteIndexPortable;
}

UINT WINAPI GetNearestPaletteIndex(HPALETTE palette, COLORREF colour) noexcept
    __attribute__((ifunc("orvel_platform_choose_nearest_palette_index")));
#else
UINT WINAPI GetNearestPaletteIndex(HPALETTE palette, COLORREF colour) noexcept {
    return NearestPaletteIndexPortable(palette, colour);
}
#endif
