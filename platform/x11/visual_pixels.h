// The one place where the platform's pixels become an X visual's pixels and back.
//
// Surfaces that reach the screen hold 32-bit colours (blue, green, red, zero). An X server keeps
// pixels in the format of its visual: TrueColor pixels put each channel under a mask of the
// pixel value (any masks, 8 to 32 bits a pixel), PseudoColor pixels are indexes into a colormap.
// A row is converted by table lookups and shifts, never a multiplication, with the bytes of each
// pixel in the server's image byte order.
#pragma once

#include "../export.h"
#include "../gdi/detail/nearest_colour.h"
#include "../win/palette_structs.h"
#include "../win/types.h"

#include <array>
#include <cstdint>
#include <memory>

namespace orvel::platform::detail {

/// How a server keeps a visual's pixels in its images.
struct VisualFormat {
    int bitsPerPixel = 32;             ///< bits a pixel takes in an image row: 8, 16, 24 or 32
    bool mostSignificantFirst = false; ///< the image byte order
    bool indexed = false;              ///< PseudoColor: pixels are colormap indexes
    std::uint32_t redMask = 0;         ///< TrueColor: where each channel sits in the pixel value
    std::uint32_t greenMask = 0;
    std::uint32_t blueMask = 0;
};

// Exported for the tests, which hold it to each visual's published layout.
class ORVEL_PLATFORM_API VisualPixels {
public:
    /// The conversion for a TrueColor format; an indexed format converts through the colormap
    /// given with SetColormap (all black until then).
    explicit VisualPixels(const VisualFormat& format);

    /// The colormap that indexed pixels name. Colours map to the nearest entry (smallest squared
    /// RGB distance, lowest index among equals), as a palette device shows them.
    void SetColormap(const PALETTEENTRY* entries, UINT entryCount);

    const VisualFormat& Format() const noexcept { return format_; }
    /// Bytes `count` pixels take in the server's format.
    std::size_t RowBytes(int count) const noexcept {
        return static_cast<std::size_t>(count) * static_cast<std::size_t>(format_.bitsPerPixel) / 8;
    }

    /// Converts `count` 32-bit colours into the server's pixels.
    void Pack(const BYTE* colours, int count, BYTE* pixels) const noexcept;
    /// Converts `count` of the server's pixels into 32-bit colours (fourth byte zero).
    void Unpack(const BYTE* pixels, int count, BYTE* colours) const noexcept;

private:
    struct Channel {
        std::uint32_t mask = 0;
        int shift = 0;
        int width = 0;
    };
    std::uint32_t PackedValue(BYTE blue, BYTE green, BYTE red) const noexcept;
    std::uint32_t ReadValue(const BYTE* pixel) const noexcept;
    void WriteValue(BYTE* pixel, std::uint32_t value) const noexcept;
    static BYTE Widen(const Channel& channel, std::uint32_t value) noexcept;

    VisualFormat format_;
    bool plainCopy_ = false; // 32-bit B,G,R,X in little-endian order: rows are copied as they are
    Channel red_, green_, blue_;
    // A channel's 8-bit value already shifted into place.
    std::array<std::uint32_t, 256> redTable_{}, greenTable_{}, blueTable_{};
    // Indexed formats: the colormap as 32-bit colours and its nearest-colour search.
    std::array<std::uint32_t, 256> colormap_{};
    std::shared_ptr<const NearestColourSearch> search_;
};

} // namespace orvel::platform::detail
