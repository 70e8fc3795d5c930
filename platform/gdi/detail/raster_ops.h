// The raster operations StretchDIBits knows: how a source pixel S and the destination pixel D
// under it make the new destination pixel. They work on pixel values bit by bit, within the bits
// a value of the destination has, as on a display: on indexed surfaces they combine indexes.
#pragma once

#include "../../win/types.h"

namespace orvel::platform::detail {

enum class RasterOp {
    SourceCopy,        ///< S
    SourcePaint,       ///< S | D
    SourceAnd,         ///< S & D
    SourceInvert,      ///< S ^ D
    SourceErase,       ///< S & ~D
    NotSourceCopy,     ///< ~S
    NotSourceErase,    ///< ~(S | D)
    DestinationInvert, ///< ~D
    Blackness,         ///< all bits 0
    Whiteness,         ///< all bits 1
};

/// The operation of a published ternary raster-operation code; false for any other code.
bool RasterOpFromCode(DWORD code, RasterOp& op) noexcept;

constexpr bool UsesSource(RasterOp op) noexcept {
    return op != RasterOp::DestinationInvert && op != RasterOp::Blackness &&
           op != RasterOp::Whiteness;
}

constexpr bool UsesDestination(RasterOp op) noexcept {
    return op != RasterOp::SourceCopy && op != RasterOp::NotSourceCopy &&
           op != RasterOp::Blackness && op != RasterOp::Whiteness;
}

/// destination[i] = op(source[i], destination[i]) & mask for i < count. `source` is not read by
/// operations that do not use it.
void CombineRow(RasterOp op, const DWORD* source, DWORD* destination, int count,
                DWORD mask) noexcept;

} // namespace orvel::platform::detail
