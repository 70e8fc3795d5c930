// A whole BMP file of any common version into a canonical picture block.
#pragma once

#include "../picture_formats.h"

#include <cstddef>

namespace orvel::formats::detail {

struct BmpHeader;

/// The depth that keeps every pixel of the stored form (see picture_formats.h); for BI_JPEG and
/// BI_PNG, the stored bit count.
WORD CanonicalBitCount(const BmpHeader& header) noexcept;

/// Decodes the BMP in `bytes` (see picture_formats.h for what each form becomes). Null with
/// `error` set on refusal, with nothing left allocated. `fileBlock`, when given, is the global
/// block that holds exactly `bytes`, the reader's own: when they already are a canonical picture,
/// that block is the result; otherwise its bytes are not needed afterwards, and the memory of a
/// run-length stream goes back part by part as it is decoded.
HGLOBAL ReadBmp(const BYTE* bytes, std::size_t byteCount, const ReadOptions& options, Error& error,
                HGLOBAL fileBlock = nullptr);

} // namespace orvel::formats::detail
