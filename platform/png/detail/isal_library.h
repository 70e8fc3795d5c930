// ISA-L, loaded when a PNG first needs it rather than when the platform loads.
//
// The faster PNG paths (plain_image_data, fast_deflate) are the only users of ISA-L. Loading it
// with the platform would cost every process, most of which read no PNG, the mapping and binding
// of one more library; loaded here, a machine without it reads and writes PNGs through zlib
// alone.
#pragma once

#if ORVEL_HAVE_ISAL
#include <cstdint>

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

namespace orvel::png::detail {

/// The ISA-L functions the PNG paths call.
struct IsalFunctions {
    void (*inflateInit)(inflate_state* state);
    int (*inflate)(inflate_state* state);
    std::uint32_t (*crc32Gzip)(std::uint32_t crc, const unsigned char* bytes, std::uint64_t count);
    void (*deflateInit)(isal_zstream* stream);
    int (*deflateSetDict)(isal_zstream* stream, std::uint8_t* dictionary, std::uint32_t count);
    int (*deflate)(isal_zstream* stream);
};

/// ISA-L's functions, loaded on the first call from any thread; null when the library is not
/// installed or lacks one of them.
const IsalFunctions* Isal() noexcept;

} // namespace orvel::png::detail
#endif
