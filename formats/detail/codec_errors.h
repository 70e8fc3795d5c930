// The platform codecs' errors, and the refusal of bytes no codec claims, in the module's terms.
#pragma once

#include "../../platform/png/png_codec.h"
#include "../picture_formats.h"

namespace orvel::formats::detail {

/// The PNG codec's error as the module's, with its message.
Error FromPngError(const png::Error& error);

/// The JPEG codec's error as the module's, with its message.
Error FromJpegError(const jpeg::Error& error);

/// Bytes that start with none of the three signatures the module reads.
Error UnknownFormatError();

} // namespace orvel::formats::detail
