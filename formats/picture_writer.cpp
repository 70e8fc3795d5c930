// Pictures written as PNG or JPEG through the platform's codecs.
#include "detail/codec_errors.h"
#include "picture_formats.h"

#include "../platform/memory/global_memory.h"
#include "../platform/png/png_codec.h"
#include "../platform/win/bitmap_structs.h"

#include <new>

namespace orvel::formats {

namespace {

/// Runs `encode(packed, packedBytes, failure)` on the packed DIB behind the file header of the
/// canonical picture `block`, which the codecs check fits the block.
template <class Encode>
bool EncodeBlock(HGLOBAL block, Format format, Error* error, Encode&& encode) noexcept {
    Error failure;
    bool written = false;
    const SIZE_T blockBytes = block != nullptr ? GlobalSize(block) : 0;
    const auto* base = blockBytes > sizeof(BITMAPFILEHEADER)
                           ? static_cast<const BYTE*>(GlobalLock(block))
                           : nullptr;
    if (base == nullptr) {
        failure = Error{Failure::badPicture, format, "no picture to write"};
    } else if (format != Format::png && format != Format::jpeg) {
        failure = Error{Failure::unsupported, format,
                        std::string("cannot write ") + FormatName(format) +
                            " here: BMP files are written by CDib::SaveAs"};
        GlobalUnlock(block);
    } else {
        const auto* packed =
            reinterpret_cast<const BITMAPINFOHEADER*>(base + sizeof(BITMAPFILEHEADER));
        written = encode(packed, blockBytes - sizeof(BITMAPFILEHEADER), failure);
        GlobalUnlock(block);
    }
    if (error != nullptr) {
        *error = written ? Error{} : std::move(failure);
    }
    return written;
}

/// The JPEG encoder on a block, into a vector or a sink alike.
template <class Output>
bool EncodeJpegBlock(HGLOBAL block, const WriteOptions& options, Output output,
                     Error* error) noexcept {
    return EncodeBlock(
        block, Format::jpeg, error,
        [&](const BITMAPINFOHEADER* packed, std::size_t packedBytes, Error& failure) {
            jpeg::Error codecError;
            const bool written = jpeg::EncodeJpeg(
                packed, packedBytes, jpeg::WriteOptions{options.jpegQuality}, output, &codecError);
            failure = detail::FromJpegError(codecError);
            return written;
        });
}

} // namespace

bool EncodePicture(HGLOBAL block, Format format, const WriteOptions& options,
                   std::vector<std::uint8_t>* bytes, Error* error) noexcept {
    if (format == Format::jpeg) {
        return EncodeJpegBlock(block, options, bytes, error);
    }
    return EncodeBlock(
        block, format, error,
        [&](const BITMAPINFOHEADER* packed, std::size_t packedBytes, Error& failure) {
            png::Error codecError;
            const bool written =
                png::EncodePng(packed, packedBytes, png::WriteOptions{options.pngCompressionLevel},
                               bytes, &codecError);
            failure = detail::FromPngError(codecError);
            return written;
        });
}

bool EncodePicture(HGLOBAL block, Format format, const WriteOptions& options, const ByteSink& sink,
                   Error* error) noexcept {
    if (format == Format::jpeg) {
        return EncodeJpegBlock<const ByteSink&>(block, options, sink, error);
    }
    // The PNG writer hands its strips on into one buffer of its own: the file goes on whole. Other
    // formats are refused on the way, before anything reaches the sink.
    std::vector<std::uint8_t> bytes;
    if (!EncodePicture(block, format, options, &bytes, error)) {
        return false;
    }
    bool taken = false;
    try {
        taken = sink(bytes.data(), bytes.size());
    } catch (...) {
        taken = false;
    }
    if (!taken && error != nullptr) {
        *error = Error{Failure::fileError, format, "PNG: the file could not be written"};
    }
    return taken;
}

std::string CodecVersions() {
    return std::string(png::PngLibraryVersion()) + ", " + jpeg::JpegLibraryVersion();
}

} // namespace orvel::formats
