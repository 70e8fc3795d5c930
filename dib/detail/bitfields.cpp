#include "bitfields.h"

namespace orvel::dib::detail {

void RepackRow565To24(const BYTE* source, BYTE* target, DWORD width) noexcept {
    // Byte access throughout: rows of a block are only 2-byte aligned, and the stored form is
    // little-endian whatever the machine.
    for (const BYTE* end = source + 2 * std::size_t{width}; source != end;
         source += 2, target += 3) {
        const unsigned pixel = source[0] | (unsigned{source[1]} << 8);
        const unsigned red = pixel >> 11;
        const unsigned green = (pixel >> 5) & 0x3FU;
        const unsigned blue = pixel & 0x1FU;
        target[0] = static_cast<BYTE>(blue << 3 | blue >> 2);
        target[1] = static_cast<BYTE>(green << 2 | green >> 4);
        target[2] = static_cast<BYTE>(red << 3 | red >> 2);
    }
}

void RepackRow32ToBgr0(const BYTE* source, BYTE* target, DWORD width,
                       const std::array<BYTE, 3>& channelByte) noexcept {
    const unsigned blue = channelByte[0];
    const unsigned green = channelByte[1];
    const unsigned red = channelByte[2];
    // The fourth byte stays 0 from the block's zero fill: the library's 32-bit form has no alpha.
    for (const BYTE* end = source + 4 * std::size_t{width}; source != end;
         source += 4, target += 4) {
        target[0] = source[blue];
        target[1] = source[green];
        target[2] = source[red];
    }
}

} // namespace orvel::dib::detail
