#include "system_palette.h"

#include "../display/display.h"
#include "../win/error.h"
#include "detail/device_contexts.h"
#include "detail/gdi_objects.h"
#include "detail/static_colours.h"
#include "device_context.h"
#include "palette.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>

namespace orvel::platform::detail {
namespace {

constexpr UINT kFirstFree = kSystemPaletteStaticEach;
constexpr UINT kEndFree = kSystemPaletteEntries - kSystemPaletteStaticEach;

class SystemPalette {
public:
    SystemPalette() noexcept { Reset(); }

    void Reset() noexcept {
        std::lock_guard<std::mutex> guard(mutex_);
        entries_.fill(PALETTEENTRY{0, 0, 0, 0});
        used_.fill(false);
        for (UINT i = 0; i < kSystemPaletteStaticEach; ++i) {
            entries_[i] = kStaticColours[i];
            entries_[kEndFree + i] = kStaticColours[kSystemPaletteStaticEach + i];
        }
    }

    UINT Copy(UINT first, UINT count, PALETTEENTRY* out) const noexcept {
        std::lock_guard<std::mutex> guard(mutex_);
        if (first >= kSystemPaletteEntries) {
            return 0;
        }
        const UINT copied = std::min(count, kSystemPaletteEntries - first);
        std::memcpy(out, entries_.data() + first, copied * sizeof(PALETTEENTRY));
        return copied;
    }

    // Foreground realisation. Colours already shown (static or not) keep their entries; the
    // others take never-used free entries first, then free entries that earlier palettes took and
    // this one does not need. Colours left without an entry are shown by the nearest one.
    UINT RealizeForeground(const std::vector<PALETTEENTRY>& colours) noexcept {
        std::lock_guard<std::mutex> guard(mutex_);
        std::array<bool, kSystemPaletteEntries> claimed{};
        std::vector<bool> placed(colours.size(), false);
        for (std::size_t c = 0; c < colours.size(); ++c) {
            const int match = FindExact(colours[c]);
            if (match >= 0) {
                claimed[static_cast<std::size_t>(match)] = true;
                placed[c] = true;
            }
        }
        UINT changed = 0;
        for (std::size_t c = 0; c < colours.size(); ++c) {
            if (placed[c] || FindExact(colours[c], &claimed) >= 0) {
                continue;
            }
            const int slot = FreeSlot(claimed);
            if (slot < 0) {
                break;
            }
            const auto index = static_cast<std::size_t>(slot);
            claimed[index] = true;
            used_[index] = true;
            const PALETTEENTRY colour{colours[c].peRed, colours[c].peGreen, colours[c].peBlue, 0};
            if (!SameColour(entries_[index], colour)) {
                entries_[index] = colour;
                ++changed;
            }
        }
        return changed;
    }

private:
    static bool SameColour(const PALETTEENTRY& a, const PALETTEENTRY& b) noexcept {
        return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
    }

    // An entry showing exactly this colour: a static one, a used free one, or (when `claimed` is
    // given) only one claimed by the realisation in progress.
    int FindExact(const PALETTEENTRY& colour,
                  const std::array<bool, kSystemPaletteEntries>* claimed = nullptr) const noexcept {
        for (UINT i = 0; i < kSystemPaletteEntries; ++i) {
            const bool isStatic = i < kFirstFree || i >= kEndFree;
            const bool eligible = claimed != nullptr ? (*claimed)[i] : (isStatic || used_[i]);
            if (eligible && SameColour(entries_[i], colour)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    int FreeSlot(const std::array<bool, kSystemPaletteEntries>& claimed) const noexcept {
        for (UINT i = kFirstFree; i < kEndFree; ++i) {
            if (!used_[i]) {
                return static_cast<int>(i);
            }
        }
        for (UINT i = kFirstFree; i < kEndFree; ++i) {
            if (!claimed[i]) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    mutable std::mutex mutex_;
    std::array<PALETTEENTRY, kSystemPaletteEntries> entries_{};
    std::array<bool, kSystemPaletteEntries> used_{};
};

SystemPalette& TheSystemPalette() noexcept {
    static SystemPalette* palette = new SystemPalette;
    return *palette;
}

// On a palette screen the system palette is the desktop's colormap: what realisation decided is
// stored there, and what the server holds is what every reader sees.
void StoreOnDesktop() noexcept {
    Desktop& desktop = TheDesktop();
    if (!desktop.Screen().paletteDevice) {
        return;
    }
    PALETTEENTRY entries[kSystemPaletteEntries];
    TheSystemPalette().Copy(0, kSystemPaletteEntries, entries);
    desktop.StoreColormap(0, kSystemPaletteEntries, entries);
}

UINT CopySystemPalette(UINT first, UINT count, PALETTEENTRY* entries) noexcept {
    Desktop& desktop = TheDesktop();
    if (desktop.Screen().paletteDevice && first < kSystemPaletteEntries) {
        const UINT copied = std::min(count, kSystemPaletteEntries - first);
        if (desktop.LoadColormap(first, copied, entries)) {
            return copied;
        }
    }
    return TheSystemPalette().Copy(first, count, entries);
}

} // namespace
} // namespace orvel::platform::detail

using namespace orvel::platform::detail;

UINT WINAPI RealizePalette(HDC dc) noexcept {
    const DeviceContext* context = FindDeviceContext(dc);
    if (context == nullptr) {
        return GDI_ERROR;
    }
    // Only a context of the display reaches the system palette, and only in the foreground: a
    // background palette is shown through the entries already there, without evicting anyone.
    // The default palette's colours are the static ones, which are always there.
    if (context->kind == DcKind::Memory || context->paletteBackground ||
        context->palette == DefaultPalette()) {
        return 0;
    }
    const PaletteObject* palette = FindPalette(context->palette);
    if (palette == nullptr) {
        return GDI_ERROR;
    }
    const UINT changed = TheSystemPalette().RealizeForeground(palette->Entries());
    if (changed != 0) {
        StoreOnDesktop();
    }
    return changed;
}

UINT WINAPI GetSystemPaletteEntries(HDC dc, UINT first, UINT count,
                                    LPPALETTEENTRY entries) noexcept {
    if (FindDeviceContext(dc) == nullptr) {
        return 0;
    }
    if (entries == nullptr) {
        return kSystemPaletteEntries;
    }
    return CopySystemPalette(first, count, entries);
}

COLORREF WINAPI GetNearestColor(HDC dc, COLORREF colour) noexcept {
    if (FindDeviceContext(dc) == nullptr) {
        return CLR_INVALID;
    }
    if (!TheDesktop().Screen().paletteDevice) {
        return colour & 0x00FFFFFFU; // a direct-colour screen shows every colour as it is
    }
    PALETTEENTRY entries[kSystemPaletteEntries];
    CopySystemPalette(0, kSystemPaletteEntries, entries);
    // Smallest squared distance, lowest index among equals, as every nearest-colour answer.
    UINT best = 0;
    long bestDistance = -1;
    for (UINT i = 0; i < kSystemPaletteEntries; ++i) {
        const long red = entries[i].peRed - static_cast<long>(GetRValue(colour));
        const long green = entries[i].peGreen - static_cast<long>(GetGValue(colour));
        const long blue = entries[i].peBlue - static_cast<long>(GetBValue(colour));
        const long distance = red * red + green * green + blue * blue;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return RGB(entries[best].peRed, entries[best].peGreen, entries[best].peBlue);
}

void orvel::testing::ResetSystemPalette() noexcept {
    TheSystemPalette().Reset();
    StoreOnDesktop();
}
