// Pictures written as PNG or JPEG through the platform's codecs.
#include "detail/codec_errors.h"
#include "picture_formats.h"

#include "../platform/memory/global_memory.h"
#include "../platform/png/png_codec.h"
#include "../platform/win/bitmap_structs.h"

#include <new>

namespace orvel::formats {

bool EncodePicture(HGLOBAL block, Format format, const WriteOptions& options,
                   std::vector<std::uint8_t>* bytes, Error* error) noexcept {
    Error failure;
    bool written = false;
    const SIZE_T blockBytes = block != nullptr ? GlobalSize(block) : 0;
    const auto* base = blockBytes > sizeof(BITMAPFILEHEADER)
                           ? static_cast<const BYTE*>(GlobalLock(block))
                           : nullptr;
    if (base == nullptr) {
        failure = Error{Failure::badPicture, format, "no picture to write"};
    } else {
        // The codecs take the packed DIB behind the file header, and check it fits the block.
        const auto* packed =
            reinterpret_cast<const BITMAPINFOHEADER*>(base + sizeof(BITMAPFILEHEADER));
        const std::size_t packedBytes = blockBytes - sizeof(BITMAPFILEHEADER);
        if (format == Format::png) {
            png::Error codecError;
            written =
                png::EncodePng(packed, packedBytes, png::WriteOptions{options.pngCompressionLevel},
                               bytes, &codecError);
            failure = detail::FromPngError(codecError);
        } else if (format == Format::jpeg) {
            jpeg::Error codecError;
            written = jpeg::EncodeJpeg(packed, packedBytes, jpeg::WriteOptions{options.jpegQuality},
                                       bytes, &codecError);
            failure = detail::FromJpegError(codecError);
        } else {
            failure = Error{Failure::unsupported, format,
                            std::string("cannot write ") + FormatName(format) +
                                " here: BMP files are written by CDib::SaveAs"};
        }
        GlobalUnlock(block);
    }
    if (error != nullptr) {
        *error = written ? Error{} : std::move(failure);
    }
    return written;
}

std::string CodecVersions() {
    return std::string(png::PngLibraryVersion()) + ", " + jpeg::JpegLibraryVersion();
}

} // namespace orvel::formats
