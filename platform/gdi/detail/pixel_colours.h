// How the pixel values of a surface stand for colours.
//
// Direct-colour surfaces (16, 24, 32 bits) hold colours. Indexed surfaces hold indexes, and what
// an index means is decided when the surface is drawn on or read: a 1-bit surface is monochrome
// (0 black, 1 white), and a 4- or 8-bit surface's indexes are entries of the palette selected
// into the device context it is reached through, limited to the first 2^depth entries. So an
// application that selects a palette, draws colours of that palette into a bitmap and reads the
// bitmap back through a context with the same palette gets the same colours at every depth. An
// index beyond the palette's entries reads as black.
#pragma once

#include "../../win/bitmap_structs.h"
#include "../../win/types.h"
#include "nearest_colour.h"

#include <array>
#include <memory>

namespace orvel::platform::detail {

class PaletteObject;

class PixelColours {
public:
    /// The colour model of a surface of `bitsPerPixel` reached through a context whose selected
    /// palette is `palette` (only read for 4 and 8 bits). Throws std::bad_alloc only when a
    /// search for a palette prefix cannot be made.
    PixelColours(int bitsPerPixel, const PaletteObject* palette);

    int BitsPerPixel() const noexcept { return bitsPerPixel_; }
    bool IsIndexed() const noexcept { return bitsPerPixel_ <= 8; }
    /// The bits a pixel value has: raster operations keep results within them.
    DWORD ValueMask() const noexcept { return valueMask_; }

    /// The pixel value that stands for a colour: the colour itself, cut to 5-5-5 for 16 bits, or
    /// the nearest index for indexed surfaces.
    DWORD Encode(BYTE red, BYTE green, BYTE blue) const noexcept {
        switch (bitsPerPixel_) {
        case 1:
            return MonochromeIndex(red, green, blue);
        case 4:
        case 8:
            return search_->Find(red, green, blue);
        case 16:
            return Encode555(red, green, blue);
        default:
            return static_cast<DWORD>(blue | (green << 8) | (red << 16));
        }
    }

    /// The colour (COLORREF) a pixel value shows.
    COLORREF Decode(DWORD value) const noexcept;

    /// The colour-table entries an indexed surface reports (2^depth of them; black beyond the
    /// palette). Empty for direct-colour surfaces.
    const RGBQUAD* Table() const noexcept { return table_.data(); }
    int TableEntries() const noexcept { return bitsPerPixel_ <= 8 ? 1 << bitsPerPixel_ : 0; }

    static DWORD Encode555(BYTE red, BYTE green, BYTE blue) noexcept {
        return static_cast<DWORD>(((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3));
    }
    /// Five bits widened to eight by repeating the top bits, so that 31 reads back as 255.
    static BYTE Widen5(DWORD fiveBits) noexcept {
        return static_cast<BYTE>((fiveBits << 3) | (fiveBits >> 2));
    }
    /// Nearer to white than to black (squared RGB distance; ties go to black).
    static DWORD MonochromeIndex(BYTE red, BYTE green, BYTE blue) noexcept {
        const int toBlack = red * red + green * green + blue * blue;
        const int toWhite =
            (255 - red) * (255 - red) + (255 - green) * (255 - green) + (255 - blue) * (255 - blue);
        return toWhite < toBlack ? 1U : 0U;
    }

private:
    int bitsPerPixel_;
    DWORD valueMask_;
    std::array<RGBQUAD, 256> table_{};
    const NearestColourSearch* search_ = nullptr;
    std::shared_ptr<const NearestColourSearch> ownedSearch_;
};

} // namespace orvel::platform::detail
