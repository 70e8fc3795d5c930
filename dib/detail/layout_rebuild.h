// Rebuilding an uncompressed block into the canonical layout.
#pragma once

#include "../../platform/win/types.h"
#include "block_layout.h"

namespace orvel::dib::detail {

/// Makes the canonical block of a checked, uncompressed block with a 40-byte header (BI_RGB or
/// BI_BITFIELDS): a full colour table right after the header (entries the source does not store
/// are zero), bottom-up rows with a positive height, BI_RGB pixels in the library's own forms,
/// and biSizeImage and bfSize that are the picture's exact sizes. Every other header field is
/// kept. Null, with the platform's last error, when the block cannot be made.
HGLOBAL BuildCanonicalBlock(const BYTE* source, const BlockLayout& layout) noexcept;

} // namespace orvel::dib::detail
