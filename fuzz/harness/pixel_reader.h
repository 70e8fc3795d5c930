// Pixels of a picture read the way any BMP reader reads them, independently of the library's own
// converters: the check that a converted or resized picture shows what the original showed.
#pragma once

#include "run_checks.h"

#include <cstddef>

namespace orvel::fuzz {

/// Pictures up to this many pixels are compared pixel by pixel; larger ones only by their form.
constexpr std::size_t kComparedPixelsMax = 4096;

/// Whether `content` is small enough, and whole enough, to be compared pixel by pixel.
bool Comparable(const PictureContent& content);

/// The stored value of pixel (x, y), y counted from the top: an index, a 16-bit word, or
/// blue | green << 8 | red << 16 for 24 and 32 bits (the fourth byte left out).
DWORD StoredPixel(const PictureContent& content, LONG x, LONG y);

/// The colour pixel (x, y) shows: its colour-table entry when indexed, each 5-bit field shifted
/// left by 3 for 16 bits, its bytes for 24 and 32 bits.
COLORREF ShownColour(const PictureContent& content, LONG x, LONG y);

} // namespace orvel::fuzz
