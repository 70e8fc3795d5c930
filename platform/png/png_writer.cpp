// Writing PNG: a packed DIB of any of the six depths, row by row, into a byte vector.
#include "detail/libpng_session.h"
#include "png_codec.h"

#include "../packed_dib/packed_dib.h"
#include "../win/error.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

namespace orvel::png {
namespace {

using detail::MakeError;

struct WriteSession : detail::Session {
    std::vector<std::uint8_t>* out = nullptr;
    packed::PackedDib dib;
    int compressionLevel = 6;
    std::vector<png_byte> scratch; ///< one RGB row of a 16-bit picture
};

void WriteToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* session = static_cast<WriteSession*>(png_get_io_ptr(png));
    bool grown = true;
    try {
        session->out->insert(session->out->end(), data, data + length);
    } catch (...) {
        grown = false;
    }
    if (!grown) {
        session->outOfMemory = true;
        png_error(png, "out of memory");
    }
}

void FlushNothing(png_structp /*png*/) {}

/// Every libpng call of an encode, under one setjmp (see RunDecode for why nothing here owns
/// anything).
bool RunEncode(WriteSession& session) {
    if (setjmp(png_jmpbuf(session.png)) != 0) {
        return false;
    }
    png_structp png = session.png;
    png_infop info = session.info;
    const packed::PackedDib& dib = session.dib;
    png_set_write_fn(png, &session, WriteToVector, FlushNothing);
    png_set_compression_level(png, session.compressionLevel);

    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    if (dib.bitCount <= 8) {
        colourType = PNG_COLOR_TYPE_PALETTE;
        bitDepth = dib.bitCount;
    } else if (dib.hasAlpha) {
        colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    }
    png_set_IHDR(png, info, dib.width, dib.height, bitDepth, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (dib.bitCount <= 8) {
        // The whole table of the depth: entries a short table leaves out are black, as the
        // library reads such a table, and every index the rows may hold stays valid.
        std::array<png_color, 256> palette{};
        for (int i = 0; i < dib.tableEntries; ++i) {
            palette[i] =
                png_color{dib.table[i].rgbRed, dib.table[i].rgbGreen, dib.table[i].rgbBlue};
        }
        png_set_PLTE(png, info, palette.data(), 1 << dib.bitCount);
    }
    if (dib.bitCount == 16) {
        png_color_8 significant{};
        significant.red = significant.green = significant.blue = 5;
        png_set_sBIT(png, info, &significant);
    }
    if (dib.xPelsPerMeter > 0 && dib.yPelsPerMeter > 0) {
        png_set_pHYs(png, info, static_cast<png_uint_32>(dib.xPelsPerMeter),
                     static_cast<png_uint_32>(dib.yPelsPerMeter), PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    if (dib.bitCount >= 24) {
        png_set_bgr(png);
    }
    if (dib.bitCount == 32 && !dib.hasAlpha) {
        png_set_filler(png, 0, PNG_FILLER_AFTER); // the fourth byte is dropped
    }

    // PNG rows run top-down: a bottom-up DIB is written from its last row.
    std::ptrdiff_t step = 0;
    const BYTE* row = dib.TopRow(step);
    for (std::uint32_t y = 0; y < dib.height; ++y, row += step) {
        if (dib.bitCount == 16) {
            packed::WidenRow555(row, dib.width, session.scratch.data());
            png_write_row(png, session.scratch.data());
        } else {
            png_write_row(png, row);
        }
    }
    png_write_end(png, nullptr);
    return true;
}

} // namespace

bool EncodePng(const BITMAPINFOHEADER* header, std::size_t byteCount, const WriteOptions& options,
               std::vector<std::uint8_t>* png, Error* error) noexcept {
    Error failure;
    try {
        WriteSession session;
        if (png == nullptr) {
            failure = MakeError(Failure::badPicture, "PNG: no vector to write into");
        } else if (options.compressionLevel < 0 || options.compressionLevel > 9) {
            failure = MakeError(Failure::unsupported, "PNG: compression level " +
                                                          std::to_string(options.compressionLevel) +
                                                          " is not 0 to 9");
        } else if (std::string reason;
                   !packed::FindPackedDib(header, byteCount, session.dib, reason)) {
            failure = MakeError(Failure::badPicture, "PNG: cannot write this DIB: " + reason);
        } else {
            session.compressionLevel = options.compressionLevel;
            session.out = png;
            png->clear();
            if (session.dib.bitCount == 16) {
                session.scratch.resize(std::uint64_t{session.dib.width} * 3);
            }
            session.png =
                png_create_write_struct(PNG_LIBPNG_VER_STRING, &session, detail::RecordLibpngError,
                                        detail::IgnoreLibpngWarning);
            if (session.png != nullptr) {
                session.info = png_create_info_struct(session.png);
            }
            const bool written = session.info != nullptr && RunEncode(session);
            if (session.png != nullptr) {
                png_destroy_write_struct(&session.png,
                                         session.info != nullptr ? &session.info : nullptr);
            }
            if (written) {
                if (error != nullptr) {
                    *error = Error{};
                }
                return true;
            }
            if (session.info == nullptr) {
                session.outOfMemory = true;
            }
            failure = detail::ErrorFromSession(session);
            png->clear();
        }
    } catch (const std::bad_alloc&) {
        failure = MakeError(Failure::noMemory, "PNG: no memory");
    }
    if (failure.failure == Failure::noMemory) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (error != nullptr) {
        *error = std::move(failure);
    }
    return false;
}

const char* PngLibraryVersion() noexcept {
    return "libpng " PNG_LIBPNG_VER_STRING;
}

} // namespace orvel::png
