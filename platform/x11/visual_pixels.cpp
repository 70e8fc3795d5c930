#include "visual_pixels.h"

#include <bit>
#include <cstring>

namespace orvel::platform::detail {
namespace {

int BytesPerPixel(int bitsPerPixel) noexcept {
    return bitsPerPixel / 8;
}

} // namespace

VisualPixels::VisualPixels(const VisualFormat& format) : format_(format) {
    const auto describe = [](std::uint32_t mask) {
        Channel channel;
        channel.mask = mask;
        channel.shift = mask != 0 ? std::countr_zero(mask) : 0;
        channel.width = std::popcount(mask);
        return channel;
    };
    red_ = describe(format.redMask);
    green_ = describe(format.greenMask);
    blue_ = describe(format.blueMask);
    // A channel narrower than 8 bits keeps its sample's high bits; a wider one repeats them below,
    // so that 255 stays the channel's full value.
    const auto fill = [](const Channel& channel, std::array<std::uint32_t, 256>& table) {
        for (std::uint32_t sample = 0; sample < 256; ++sample) {
            std::uint32_t value = 0;
            if (channel.width > 0 && channel.width <= 8) {
                value = sample >> (8 - channel.width);
            } else if (channel.width > 8) {
                value = (sample << (channel.width - 8)) | (sample >> (16 - channel.width));
            }
            table[sample] = (value << channel.shift) & channel.mask;
        }
    };
    fill(red_, redTable_);
    fill(green_, greenTable_);
    fill(blue_, blueTable_);
    plainCopy_ = !format.indexed && format.bitsPerPixel == 32 && !format.mostSignificantFirst &&
                 format.redMask == 0xFF0000U && format.greenMask == 0xFF00U &&
                 format.blueMask == 0xFFU;
    if (format.indexed) {
        SetColormap(nullptr, 0);
    }
}

void VisualPixels::SetColormap(const PALETTEENTRY* entries, UINT entryCount) {
    static const PALETTEENTRY kBlack{0, 0, 0, 0};
    if (entries == nullptr || entryCount == 0) {
        entries = &kBlack;
        entryCount = 1;
    }
    entryCount = entryCount > 256 ? 256 : entryCount;
    colormap_.fill(0);
    for (UINT i = 0; i < entryCount; ++i) {
        colormap_[i] = std::uint32_t{entries[i].peBlue} | std::uint32_t{entries[i].peGreen} << 8U |
                       std::uint32_t{entries[i].peRed} << 16U;
    }
    search_ = SharedNearestColourSearch(entries, entryCount);
}

std::uint32_t VisualPixels::PackedValue(BYTE blue, BYTE green, BYTE red) const noexcept {
    if (format_.indexed) {
        const COLORREF colour = RGB(red, green, blue);
        const NearestCell* cell = search_->CellFor(colour);
        return cell != nullptr ? NearestOfCellPortable(*cell, colour)
                               : search_->FindWithoutCell(colour);
    }
    return redTable_[red] | greenTable_[green] | blueTable_[blue];
}

void VisualPixels::WriteValue(BYTE* pixel, std::uint32_t value) const noexcept {
    const int bytes = BytesPerPixel(format_.bitsPerPixel);
    if (format_.mostSignificantFirst) {
        for (int i = bytes - 1; i >= 0; --i, value >>= 8U) {
            pixel[i] = static_cast<BYTE>(value);
        }
    } else {
        for (int i = 0; i < bytes; ++i, value >>= 8U) {
            pixel[i] = static_cast<BYTE>(value);
        }
    }
}

std::uint32_t VisualPixels::ReadValue(const BYTE* pixel) const noexcept {
    const int bytes = BytesPerPixel(format_.bitsPerPixel);
    std::uint32_t value = 0;
    if (format_.mostSignificantFirst) {
        for (int i = 0; i < bytes; ++i) {
            value = value << 8U | pixel[i];
        }
    } else {
        for (int i = bytes - 1; i >= 0; --i) {
            value = value << 8U | pixel[i];
        }
    }
    return value;
}

BYTE VisualPixels::Widen(const Channel& channel, std::uint32_t value) noexcept {
    if (channel.width == 0) {
        return 0;
    }
    const std::uint32_t sample = (value & channel.mask) >> channel.shift;
    if (channel.width >= 8) {
        return static_cast<BYTE>(sample >> (channel.width - 8));
    }
    // Repeats the sample's bits from the top down, so that a full channel reads as 255.
    std::uint32_t widened = 0;
    for (int filled = 0; filled < 8; filled += channel.width) {
        widened = widened << channel.width | sample;
    }
    const int extra = ((8 + channel.width - 1) / channel.width) * channel.width - 8;
    return static_cast<BYTE>(widened >> extra);
}

void VisualPixels::Pack(const BYTE* colours, int count, BYTE* pixels) const noexcept {
    if (plainCopy_) {
        std::memcpy(pixels, colours, static_cast<std::size_t>(count) * 4);
        return;
    }
    const int step = BytesPerPixel(format_.bitsPerPixel);
    // Runs of one colour are common in pictures drawn on screen; the last answer is kept.
    std::uint32_t lastColour = 0xFFFFFFFFU;
    std::uint32_t lastValue = 0;
    for (const BYTE* end = colours + static_cast<std::size_t>(count) * 4; colours != end;
         colours += 4, pixels += step) {
        std::uint32_t colour = 0;
        std::memcpy(&colour, colours, 3);
        if (colour != lastColour) {
            lastColour = colour;
            lastValue = PackedValue(colours[0], colours[1], colours[2]);
        }
        WriteValue(pixels, lastValue);
    }
}

void VisualPixels::Unpack(const BYTE* pixels, int count, BYTE* colours) const noexcept {
    const int step = BytesPerPixel(format_.bitsPerPixel);
    for (BYTE* end = colours + static_cast<std::size_t>(count) * 4; colours != end;
         colours += 4, pixels += step) {
        const std::uint32_t value = ReadValue(pixels);
        if (format_.indexed) {
            const std::uint32_t colour = colormap_[value & 0xFFU];
            std::memcpy(colours, &colour, 4);
            continue;
        }
        colours[0] = Widen(blue_, value);
        colours[1] = Widen(green_, value);
        colours[2] = Widen(red_, value);
        colours[3] = 0;
    }
}

} // namespace orvel::platform::detail
