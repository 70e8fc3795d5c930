// The orientation tag of an EXIF block (a JPEG's APP1 segment).
#pragma once

#include <cstddef>

namespace orvel::jpeg::detail {

/// The value 1..8 of tag 0x0112 in the first image directory of the APP1 segment `data` of
/// `length` bytes ("Exif\0\0" then a TIFF header, either byte order). 1, the picture as stored,
/// when the segment is not EXIF, has no such tag, or the tag or any offset is out of range.
int ExifOrientation(const unsigned char* data, std::size_t length) noexcept;

} // namespace orvel::jpeg::detail
