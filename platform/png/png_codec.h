/// @file
/// PNG pictures to and from DIBs, through libpng.
///
/// The clipboard exchanges pictures with other programs as PNG, and the formats module reads and
/// writes PNG files; both go through this one codec. It knows DIBs only as the published
/// structures (BITMAPINFOHEADER, RGBQUAD, bottom-up rows padded to 4 bytes), never the library
/// built on top of the platform.
///
/// What a decoded picture holds, by the PNG's colour type:
/// - palette (type 3) with every tRNS alpha 255 or no tRNS: an indexed DIB of the smallest depth of
///   1, 4 or 8 bits whose table holds the PLTE entries (the rest of the table is zero). A pixel
///   whose index lies beyond the PLTE is refused as corrupt data;
/// - grey (type 0) without tRNS: an indexed DIB of a grey ramp, 1 bit for 1-bit grey, 4 bits for
///   2- and 4-bit grey (2-bit grey is widened to 4), 8 bits for 8- and 16-bit grey;
/// - RGB (type 2) without tRNS: 24 bits;
/// - anything with alpha (types 4 and 6, or a tRNS chunk that makes some pixel less than opaque):
///   32 bits, blue, green, red and alpha, the alpha unpremultiplied as PNG stores it;
/// - 16-bit samples are rounded to 8 bits (v * 255 / 65535, to nearest). Gamma, chromaticity and
///   ICC data leave the samples as they are: pictures are taken as sRGB.
///
/// What an encoded PNG holds, by the DIB's depth: 1, 4 and 8 bits become a palette PNG of the
/// same depth with the whole colour table as its PLTE; 16 bits (5-5-5) becomes 8-bit RGB with each
/// 5-bit field widened (v << 3 | v >> 2) and an sBIT chunk of 5 bits; 24 bits becomes RGB; 32 bits
/// becomes RGBA when any fourth byte is non-zero and RGB otherwise (a 32-bit DIB whose fourth
/// bytes are all zero is an opaque picture, as the library makes them).
#pragma once

#include "../export.h"
#include "../win/bitmap_structs.h"
#include "../win/types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvel::png {

/// Where the information header of a decoded picture sits in the block made for it.
enum class DibLayout {
    packed,         ///< at offset 0: a packed DIB, as a CF_DIB block holds it
    withFileHeader, ///< after a BITMAPFILEHEADER, as a picture block of the library holds it
};

/// Why a PNG could not be read or written.
enum class Failure {
    none,
    notPng,      ///< the bytes do not start with the PNG signature
    unsupported, ///< a valid PNG this codec does not turn into a DIB
    tooLarge,    ///< its pixels would exceed the caller's limit; refused before any allocation
    corrupt,     ///< a bad chunk, a CRC error, bad compressed data or an impossible field
    truncated,   ///< the data ends before the picture does
    noMemory,    ///< a block or buffer could not be made (ERROR_NOT_ENOUGH_MEMORY)
    badPicture,  ///< encoding: the DIB is not one of the canonical forms described above
};

/// A failure and a sentence that names the chunk or field and what is wrong with it, such as
/// "PNG IHDR: 100000 x 100000 pixels exceed the limit of 1073741824 bytes".
struct Error {
    Failure failure = Failure::none; ///< what kind of failure; Failure::none after success
    std::string message;             ///< the sentence; empty after success
};

/// The header of a PNG, read without decoding any pixel.
struct PngHeader {
    std::uint32_t width = 0;      ///< width in pixels
    std::uint32_t height = 0;     ///< height in pixels
    int bitDepth = 0;             ///< bits per sample: 1, 2, 4, 8 or 16
    int colourType = 0;           ///< 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
    bool interlaced = false;      ///< Adam7
    int paletteEntries = 0;       ///< PLTE entries (palette and, where present, other colour types)
    bool hasTransparency = false; ///< a tRNS chunk is present
    WORD dibBitCount = 0;         ///< the depth DecodePng gives this file: 1, 4, 8, 24 or 32
};

/// Reads the signature and the chunks up to the first IDAT. FALSE with `error` set when the bytes
/// are not a PNG or its header chunks are bad.
ORVEL_PLATFORM_API bool ReadPngHeader(const void* bytes, std::size_t byteCount, PngHeader* header,
                                      Error* error) noexcept;

/// Decodes a whole PNG into a new global block (GMEM_MOVEABLE | GMEM_ZEROINIT, unlocked) laid
/// out as `layout` says: a 40-byte BI_RGB header with biSizeImage set, the full colour table of
/// an indexed depth, bottom-up rows. With a file header, bfSize is the block's size and bfOffBits
/// the offset of the rows. A picture whose rows would take more than `maxPixelBytes` is refused
/// before anything is allocated for it. Null with `error` set on failure, with nothing left
/// allocated; a picture is never returned with rows that were not decoded.
ORVEL_PLATFORM_API HGLOBAL DecodePng(const void* bytes, std::size_t byteCount, DibLayout layout,
                                     std::uint64_t maxPixelBytes, Error* error) noexcept;

/// How a DIB is written as PNG.
struct WriteOptions {
    int compressionLevel = 6; ///< zlib level, 0 (none) to 9 (smallest)
};

/// Encodes the packed DIB at `header`, of which `byteCount` bytes are readable: a 40-byte BI_RGB
/// header, 1, 4, 8, 16, 24 or 32 bits, the colour table biClrUsed says (0: the depth's full
/// table), then its rows (bottom-up for a positive height, top-down for a negative one). The PNG
/// replaces the contents of `png`. FALSE with `error` set when the DIB is not in that form or does
/// not fit in `byteCount`, or when memory runs out.
ORVEL_PLATFORM_API bool EncodePng(const BITMAPINFOHEADER* header, std::size_t byteCount,
                                  const WriteOptions& options, std::vector<std::uint8_t>* png,
                                  Error* error) noexcept;

/// The libpng version the platform was built with, such as "libpng 1.6.39".
ORVEL_PLATFORM_API const char* PngLibraryVersion() noexcept;

} // namespace orvel::png
