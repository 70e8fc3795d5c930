// The one way from bytes to a canonical picture: the format from the first bytes, then its reader.
#include "detail/bmp_reader.h"
#include "detail/codec_errors.h"
#include "picture_formats.h"

#include "../platform/png/png_codec.h"
#include "../platform/win/error.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>

namespace orvel::formats {

const char* FormatName(Format format) noexcept {
    switch (format) {
    case Format::bmp:
        return "BMP";
    case Format::png:
        return "PNG";
    case Format::jpeg:
        return "JPEG";
    default:
        return "unknown";
    }
}

Format FormatOfBytes(const void* bytes, std::size_t byteCount) noexcept {
    static constexpr BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto* first = static_cast<const BYTE*>(bytes);
    if (first == nullptr) {
        return Format::unknown;
    }
    if (byteCount >= 2 && first[0] == 'B' && first[1] == 'M') {
        return Format::bmp;
    }
    if (byteCount >= sizeof kPngSignature &&
        std::memcmp(first, kPngSignature, sizeof kPngSignature) == 0) {
        return Format::png;
    }
    if (byteCount >= 3 && first[0] == 0xFF && first[1] == 0xD8 && first[2] == 0xFF) {
        return Format::jpeg;
    }
    return Format::unknown;
}

Format FormatOfExtension(const std::string& path) noexcept {
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') {
        return Format::unknown;
    }
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "bmp" || extension == "dib") {
        return Format::bmp;
    }
    if (extension == "png") {
        return Format::png;
    }
    if (extension == "jpg" || extension == "jpeg" || extension == "jpe") {
        return Format::jpeg;
    }
    return Format::unknown;
}

HGLOBAL ReadPicture(const void* bytes, std::size_t byteCount, const ReadOptions& options,
                    Error* error) noexcept {
    Error failure;
    HGLOBAL block = nullptr;
    try {
        switch (FormatOfBytes(bytes, byteCount)) {
        case Format::bmp:
            block = detail::ReadBmp(static_cast<const BYTE*>(bytes), byteCount, options, failure);
            break;
        case Format::png: {
            png::Error codecError;
            block = png::DecodePng(bytes, byteCount, png::DibLayout::withFileHeader,
                                   options.maxPixelBytes, &codecError);
            if (block == nullptr) {
                failure = detail::FromPngError(codecError);
            }
            break;
        }
        case Format::jpeg: {
            jpeg::Error codecError;
            block = jpeg::DecodeJpeg(bytes, byteCount, options.orientation, options.maxPixelBytes,
                                     &codecError);
            if (block == nullptr) {
                failure = detail::FromJpegError(codecError);
            }
            break;
        }
        default:
            failure = detail::UnknownFormatError();
            break;
        }
    } catch (const std::bad_alloc&) {
        failure = Error{Failure::noMemory, FormatOfBytes(bytes, byteCount), "no memory"};
    }
    if (block == nullptr && failure.failure == Failure::noMemory) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (error != nullptr) {
        *error = block != nullptr ? Error{} : std::move(failure);
    }
    return block;
}

HGLOBAL ReadPictureFile(const std::string& path, const ReadOptions& options,
                        Error* error) noexcept {
    try {
        std::ifstream file(path, std::ios::binary | std::ios::ate);
        // One read of the whole file into a buffer of its size: a stream walked character by
        // character into a growing vector took four times as long as decoding a 48 MiB picture.
        // A file whose size cannot be told (a pipe) is read to its end as it comes.
        std::unique_ptr<char[]> whole;
        std::vector<char> bytes;
        std::size_t size = 0;
        const std::streamoff end = file ? static_cast<std::streamoff>(file.tellg()) : -1;
        if (end >= 0 && file.seekg(0)) {
            whole.reset(new char[static_cast<std::size_t>(end) + 1]);
            file.read(whole.get(), end);
            size = static_cast<std::size_t>(file.gcount());
        } else if (file) {
            file.clear();
            file.seekg(0);
            bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
            size = bytes.size();
        }
        if (!file && !file.eof()) {
            const int cause = errno;
            if (error != nullptr) {
                *error = Error{Failure::fileError, FormatOfExtension(path),
                               "cannot read '" + path + "': " + std::strerror(cause)};
            }
            return nullptr;
        }
        return ReadPicture(whole ? whole.get() : bytes.data(), size, options, error);
    } catch (const std::bad_alloc&) {
        if (error != nullptr) {
            *error = Error{Failure::noMemory, FormatOfExtension(path), "no memory"};
        }
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

} // namespace orvel::formats
