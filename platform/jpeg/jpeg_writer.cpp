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

/// libjpeg's output goes straight into the caller's vector. Its own memory destination grows a
/// buffer by doubling and would then be copied into the vector: at the end the encoded bytes were
/// held two or three times over. Capacity for a generous estimate is reserved up front (pages
/// never written cost no memory) and the vector is grown a piece at a time inside it.
struct VectorDestination {
    jpeg_destination_mgr manager{}; ///< first, so libjpeg's pointer to it is one to the whole
    std::vector<std::uint8_t>* bytes = nullptr;
    std::size_t reserveBytes = 0;
};

constexpr std::size_t kDestinationPieceBytes = std::size_t{64} << 10;

/// Makes room for one more piece after the bytes written so far; false when memory runs out.
bool GrowDestination(VectorDestination& destination, std::size_t writtenBytes) noexcept {
    std::vector<std::uint8_t>& bytes = *destination.bytes;
    try {
        if (writtenBytes + kDestinationPieceBytes > bytes.capacity()) {
            // Past the estimate: grow by half, so a rare large stream is copied a few times only.
            bytes.reserve(writtenBytes + std::max(writtenBytes / 2, kDestinationPieceBytes));
        }
        bytes.resize(writtenBytes + kDestinationPieceBytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    destination.manager.next_output_byte = bytes.data() + writtenBytes;
    destination.manager.free_in_buffer = kDestinationPieceBytes;
    return true;
}

VectorDestination& DestinationOf(j_compress_ptr encoder) {
    return *reinterpret_cast<VectorDestination*>(encoder->dest);
}

void StartDestination(j_compress_ptr encoder) {
    VectorDestination& destination = DestinationOf(encoder);
    destination.bytes->clear();
    try {
        destination.bytes->reserve(destination.reserveBytes);
    } catch (const std::bad_alloc&) {
        // The estimate is only a hint: pieces are still added as the stream needs them.
    }
    if (!GrowDestination(destination, 0)) {
        ERREXIT(encoder, JERR_OUT_OF_MEMORY);
    }
}

boolean ExtendDestination(j_compress_ptr encoder) {
    VectorDestination& destination = DestinationOf(encoder);
    // libjpeg calls this when the piece is full, whatever free_in_buffer says.
    if (!GrowDestination(destination, destination.bytes->size())) {
        ERREXIT(encoder, JERR_OUT_OF_MEMORY);
    }
    return TRUE;
}

void FinishDestination(j_compress_ptr encoder) {
    VectorDestination& destination = DestinationOf(encoder);
    destination.bytes->resize(destination.bytes->size() - destination.manager.free_in_buffer);
}

/// Room for half a byte a sample: photographs at the usual qualities come to well under that.
std::size_t EstimatedJpegBytes(const packed::PackedDib& dib, bool grey) noexcept {
    constexpr std::uint64_t kMostReservedBytes = std::uint64_t{1} << 30;
    const std::uint64_t samples = std::uint64_t{dib.width} * dib.height * (grey ? 1 : 3);
    return static_cast<std::size_t>(
        std::min(samples / 2 + kDestinationPieceBytes, kMostReservedBytes));
}

struct WriteSession {
    jpeg_compress_struct encoder{};
    detail::ErrorRecord errors;
    bool created = false;
    VectorDestination destination;
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
                std::vector<std::uint8_t>* jpeg, Error* error) noexcept {
    Error failure;
    try {
        WriteSession session;
        std::string reason;
        if (jpeg == nullptr) {
            failure = Error{Failure::badPicture, "JPEG: no vector to write into"};
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
            // Written aside, so that a failure leaves the caller's vector as it was.
            std::vector<std::uint8_t> encoded;
            session.destination.bytes = &encoded;
            session.destination.reserveBytes = EstimatedJpegBytes(session.dib, session.grey);
            const bool written = RunEncode(session, options.quality);
            if (session.created) {
                jpeg_destroy_compress(&session.encoder);
            }
            if (written) {
                jpeg->swap(encoded);
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

} // namespace orvel::jpeg
