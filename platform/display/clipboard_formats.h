// What crosses the desktop's clipboard: a CF_DIB block offered as image/bmp (a BMP file: a file
// header in front of the packed DIB) and image/png, and other programs' image/bmp and image/png
// turned back into CF_DIB blocks that the clipboard's readers check like any other.
#pragma once

#include "../win/types.h"

#include <memory>
#include <vector>

namespace orvel::platform::detail {

/// A BMP file of a packed DIB; null when the bytes are too short for the header they start with.
std::shared_ptr<const std::vector<BYTE>>
BmpFromPackedDib(const std::vector<BYTE>& packedDib) noexcept;
/// A PNG of a packed DIB; null when the codec refuses it.
std::shared_ptr<const std::vector<BYTE>>
PngFromPackedDib(const std::vector<BYTE>& packedDib) noexcept;

/// A new CF_DIB block (GMEM_MOVEABLE, unlocked) from a BMP file. The file header goes; a colour
/// table and pixels apart from each other are moved together; a 108- or 124-byte header becomes
/// the 40-byte header it starts with, its masks following it for BI_BITFIELDS. Null with
/// ERROR_INVALID_DATA for bytes that are no BMP file, ERROR_NOT_ENOUGH_MEMORY when no block can
/// be made.
HGLOBAL PackedDibFromBmp(const std::vector<BYTE>& file) noexcept;
/// A new CF_DIB block from a PNG: 24 bits for RGB, 32 bits (with alpha) for anything with
/// transparency, an indexed depth for palette and grey PNGs. Null with ERROR_INVALID_DATA or
/// ERROR_NOT_ENOUGH_MEMORY.
HGLOBAL PackedDibFromPng(const std::vector<BYTE>& png) noexcept;

} // namespace orvel::platform::detail
