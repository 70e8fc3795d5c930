// Writing PNG: a packed DIB of any of the six depths, row by row, into a byte vector.
#include "detail/libpng_session.h"
#include "png_codec.h"

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

/// The parts of a packed DIB the writer needs, found and checked before libpng starts.
struct DibLayoutFound {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitCount = 0;
    bool topDown = false;
    const RGBQUAD* table = nullptr;
    int tableEntries = 0;
    const BYTE* rows = nullptr;
    std::uint64_t stride = 0;
    bool hasAlpha = false; ///< 32 bits with some non-zero fourth byte
};

struct WriteSession : detail::Session {
    std::vector<std::uint8_t>* out = nullptr;
    DibLayoutFound dib;
    int compressionLevel = 6;
    LONG xPelsPerMeter = 0;
    LONG yPelsPerMeter = 0;
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

/// Finds the table and rows of the packed DIB at `header` and checks they lie within
/// `byteCount` bytes. False with `error` set when the DIB is not one this writer takes.
bool FindDib(const BITMAPINFOHEADER* header, std::size_t byteCount, DibLayoutFound& dib,
             Error& error) {
    auto refuse = [&error](const std::string& what) {
        error = MakeError(Failure::badPicture, "PNG: cannot write this DIB: " + what);
        return false;
    };
    if (header == nullptr || byteCount < sizeof(BITMAPINFOHEADER)) {
        return refuse("no 40-byte information header");
    }
    BITMAPINFOHEADER info{};
    std::memcpy(&info, header, sizeof info);
    if (info.biSize != sizeof info) {
        return refuse("a header of " + std::to_string(info.biSize) + " bytes, not 40");
    }
    if (info.biPlanes != 1 || info.biCompression != BI_RGB) {
        return refuse("compressed or multi-plane pixels");
    }
    const int bits = info.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return refuse(std::to_string(bits) + " bits per pixel");
    }
    // PNG has no empty picture, and the height's sign only says which way rows run.
    const std::int64_t signedHeight = info.biHeight;
    if (info.biWidth <= 0 || signedHeight == 0) {
        return refuse("an empty picture");
    }
    dib.width = static_cast<std::uint32_t>(info.biWidth);
    dib.topDown = signedHeight < 0;
    dib.height = static_cast<std::uint32_t>(signedHeight < 0 ? -signedHeight : signedHeight);
    dib.bitCount = bits;
    const std::uint64_t depthEntries = bits <= 8 ? std::uint64_t{1} << bits : 0;
    if (bits <= 8 && info.biClrUsed > depthEntries) {
        return refuse(std::to_string(info.biClrUsed) + " colours for " + std::to_string(bits) +
                      " bits");
    }
    const std::uint64_t tableEntries = info.biClrUsed != 0 ? info.biClrUsed : depthEntries;
    dib.stride = (std::uint64_t{dib.width} * bits + 31) / 32 * 4;
    const std::uint64_t tableOffset = sizeof info;
    const std::uint64_t rowsOffset = tableOffset + tableEntries * sizeof(RGBQUAD);
    // At most 2^31 rows of at most 2^37 bytes: the product is checked before it is formed.
    if (rowsOffset > byteCount || dib.height > (byteCount - rowsOffset) / dib.stride) {
        return refuse("its pixels run past the end of its " + std::to_string(byteCount) + " bytes");
    }
    const auto* base = reinterpret_cast<const BYTE*>(header);
    dib.table = reinterpret_cast<const RGBQUAD*>(base + tableOffset);
    dib.tableEntries = bits <= 8 ? static_cast<int>(tableEntries) : 0;
    dib.rows = base + rowsOffset;
    if (bits == 32) {
        const BYTE* row = dib.rows;
        for (std::uint32_t y = 0; y < dib.height && !dib.hasAlpha; ++y, row += dib.stride) {
            const BYTE* const end = row + std::uint64_t{dib.width} * 4;
            for (const BYTE* alpha = row + 3; alpha < end; alpha += 4) {
                if (*alpha != 0) {
                    dib.hasAlpha = true;
                    break;
                }
            }
        }
    }
    return true;
}

/// A row of 5-5-5 pixels as 8-bit RGB, each field widened so that 31 becomes 255.
void WidenRow555(const BYTE* row, std::uint32_t width, png_byte* rgb) noexcept {
    const BYTE* const end = row + std::uint64_t{width} * 2;
    for (; row != end; row += 2, rgb += 3) {
        const unsigned pixel = row[0] | unsigned{row[1]} << 8;
        const unsigned red = pixel >> 10 & 0x1F;
        const unsigned green = pixel >> 5 & 0x1F;
        const unsigned blue = pixel & 0x1F;
        rgb[0] = static_cast<png_byte>(red << 3 | red >> 2);
        rgb[1] = static_cast<png_byte>(green << 3 | green >> 2);
        rgb[2] = static_cast<png_byte>(blue << 3 | blue >> 2);
    }
}

/// Every libpng call of an encode, under one setjmp (see RunDecode for why nothing here owns
/// anything).
bool RunEncode(WriteSession& session) {
    if (setjmp(png_jmpbuf(session.png)) != 0) {
        return false;
    }
    png_structp png = session.png;
    png_infop info = session.info;
    const DibLayoutFound& dib = session.dib;
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
    if (session.xPelsPerMeter > 0 && session.yPelsPerMeter > 0) {
        png_set_pHYs(png, info, static_cast<png_uint_32>(session.xPelsPerMeter),
                     static_cast<png_uint_32>(session.yPelsPerMeter), PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    if (dib.bitCount >= 24) {
        png_set_bgr(png);
    }
    if (dib.bitCount == 32 && !dib.hasAlpha) {
        png_set_filler(png, 0, PNG_FILLER_AFTER); // the fourth byte is dropped
    }

    // PNG rows run top-down: a bottom-up DIB is written from its last row.
    const std::ptrdiff_t step = dib.topDown ? static_cast<std::ptrdiff_t>(dib.stride)
                                            : -static_cast<std::ptrdiff_t>(dib.stride);
    const BYTE* row = dib.topDown ? dib.rows : dib.rows + (dib.height - 1) * dib.stride;
    for (std::uint32_t y = 0; y < dib.height; ++y, row += step) {
        if (dib.bitCount == 16) {
            WidenRow555(row, dib.width, session.scratch.data());
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
        } else if (FindDib(header, byteCount, session.dib, failure)) {
            BITMAPINFOHEADER info{};
            std::memcpy(&info, header, sizeof info);
            session.xPelsPerMeter = info.biXPelsPerMeter;
            session.yPelsPerMeter = info.biYPelsPerMeter;
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

} // namespace orvel::png
