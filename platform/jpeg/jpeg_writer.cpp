// Writing JPEG: a packed DIB of any of the six depths, row by row, into a byte vector.
#include "detail/libjpeg_errors.h"
#include "jpeg_codec.h"

#include "../packed_dib/packed_dib.h"
#include "../win/error.h"

#include <algorithm>
#include <new>
#include <vector>

#include <jerror.h>

namespace orvel::jpeg {
namespace {

/// libjpeg's output, handed to the caller's sink 64 KiB at a time: only that piece is held,
/// however large the file.
struct SinkDestination {
    jpeg_destination_mgr manager{}; ///< first, so libjpeg's pointer to it is one to the whole
    const ByteSink* sink = nullptr;
    std::vector<JOCTET> piece;
};

constexpr std::size_t kDestinationPieceBytes = std::size_t{64} << 10;

SinkDestination& DestinationOf(j_compress_ptr encoder) {
    return *reinterpret_cast<SinkDestination*>(encoder->dest);
}

void StartDestination(j_compress_ptr encoder) {
    SinkDestination& destination = DestinationOf(encoder);
    destination.manager.next_output_byte = destination.piece.data();
    destination.manager.free_in_buffer = destination.piece.size();
}

/// Hands the first `bytes` of the piece on. A sink that refuses them, or runs out of memory,
/// ends the encoding through libjpeg's error exit.
void HandOn(j_compress_ptr encoder, std::size_t bytes) {
    SinkDestination& destination = DestinationOf(encoder);
    int refusal = 0;
    try {
        if (!(*destination.sink)(destination.piece.data(), bytes)) {
            refusal = JERR_FILE_WRITE;
        }
    } catch (const std::bad_alloc&) {
        refusal = JERR_OUT_OF_MEMORY;
    } catch (...) {
        refusal = JERR_FILE_WRITE;
    }
    if (refusal != 0) {
        ERREXIT(encoder, refusal);
    }
}

boolean ExtendDestination(j_compress_ptr encoder) {
    // libjpeg calls this when the piece is full, whatever free_in_buffer says.
    HandOn(encoder, DestinationOf(encoder).piece.size());
    StartDestination(encoder);
    return TRUE;
}

void FinishDestination(j_compress_ptr encoder) {
    SinkDestination& destination = DestinationOf(encoder);
    const std::size_t bytes = destination.piece.size() - destination.manager.free_in_buffer;
    if (bytes > 0) {
        HandOn(encoder, bytes);
    }
}

/// Room for half a byte a sample of the picture a header describes: photographs at the usual
/// qualities come to well under that. Reserved before encoding into a vector, whose pages cost
/// memory only once written, so the file is never copied into a larger buffer.
std::size_t EstimatedJpegBytes(const BITMAPINFOHEADER* header, std::size_t byteCount) noexcept {
    if (header == nullptr || byteCount < sizeof(BITMAPINFOHEADER)) {
        return 0;
    }
    constexpr std::uint64_t kMostReservedBytes = std::uint64_t{1} << 30;
    const auto magnitude = [](LONG value) {
        return static_cast<std::uint64_t>(value < 0 ? -std::int64_t{value} : std::int64_t{value});
    };
    const std::uint64_t samples = magnitude(header->biWidth) * magnitude(header->biHeight) * 3;
    return static_cast<std::size_t>(
        std::min(samples / 2 + kDestinationPieceBytes, kMostReservedBytes));
}

struct WriteSession {
    jpeg_compress_struct encoder{};
    detail::ErrorRecord errors;
    bool created = false;
    SinkDestination destination;
    packed::PackedDib dib;
    bool grey = false;          ///< an indexed picture whose colours are all grey
    std::vector<BYTE> scanline; ///< one row in the samples libjpeg takes, for 1 to 16 bits
};

bool AllColoursGrey(const packed::PackedDib& dib) noexcept {
    for (int i = 0; i < dib.tableEntries; ++i) {
        const RGBQUAD& entry = dib.table[i];
        if (entry.rgbRed != entry.rgbGreen || entry.rgbGreen != entry.rgbBlue) {
            return false;
        }
    }
    // Indexes past a short table are black, which is grey too.
    return dib.tableEntries > 0;
}

/// One indexed row as grey samples or blue, green, red, through the colour table. Indexes past
/// a short table are black, as the library reads such a table.
void ExpandIndexedRow(const packed::PackedDib& dib, const BYTE* row, bool grey, BYTE* out) {
    const int bits = dib.bitCount;
    const unsigned mask = (1U << bits) - 1;
    int shift = 8 - bits;
    for (std::uint32_t x = 0; x < dib.width; ++x) {
        const unsigned index = (*row >> shift) & mask;
        shift -= bits;
        if (shift < 0) {
            shift = 8 - bits;
            ++row;
        }
        RGBQUAD colour{};
        if (index < static_cast<unsigned>(dib.tableEntries)) {
            colour = dib.table[index];
        }
        if (grey) {
            *out++ = colour.rgbBlue;
        } else {
            *out++ = colour.rgbBlue;
            *out++ = colour.rgbGreen;
            *out++ = colour.rgbRed;
        }
    }
}

/// Every libjpeg call of an encode, under one setjmp; nothing here owns anything.
bool RunEncode(WriteSession& session, int quality) {
    if (setjmp(session.errors.jump) != 0) {
        return false;
    }
    jpeg_compress_struct& encoder = session.encoder;
    const packed::PackedDib& dib = session.dib;
    jpeg_create_compress(&encoder);
    session.created = true;
    session.destination.manager.init_destination = StartDestination;
    session.destination.manager.empty_output_buffer = ExtendDestination;
    session.destination.manager.term_destination = FinishDestination;
    encoder.dest = &session.destination.manager;
    encoder.image_width = dib.width;
    encoder.image_height = dib.height;
    if (session.grey) {
        encoder.input_components = 1;
        encoder.in_color_space = JCS_GRAYSCALE;
    } else if (dib.bitCount == 32) {
        encoder.input_components = 4;
        encoder.in_color_space = JCS_EXT_BGRX; // the fourth byte is dropped
    } else if (dib.bitCount == 16) {
        encoder.input_components = 3;
        encoder.in_color_space = JCS_RGB; // as WidenRow555 lays the samples out
    } else {
        encoder.input_components = 3;
        encoder.in_color_space = JCS_EXT_BGR;
    }
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, quality, TRUE);
    if (dib.xPelsPerMeter > 0 && dib.yPelsPerMeter > 0) {
        encoder.density_unit = 2; // dots per centimetre
        encoder.X_density = static_cast<UINT16>(std::min<LONG>(dib.xPelsPerMeter / 100, 65535));
        encoder.Y_density = static_cast<UINT16>(std::min<LONG>(dib.yPelsPerMeter / 100, 65535));
    }
    jpeg_start_compress(&encoder, TRUE);
    std::ptrdiff_t stepDown = 0;
    const BYTE* row = dib.TopRow(stepDown);
    for (std::uint32_t y = 0; y < dib.height; ++y, row += stepDown) {
        JSAMPROW samples = const_cast<JSAMPROW>(row); // libjpeg reads the row, never writes it
        if (dib.bitCount <= 8) {
            ExpandIndexedRow(dib, row, session.grey, session.scanline.data());
            samples = session.scanline.data();
        } else if (dib.bitCount == 16) {
            packed::WidenRow555(row, dib.width, session.scanline.data());
            samples = session.scanline.data();
        }
        jpeg_write_scanlines(&encoder, &samples, 1);
    }
    jpeg_finish_compress(&encoder);
    return true;
}

} // namespace

