// The codes conversion records in the status record, named once for every file that sets them.
#pragma once

namespace orvel::convert::detail {

/// Class error: the object allocator gave no palette object to map colours onto.
constexpr unsigned long kPaletteObjectMissing = 3;
/// Class error: the picture's depth is not one of 1, 4, 8, 16, 24 and 32 bits per pixel.
constexpr unsigned long kPictureDepthRefused = 101;
/// Class error: the requested depth is not one of the six, or is the picture's own direct-colour
/// depth reached through the converter table.
constexpr unsigned long kRequestedDepthRefused = 102;
/// Program error: a block the conversion needs cannot be locked, or does not hold its rows.
constexpr unsigned long kBlockUnreachable = 14;

} // namespace orvel::convert::detail
