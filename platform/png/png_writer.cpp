// Writing PNG: a packed DIB of any of the six depths, row by row, into a byte vector.
#include "detail/image_data.h"
#include "detail/libpng_session.h"
#include "png_codec.h"

#include "../packed_dib/packed_dib.h"
#include "../win/error.h"

#include <png.h>
#include <zlib.h>

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
    bool ReserveOutput(std::size_t bytes) noexcept {
        try {
            out->reserve(bytes);
        } catch (...) {
            outOfMemory = true;
            return false;
        }
        return true;
    }
    std::vector<std::uint8_t>* out = nullptr;
    packed::PackedDib dib;
    int compressionLevel = 6;
};

/// The largest IDAT chunk written; a piece of the stream that is longer goes in several.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

/// Frames a piece of the image data as IDAT chunks at the end of the output: length, type, the
/// bytes, and the CRC of type and bytes. Written here rather than through libpng, which would
/// long-jump out of the compressor's frames on an error.
bool AppendImageData(void* context, const std::uint8_t* bytes, std::size_t count) noexcept {
    auto& out = *static_cast<WriteSession*>(context)->out;
    static constexpr std::uint8_t kType[4] = {'I', 'D', 'A', 'T'};
    try {
        for (std::size_t at = 0; at < count; at += kChunkBytes) {
            const std::size_t length = std::min(kChunkBytes, count - at);
            for (int shift = 24; shift >= 0; shift -= 8) {
                out.push_back(static_cast<std::uint8_t>(length >> shift));
            }
            out.insert(out.end(), kType, kType + 4);
            out.insert(out.end(), bytes + at, bytes + at + length);
            uLong crc = crc32(0, kType, 4);
            crc = crc32(crc, bytes + at, static_cast<uInt>(length));
            for (int shift = 24; shift >= 0; shift -= 8) {
                out.push_back(static_cast<std::uint8_t>(crc >> shift));
            }
        }
    } catch (...) {
        return false;
    }
    return true;
}

/// Row `y` from the top in PNG's order: indices as they stand, 5-5-5 widened to RGB, blue-green-red
/// turned to red-green-blue, the fourth byte of 32-bit pixels kept only as alpha.
void MakePngRow(const void* context, std::uint32_t y, BYTE* out) noexcept {
    const auto& dib = *static_cast<const packed::PackedDib*>(context);
    std::ptrdiff_t step = 0;
    const BYTE* row = dib.TopRow(step) + step * static_cast<std::ptrdiff_t>(y);
    if (dib.bitCount <= 8) {
        std::memcpy(out, row, (std::size_t{dib.width} * dib.bitCount + 7) / 8);
    } else if (dib.bitCount == 16) {
        packed::WidenRow555(row, dib.width, out);
    } else {
        const int inStep = dib.bitCount / 8;
        const BYTE* const end = row + std::size_t{dib.width} * inStep;
        for (; row != end; row += inStep) {
            *out++ = row[2];
            *out++ = row[1];
            *out++ = row[0];
            if (dib.hasAlpha) {
                *out++ = row[3];
            }
        }
    }
}

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

    // The rows are filtered and compressed here, on the worker threads, rather than by libpng's
    // one-thread row writer; libpng frames them as IDAT chunks of at most 1 MiB.
    detail::PngRows rows;
    rows.count = dib.height;
    rows.pixelBytes = dib.bitCount <= 8 ? 1 : dib.hasAlpha ? 4 : 3;
    rows.rowBytes = dib.bitCount <= 8 ? (std::size_t{dib.width} * dib.bitCount + 7) / 8
                                      : std::size_t{dib.width} * rows.pixelBytes;
    rows.adaptiveFilters = dib.bitCount > 8; // indices gain nothing from prediction
    rows.make = MakePngRow;
    rows.context = &dib;
    // Room for the largest file at once: memory is only taken as the bytes arrive, and the
    // file's bytes are never copied to a larger vector.
    const std::size_t imageBytes = detail::CompressedBound(rows);
    if (!session.ReserveOutput(session.out->size() + imageBytes +
                               (imageBytes / kChunkBytes + 2) * 12) ||
        !detail::CompressRows(rows, session.compressionLevel, AppendImageData, &session)) {
        session.outOfMemory = true;
        png_error(png, "out of memory");
    }
    static constexpr png_byte kImageEnd[5] = "IEND";
    png_write_chunk(png, kImageEnd, nullptr, 0);
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
