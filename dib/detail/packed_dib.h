// How much of a packed DIB of known length is colour table.
#pragma once

#include "../../platform/win/types.h"

#include <optional>

namespace orvel::dib::detail {

/// The colour count to build a packed DIB of `availableBytes` bytes with (MakeDib's count):
/// 0 — the full table of its depth — when the bytes hold the header, any BI_BITFIELDS masks, the
/// full table and the pixels; biClrUsed when they hold only that shorter table, as the published
/// format allows; nothing when they hold neither (a truncated or not 40-byte-header packed DIB,
/// or a picture over the size limit). A packed DIB whose length is not known is read with the
/// full table.
std::optional<WORD> PackedDibColourCount(const BYTE* packed, SIZE_T availableBytes) noexcept;

} // namespace orvel::dib::detail
