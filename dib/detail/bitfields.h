// Repacking of BI_BITFIELDS rows into the library's own direct-colour forms.
#pragma once

#include "../../platform/win/types.h"

#include <array>

namespace orvel::dib::detail {

/// One row of 5-6-5 pixels into 5-5-5 (blue bits 0-4, green 5-9, red 10-14, bit 15 clear): green
/// loses its lowest bit.
void RepackRow565To555(const BYTE* source, BYTE* target, DWORD width) noexcept;

/// One row of 32-bit pixels whose blue, green and red sit in the bytes `channelByte` names into
/// blue, green, red, 0.
void RepackRow32ToBgr0(const BYTE* source, BYTE* target, DWORD width,
                       const std::array<BYTE, 3>& channelByte) noexcept;

} // namespace orvel::dib::detail
