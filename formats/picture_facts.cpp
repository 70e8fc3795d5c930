// What a file's headers say, for the tool's info and for applications that ask before reading.
#include "detail/bmp_header.h"
#include "detail/bmp_reader.h"
#include "detail/codec_errors.h"
#include "picture_formats.h"

#include "../platform/png/png_codec.h"

#include <new>

namespace orvel::formats {
namespace {

bool BmpFacts(const BYTE* bytes, std::size_t byteCount, PictureFacts& facts, Error& error) {
    detail::BmpHeader header;
    if (!detail::ReadBmpHeader(bytes, byteCount, header, error)) {
        return false;
    }
    facts.header = header.version;
    facts.headerBytes = header.headerBytes;
    facts.width = header.width;
    facts.height = header.rows;
    facts.topDown = header.topDown;
    facts.bitsPerPixel = header.bitCount;
    facts.coding = detail::CompressionName(header.compression, header.os2);
    facts.masks = header.masks;
    facts.colourEntries = header.storedEntries;
    facts.colourSpace = header.colourSpace;
    const bool embedded =
        header.coding == detail::BmpCoding::jpeg || header.coding == detail::BmpCoding::png;
    facts.dibBitCount = embedded ? 0 : detail::CanonicalBitCount(header);
    return true;
}

bool PngFacts(const void* bytes, std::size_t byteCount, PictureFacts& facts, Error& error) {
    png::PngHeader header;
    png::Error codecError;
    if (!png::ReadPngHeader(bytes, byteCount, &header, &codecError)) {
        error = detail::FromPngError(codecError);
        return false;
    }
    static constexpr const char* kColourTypes[] = {"grey",         "?", "RGB", "palette",
                                                   "grey + alpha", "?", "RGBA"};
    facts.header = header.interlaced ? "PNG, Adam7 interlaced" : "PNG";
    facts.width = header.width;
    facts.height = header.height;
    const int channels = header.colourType == 2   ? 3
                         : header.colourType == 4 ? 2
                         : header.colourType == 6 ? 4
                                                  : 1;
    facts.bitsPerPixel = header.bitDepth * channels;
    facts.coding = std::string(header.colourType >= 0 && header.colourType <= 6
                                   ? kColourTypes[header.colourType]
                                   : "?") +
                   ", " + std::to_string(header.bitDepth) + "-bit" +
                   (header.hasTransparency ? ", tRNS" : "");
    facts.colourEntries = static_cast<DWORD>(header.paletteEntries);
    facts.dibBitCount = header.dibBitCount;
    return true;
}

bool JpegFacts(const void* bytes, std::size_t byteCount, PictureFacts& facts, Error& error) {
    jpeg::JpegHeader header;
    jpeg::Error codecError;
    if (!jpeg::ReadJpegHeader(bytes, byteCount, &header, &codecError)) {
        error = detail::FromJpegError(codecError);
        return false;
    }
    static constexpr const char* kModels[] = {"grey", "YCbCr", "RGB", "CMYK", "YCCK", "other"};
    facts.header = header.progressive ? "JPEG, progressive" : "JPEG, baseline";
    facts.width = header.width;
    facts.height = header.height;
    facts.bitsPerPixel = 8 * header.components;
    facts.coding = kModels[static_cast<int>(header.colourModel)];
    facts.dibBitCount = header.dibBitCount;
    facts.orientation = header.orientation;
    return true;
}

} // namespace

bool InspectPicture(const void* bytes, std::size_t byteCount, PictureFacts* facts,
                    Error* error) noexcept {
    PictureFacts found;
    Error failure;
    bool read = false;
    try {
        found.format = FormatOfBytes(bytes, byteCount);
        switch (found.format) {
        case Format::bmp:
            read = BmpFacts(static_cast<const BYTE*>(bytes), byteCount, found, failure);
            break;
        case Format::png:
            read = PngFacts(bytes, byteCount, found, failure);
            break;
        case Format::jpeg:
            read = JpegFacts(bytes, byteCount, found, failure);
            break;
        default:
            failure = detail::UnknownFormatError();
            break;
        }
    } catch (const std::bad_alloc&) {
        failure = Error{Failure::noMemory, found.format, "no memory"};
    }
    if (read && facts != nullptr) {
        *facts = std::move(found);
    }
    if (error != nullptr) {
        *error = read ? Error{} : std::move(failure);
    }
    return read;
}

} // namespace orvel::formats
