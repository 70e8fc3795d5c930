#include "pixel_colours.h"

#include "gdi_objects.h"

#include <algorithm>

namespace orvel::platform::detail {

PixelColours::PixelColours(int bitsPerPixel, const PaletteObject* palette)
    : bitsPerPixel_(bitsPerPixel) {
    switch (bitsPerPixel) {
    case 16:
        valueMask_ = 0x7FFFU;
        return;
    case 24:
    case 32:
        valueMask_ = 0xFFFFFFU;
        return;
    default:
        valueMask_ = (1U << bitsPerPixel) - 1U;
        break;
    }
    if (bitsPerPixel == 1) {
        table_[1] = {255, 255, 255, 0};
        return;
    }
    const std::vector<PALETTEENTRY>& entries = palette->Entries();
    const UINT usable = std::min<UINT>(static_cast<UINT>(entries.size()), 1U << bitsPerPixel);
    for (UINT i = 0; i < usable; ++i) {
        table_[i] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    }
    if (usable == entries.size()) {
        search_ = &palette->Search();
    } else {
        // Only the first 2^depth entries are reachable by an index of this depth, so the search
        // must not answer with a later one.
        ownedSearch_ = SharedNearestColourSearch(entries.data(), usable);
        search_ = ownedSearch_.get();
    }
}

COLORREF PixelColours::Decode(DWORD value) const noexcept {
    switch (bitsPerPixel_) {
    case 1:
    case 4:
    case 8: {
        const RGBQUAD& entry = table_[value & valueMask_];
        return RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
    }
    case 16:
        return RGB(Widen5((value >> 10) & 31U), Widen5((value >> 5) & 31U), Widen5(value & 31U));
    default:
        return RGB(static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 8),
                   static_cast<BYTE>(value));
    }
}

} // namespace orvel::platform::detail
