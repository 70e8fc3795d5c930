/// @file
/// JPEG pictures to and from DIBs, through libjpeg-turbo.
///
/// The formats module reads and writes JPEG files through this codec, and BMP files that carry a
/// JPEG (BI_JPEG) are decoded by it too. Like the PNG codec it knows DIBs only as the published
/// structures, never the library built on top of the platform.
///
/// What a decoded picture holds:
/// - grey JPEGs: an 8-bit DIB whose table is the grey ramp 0..255, so every sample is kept;
/// - YCbCr and RGB JPEGs: 24 bits, as libjpeg-turbo converts them;
/// - CMYK and YCCK JPEGs: 24 bits, each channel (255 - C) x (255 - K) / 255 rounded, with the
///   inverted samples Adobe's writers store taken back first;
/// - the EXIF orientation (APP1 tag 0x0112) is applied by default, so the picture stands as a
///   viewer shows it; `Orientation::asStored` keeps the rows as coded.
/// Gamma and ICC data leave the samples as they are: pictures are taken as sRGB.
#pragma once

#include "../export.h"
#include "../win/bitmap_structs.h"
#include "../win/types.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvel::jpeg {

/// Why a JPEG could not be read or written.
enum class Failure {
    none,
    notJpeg,     ///< the bytes do not start with a JPEG start-of-image marker
    unsupported, ///< a valid JPEG this codec does not turn into a DIB (arithmetic coding, ...)
    tooLarge,    ///< its pixels would exceed the caller's limit; refused before decoding
    corrupt,     ///< a bad marker, table or entropy-coded segment
    truncated,   ///< the data ends before the picture does
    noMemory,    ///< a block or buffer could not be made (ERROR_NOT_ENOUGH_MEMORY)
    badPicture,  ///< encoding: the DIB is not a 40-byte BI_RGB picture of one of the six depths
    writeFailed, ///< encoding: the sink would not take the output
};

/// A failure and a sentence naming the marker or field and what is wrong with it.
struct Error {
    Failure failure = Failure::none; ///< what kind of failure; none on success
    std::string message;             ///< the sentence, for people
};

/// How the colour components are coded.
enum class ColourModel { grey, yCbCr, rgb, cmyk, ycck, other };

/// The header of a JPEG, read without decoding any pixel.
struct JpegHeader {
    std::uint32_t width = 0;                      ///< as coded, before any orientation
    std::uint32_t height = 0;                     ///< as coded, before any orientation
    int components = 0;                           ///< 1 (grey), 3 or 4
    ColourModel colourModel = ColourModel::other; ///< how the components are coded
    bool progressive = false;                     ///< progressive rather than baseline
    int orientation = 1;  ///< EXIF orientation 1..8; 1 when the file has none
    WORD dibBitCount = 0; ///< the depth DecodeJpeg gives this file: 8 or 24
};

/// Whether the EXIF orientation turns the picture.
enum class Orientation {
    applied,  ///< rows and columns as a viewer shows the picture
    asStored, ///< rows and columns as coded
};

/// Reads the markers up to the first scan. FALSE with `error` set when the bytes are not a JPEG
/// or its header is bad.
ORVEL_PLATFORM_API bool ReadJpegHeader(const void* bytes, std::size_t byteCount, JpegHeader* header,
                                       Error* error) noexcept;

/// Decodes a whole JPEG into a new global block (GMEM_MOVEABLE | GMEM_ZEROINIT, unlocked): a
/// BITMAPFILEHEADER, a 40-byte BI_RGB header with biSizeImage set, the grey ramp for 8 bits,
/// bottom-up rows; bfSize is the block's size. A picture whose rows would take more than
/// `maxPixelBytes` is refused before anything is allocated for it. Null with `error` set on
/// failure, with nothing left allocated; a truncated file is refused, never padded.
ORVEL_PLATFORM_API HGLOBAL DecodeJpeg(const void* bytes, std::size_t byteCount,
                                      Orientation orientation, std::uint64_t maxPixelBytes,
                                      Error* error) noexcept;

/// How a DIB is written as JPEG.
struct WriteOptions {
    int quality = 90; ///< 1 (smallest) to 100 (best)
};

/// Takes an encoder's output a piece at a time, in order; false when it cannot (a write failed),
/// which ends the encoding with Failure::writeFailed.
using ByteSink = std::function<bool(const std::uint8_t* bytes, std::size_t count)>;

/// Encodes the packed DIB at `header`, of which `byteCount` bytes are readable (the same form
/// EncodePng takes). Indexed pictures whose colours are all grey become grey JPEGs, every other
/// picture a YCbCr JPEG; a 32-bit picture's fourth byte is dropped. The file goes to `sink` in
/// pieces of 64 KiB, the only part of it held in memory at any time.
ORVEL_PLATFORM_API bool EncodeJpeg(const BITMAPINFOHEADER* header, std::size_t byteCount,
                                   const WriteOptions& options, const ByteSink& sink,
                                   Error* error) noexcept;

/// Encodes as above into memory: the JPEG replaces the contents of `jpeg`, which a failure leaves
/// as it was.
ORVEL_PLATFORM_API bool EncodeJpeg(const BITMAPINFOHEADER* header, std::size_t byteCount,
                                   const WriteOptions& options, std::vector<std::uint8_t>* jpeg,
                                   Error* error) noexcept;

/// The libjpeg-turbo version the platform was built with, such as "2.1.5 (libjpeg 6.2)".
ORVEL_PLATFORM_API const char* JpegLibraryVersion() noexcept;

} // namespace orvel::jpeg
