// Repacking of BI_BITFIELDS rows into the library's own direct-colour forms.
#pragma once

#include "../../platform/win/types.h"

#include <array>

namespace orvel::dib::detail {

/// One row of 5-6-5 pixels into 24-bit blue, green, red, each field widened by repeating its top
/// bits (v << 3 | v >> 2, and v << 2 | v >> 4 for green): the library's 5-5-5 form would drop
/// green's sixth bit, and the widening is undone exactly by keeping each byte's top bits.
void RepackRow565To24(const BYTE* source, BYTE* target, DWORD width) noexcept;

/// One row of 32-bit pixels whose blue, green and red sit in the bytes `channelByte` names into
/// blue, green, red, 0.
void RepackRow32ToBgr0(const BYTE* source, BYTE* target, DWORD width,
                       const std::array<BYTE, 3>& channelByte) noexcept;

} // namespace orvel::dib::detail
