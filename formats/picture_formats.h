/// @file
/// The formats module: pictures from the files people have, and pictures written for them.
///
/// It turns the bytes of a BMP of any common header version, a PNG or a JPEG into one canonical
/// DIB block, the form every picture of the library takes: a BITMAPFILEHEADER, a 40-byte BI_RGB
/// BITMAPINFOHEADER, 1, 4, 8, 16, 24 or 32 bits per pixel, the full colour table of an indexed
/// depth, bottom-up rows. An application hands the block to `CDib::AttachHandle`, or calls
/// `LoadPicture`. It also writes a picture as PNG or JPEG; BMP stays `CDib::SaveAs`. The module
/// sits on the foundation and the platform's codecs and never on `CDib`'s workings.
///
/// What a BMP becomes (PNG and JPEG: see platform/png/png_codec.h and platform/jpeg/jpeg_codec.h):
/// - headers of 12 (OS/2 1.x), 16 to 64 (OS/2 2.x), 40, 52, 56, 108 (V4) and 124 (V5) bytes;
/// - 1, 4 and 8 bits stay indexed with the full table of the depth (entries a file does not store
///   are black); 2 bits widen to 4; 16-bit BI_RGB stays 5-5-5; 24 and 32-bit BI_RGB stay as they
///   are, the fourth byte of a 32-bit pixel included;
/// - BI_BITFIELDS and BI_ALPHABITFIELDS with any contiguous, non-overlapping masks: the library's
///   own 5-5-5 masks stay 16 bits; a picture with an alpha mask becomes 32 bits with the alpha in
///   the fourth byte; any other masks (5-6-5 among them) become 24 bits. A field of up to 8 bits
///   is widened by repeating its bits downwards (v << 3 | v >> 2 for five bits), as the library
///   widens its own 16-bit pixels; a wider field keeps its top 8 bits;
/// - BI_RLE8, BI_RLE4 and OS/2's RLE24 (codes as RLE8's, each value three bytes) are decoded; a
///   stream that ends early or leaves the picture keeps what was decoded, the rest black (index
///   0), as the library decodes its own run-length files;
/// - BI_JPEG and BI_PNG are decoded through the JPEG and PNG codecs;
/// - colour-space data (V4/V5 endpoints, gamma, profiles) never changes a pixel: pictures are
///   taken as sRGB. `InspectPicture` reports it;
/// - refused, with a message naming the header and the fault: OS/2 Huffman 1D, other
///   depths and codings, masks that are not contiguous or overlap, top-down run-length pictures,
///   rows that run past the end of the file, and any picture over the limit, before anything is
///   allocated for it.
#pragma once

#include "../dib/picture_limits.h"
#include "../library/export.h"
#include "../platform/jpeg/jpeg_codec.h"
#include "../platform/win/types.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvel::formats {

/// The file formats the module knows.
enum class Format {
    unknown,
    bmp,
    png,
    jpeg,
};

/// "BMP", "PNG", "JPEG" or "unknown".
ORVEL_EXT_CLASS const char* FormatName(Format format) noexcept;

/// The format a file's first bytes show; `Format::unknown` for anything else.
ORVEL_EXT_CLASS Format FormatOfBytes(const void* bytes, std::size_t byteCount) noexcept;

/// The format an output path's extension names (.bmp, .dib, .png, .jpg, .jpeg, .jpe, any case).
ORVEL_EXT_CLASS Format FormatOfExtension(const std::string& path) noexcept;

/// Why a picture could not be read or written.
enum class Failure {
    none,
    unknownFormat, ///< the bytes are no BMP, PNG or JPEG
    unsupported,   ///< a valid file in a form the module does not decode
    tooLarge,      ///< over the limit; refused before anything was allocated for it
    corrupt,       ///< a field, chunk, marker or table that cannot be right
    truncated,     ///< the data ends before the picture does
    noMemory,      ///< a block could not be made (ERROR_NOT_ENOUGH_MEMORY)
    fileError,     ///< the file could not be read or written
    badPicture,    ///< writing: the block is not a canonical picture
};

/// A failure, the format it concerns and a sentence naming the header version or chunk and
/// what is wrong, such as "BMP BITMAPV5HEADER (124 bytes): the red and green masks overlap".
struct Error {
    Failure failure = Failure::none; ///< what kind of failure; none on success
    Format format = Format::unknown; ///< the format of the file or of the write
    std::string message;             ///< the sentence, for people
};

