#include "codec_errors.h"

namespace orvel::formats::detail {
namespace {

template <class CodecFailure>
Failure FromCodecFailure(CodecFailure failure) noexcept {
    switch (failure) {
    case CodecFailure::none:
        return Failure::none;
    case CodecFailure::unsupported:
        return Failure::unsupported;
    case CodecFailure::tooLarge:
        return Failure::tooLarge;
    case CodecFailure::truncated:
        return Failure::truncated;
    case CodecFailure::noMemory:
        return Failure::noMemory;
    case CodecFailure::badPicture:
        return Failure::badPicture;
    default: // not the format, corrupt
        return Failure::corrupt;
    }
}

} // namespace

Error FromPngError(const png::Error& error) {
    return Error{FromCodecFailure(error.failure), Format::png, error.message};
}

Error FromJpegError(const jpeg::Error& error) {
    const Failure failure = error.failure == jpeg::Failure::writeFailed
                                ? Failure::fileError
                                : FromCodecFailure(error.failure);
    return Error{failure, Format::jpeg, error.message};
}

Error UnknownFormatError() {
    return Error{Failure::unknownFormat, Format::unknown,
                 "not a BMP, PNG or JPEG file (no signature of any)"};
}

} // namespace orvel::formats::detail