bool EncodeJpeg(const BITMAPINFOHEADER* header, std::size_t byteCount, const WriteOptions& options,
                const ByteSink& sink, Error* error) noexcept {
    Error failure;
    try {
        WriteSession session;
        std::string reason;
        if (!sink) {
            failure = Error{Failure::badPicture, "JPEG: nowhere to write to"};
        } else if (options.quality < 1 || options.quality > 100) {
            failure =
                Error{Failure::unsupported,
                      "JPEG: quality " + std::to_string(options.quality) + " is not 1 to 100"};
        } else if (!packed::FindPackedDib(header, byteCount, session.dib, reason)) {
            failure = Error{Failure::badPicture, "JPEG: cannot write this DIB: " + reason};
        } else if (session.dib.width > JPEG_MAX_DIMENSION ||
                   session.dib.height > JPEG_MAX_DIMENSION) {
            failure =
                Error{Failure::badPicture, "JPEG: a picture wider or taller than " +
                                               std::to_string(JPEG_MAX_DIMENSION) + " pixels"};
        } else {
            session.grey = session.dib.bitCount <= 8 && AllColoursGrey(session.dib);
            if (session.dib.bitCount <= 16) {
                session.scanline.resize(std::uint64_t{session.dib.width} * 3);
            }
            detail::InstallErrorRecord(*reinterpret_cast<jpeg_common_struct*>(&session.encoder),
                                       session.errors);
            session.destination.sink = &sink;
            session.destination.piece.resize(kDestinationPieceBytes);
            const bool written = RunEncode(session, options.quality);
            if (session.created) {
                jpeg_destroy_compress(&session.encoder);
            }
            if (written) {
                if (error != nullptr) {
                    *error = Error{};
                }
                return true;
            }
            failure = detail::ErrorFromRecord(session.errors, "encoder");
        }
    } catch (const std::bad_alloc&) {
        failure = Error{Failure::noMemory, "JPEG: no memory"};
    }
    if (failure.failure == Failure::noMemory) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (error != nullptr) {
        *error = std::move(failure);
    }
    return false;
}

bool EncodeJpeg(const BITMAPINFOHEADER* header, std::size_t byteCount, const WriteOptions& options,
                std::vector<std::uint8_t>* jpeg, Error* error) noexcept {
    if (jpeg == nullptr) {
        if (error != nullptr) {
            *error = Error{Failure::badPicture, "JPEG: no vector to write into"};
        }
        return false;
    }
    // Written aside, so that a failure leaves the caller's vector as it was.
    std::vector<std::uint8_t> encoded;
    try {
        encoded.reserve(EstimatedJpegBytes(header, byteCount));
    } catch (const std::bad_alloc&) {
        // The estimate is only a hint: the vector grows as the pieces come.
    }
    const ByteSink append = [&encoded](const std::uint8_t* bytes, std::size_t count) {
        encoded.insert(encoded.end(), bytes, bytes + count);
        return true;
    };
    if (!EncodeJpeg(header, byteCount, options, append, error)) {
        return false;
    }
    jpeg->swap(encoded);
    return true;
}

} // namespace orvel::jpeg