/// The colour-space data of a V4 or V5 BMP header, reported and never applied.
struct ColourSpaceData {
    bool present = false; ///< the header is V4 or V5
    DWORD type = 0;       ///< bV4CSType: 'sRGB', 'Win ', 'LINK', 'MBED' or 0 (calibrated)
    std::array<LONG, 9> endpoints{}; ///< red, green, blue CIEXYZ endpoints, 2.30 fixed point
    std::array<DWORD, 3> gamma{};    ///< red, green, blue gamma, 16.16 fixed point
    DWORD intent = 0;                ///< V5 rendering intent
    DWORD profileOffset = 0;         ///< V5: from the start of the header to the profile
    DWORD profileBytes = 0;          ///< V5: size of the embedded profile or linked file name
};

/// What a file's headers say, read without decoding its pixels.
struct PictureFacts {
    Format format = Format::unknown; ///< by the file's first bytes
    std::string header;              ///< "BITMAPV5HEADER (124 bytes)", "PNG", "JPEG, progressive"
    DWORD headerBytes = 0;           ///< BMP: the information header's size
    std::int64_t width = 0;          ///< in pixels, as stored (JPEG: before any orientation)
    std::int64_t height = 0;         ///< positive
    bool topDown = false;            ///< BMP: rows stored top row first
    int bitsPerPixel = 0;            ///< as stored (JPEG: 8 per component)
    std::string coding;              ///< "BI_RGB", "BI_BITFIELDS", "palette, 4-bit", "YCbCr", ...
    std::array<DWORD, 4> masks{};    ///< BMP bit fields: red, green, blue, alpha
    DWORD colourEntries = 0;         ///< colour entries the file stores
    WORD dibBitCount = 0;            ///< the depth ReadPicture gives it
    int orientation = 1;             ///< JPEG: EXIF orientation
    ColourSpaceData colourSpace;     ///< BMP V4 and V5 headers only
};

/// Reads the headers of a BMP, PNG or JPEG. FALSE with `error` set when they are refused.
ORVEL_EXT_CLASS bool InspectPicture(const void* bytes, std::size_t byteCount, PictureFacts* facts,
                                    Error* error) noexcept;

/// How pictures are read.
struct ReadOptions {
    /// The largest pixel area accepted, in bytes of canonical rows: the library's own limit.
    std::uint64_t maxPixelBytes = kDibMaxPixelBytes;
    /// JPEG: whether the EXIF orientation turns the picture (it does by default).
    jpeg::Orientation orientation = jpeg::Orientation::applied;
};

/// Decodes a whole BMP, PNG or JPEG into a new canonical block (GMEM_MOVEABLE, unlocked), owned
/// by the caller. Null with `error` set on failure, with nothing left allocated.
ORVEL_EXT_CLASS HGLOBAL ReadPicture(const void* bytes, std::size_t byteCount,
                                    const ReadOptions& options, Error* error) noexcept;

/// ReadPicture of a whole file. A file that cannot be read is Failure::fileError.
ORVEL_EXT_CLASS HGLOBAL ReadPictureFile(const std::string& path, const ReadOptions& options,
                                        Error* error) noexcept;

/// How pictures are written.
struct WriteOptions {
    int pngCompressionLevel = 6; ///< zlib level, 0 (none) to 9 (smallest)
    int jpegQuality = 90;        ///< 1 (smallest) to 100 (best)
};

/// Encodes the canonical picture `block` (a block as a `CDib` holds it) as PNG or JPEG into
/// `bytes`. Indexed pictures become palette PNGs. FALSE with `error` set when the block is not a
/// canonical picture or `format` is neither PNG nor JPEG.
ORVEL_EXT_CLASS bool EncodePicture(HGLOBAL block, Format format, const WriteOptions& options,
                                   std::vector<std::uint8_t>* bytes, Error* error) noexcept;

/// Takes a file's bytes a piece at a time, in order; false when it cannot (a write failed).
using ByteSink = std::function<bool(const std::uint8_t* bytes, std::size_t count)>;

/// Encodes as above, handing the file to `sink` as it is made: a JPEG in pieces of 64 KiB, the
/// only part of it ever held in memory; a PNG whole, once done. FALSE with `error` set as above,
/// or with Failure::fileError when the sink refused the bytes.
ORVEL_EXT_CLASS bool EncodePicture(HGLOBAL block, Format format, const WriteOptions& options,
                                   const ByteSink& sink, Error* error) noexcept;

/// The versions of libpng and libjpeg the module was built with, such as
/// "libpng 1.6.39, libjpeg-turbo 2.1.5".
ORVEL_EXT_CLASS std::string CodecVersions();

} // namespace orvel::formats
