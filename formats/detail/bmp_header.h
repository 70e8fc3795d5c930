// The headers of a BMP file of any common version, read and checked once.
//
// Whatever the version, the file header, the information header, the bit-field masks and the
// colour table are read here into one description; the decoders take the description and never
// read a header field themselves.
#pragma once

#include "../picture_formats.h"

#include <array>
#include <cstdint>

namespace orvel::formats::detail {

/// How the stored pixels are coded, whatever the header version calls it.
enum class BmpCoding : std::uint8_t {
    rgb,       ///< uncompressed, the depth's own layout
    bitFields, ///< uncompressed, fields under masks (BI_BITFIELDS, BI_ALPHABITFIELDS)
    rle8,
    rle4,
    rle24, ///< OS/2's run-length coding of 24-bit pixels
    jpeg,  ///< a whole JPEG file as the pixel data
    png,   ///< a whole PNG file as the pixel data
};

/// Whether the pixels are run-length codes rather than rows.
constexpr bool IsRunLength(BmpCoding coding) noexcept {
    return coding == BmpCoding::rle8 || coding == BmpCoding::rle4 || coding == BmpCoding::rle24;
}

/// A BMP file's headers, checked against the file's size.
struct BmpHeader {
    std::string version; ///< "BITMAPV5HEADER (124 bytes)"
    DWORD headerBytes = 0;
    bool os2 = false; ///< a 12-byte OS/2 1.x or a 16-to-64-byte OS/2 2.x header
    std::int64_t width = 0;
    std::int64_t rows = 0; ///< the absolute height
    bool topDown = false;
    WORD bitCount = 0;
    DWORD compression = 0; ///< as stored
    BmpCoding coding = BmpCoding::rgb;
    std::array<DWORD, 4> masks{}; ///< red, green, blue, alpha (bit fields only)
    DWORD tableOffset = 0;        ///< where the colour entries start
    DWORD entryBytes = 4;         ///< 3 for the OS/2 1.x header
    DWORD storedEntries = 0;      ///< entries stored before the pixels, at most 256
    DWORD pixelOffset = 0;        ///< bfOffBits
    DWORD pixelDataBytes = 0;     ///< from bfOffBits to the end of the data it may use
    DWORD fileBytes = 0;          ///< bfSize
    DWORD imageBytes = 0;         ///< biSizeImage (0 for the OS/2 1.x header)
    DWORD coloursUsed = 0;        ///< biClrUsed
    DWORD coloursImportant = 0;   ///< biClrImportant
    ColourSpaceData colourSpace;
};

/// Reads the headers of the BMP file in `bytes`. False with `error` set when they are refused;
/// nothing about the pixels is checked but that they start inside the file.
bool ReadBmpHeader(const BYTE* bytes, std::size_t byteCount, BmpHeader& header, Error& error);

/// "BI_RGB", "BI_BITFIELDS", ..., or the number.
std::string CompressionName(DWORD compression, bool os2);

} // namespace orvel::formats::detail
