// Writing JPEG: a packed DIB of any of the six depths, row by row, into a byte vector.
#include "detail/libjpeg_errors.h"
#include "jpeg_codec.h"

#include "../packed_dib/packed_dib.h"
#include "../win/error.h"
#include "../workers/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <mutex>
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

/// Gives `count` bytes to the sink: 0 when it takes them, otherwise libjpeg's code of the failure
/// (a refusal is a write error; so is anything thrown but running out of memory).
int SendOn(const ByteSink& sink, const JOCTET* bytes, std::size_t count) noexcept {
    try {
        return sink(bytes, count) ? 0 : JERR_FILE_WRITE;
    } catch (const std::bad_alloc&) {
        return JERR_OUT_OF_MEMORY;
    } catch (...) {
        return JERR_FILE_WRITE;
    }
}

/// Hands the first `bytes` of the piece on. A sink that refuses them, or runs out of memory,
/// ends the encoding through libjpeg's error exit.
void HandOn(j_compress_ptr encoder, std::size_t bytes) {
    SinkDestination& destination = DestinationOf(encoder);
    if (const int refusal = SendOn(*destination.sink, destination.piece.data(), bytes);
        refusal != 0) {
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

/// Room for half a byte a sample of a picture `width` by `height`: photographs at the usual
/// qualities come to well under that. Reserved before encoding into a vector, whose pages cost
/// memory only once written, so the file is never copied into a larger buffer.
std::size_t EstimatedJpegBytes(std::uint64_t width, std::uint64_t height) noexcept {
    constexpr std::uint64_t kMostReservedBytes = std::uint64_t{1} << 30;
    const std::uint64_t samples = width * height * 3;
    return static_cast<std::size_t>(
        std::min(samples / 2 + kDestinationPieceBytes, kMostReservedBytes));
}

/// The estimate for the picture a header describes, 0 when there is no header to read.
std::size_t EstimatedJpegBytes(const BITMAPINFOHEADER* header, std::size_t byteCount) noexcept {
    if (header == nullptr || byteCount < sizeof(BITMAPINFOHEADER)) {
        return 0;
    }
    const auto magnitude = [](LONG value) {
        return static_cast<std::uint64_t>(value < 0 ? -std::int64_t{value} : std::int64_t{value});
    };
    return EstimatedJpegBytes(magnitude(header->biWidth), magnitude(header->biHeight));
}

struct WriteSession {
    jpeg_compress_struct encoder{};
    detail::ErrorRecord errors;
    bool created = false;
    SinkDestination destination;
    packed::PackedDib dib;
    int quality = 0;
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

/// The frame, tables and settings of a picture `height` rows tall, the session's DIB's width. A
/// restart marker ends every row of MCUs: then the rows of MCUs can be encoded in strips on every
/// core and joined into the very bytes one pass makes. They cost two or three bytes a row of MCUs
/// (0.01% of a photograph), and a decoder meeting damaged data picks up again at the next one.
void SetUpEncoder(jpeg_compress_struct& encoder, const WriteSession& session,
                  std::uint32_t height) {
    const packed::PackedDib& dib = session.dib;
    encoder.image_width = dib.width;
    encoder.image_height = height;
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
    jpeg_set_quality(&encoder, session.quality, TRUE);
    encoder.restart_in_rows = 1;
    if (dib.xPelsPerMeter > 0 && dib.yPelsPerMeter > 0) {
        encoder.density_unit = 2; // dots per centimetre
        encoder.X_density = static_cast<UINT16>(std::min<LONG>(dib.xPelsPerMeter / 100, 65535));
        encoder.Y_density = static_cast<UINT16>(std::min<LONG>(dib.yPelsPerMeter / 100, 65535));
    }
}

/// Feeds the DIB's rows [first, end), counted from the top, to a started encoder.
void WriteRows(jpeg_compress_struct& encoder, const WriteSession& session, std::uint32_t first,
               std::uint32_t end, std::vector<BYTE>& scanline) {
    const packed::PackedDib& dib = session.dib;
    std::ptrdiff_t stepDown{}; // set by TopRow
    const BYTE* row = dib.TopRow(stepDown) + std::ptrdiff_t{first} * stepDown;
    for (std::uint32_t y = first; y < end; ++y, row += stepDown) {
        JSAMPROW samples = const_cast<JSAMPROW>(row); // libjpeg reads the row, never writes it
        if (dib.bitCount <= 8) {
            ExpandIndexedRow(dib, row, session.grey, scanline.data());
            samples = scanline.data();
        } else if (dib.bitCount == 16) {
            packed::WidenRow555(row, dib.width, scanline.data());
            samples = scanline.data();
        }
        jpeg_write_scanlines(&encoder, &samples, 1);
    }
}

void InstallDestination(jpeg_compress_struct& encoder, SinkDestination& destination) {
    destination.manager.init_destination = StartDestination;
    destination.manager.empty_output_buffer = ExtendDestination;
    destination.manager.term_destination = FinishDestination;
    encoder.dest = &destination.manager;
}

/// The session's encoder made and set up for the whole picture, under one setjmp.
bool PrepareEncoder(WriteSession& session) {
    if (setjmp(session.errors.jump) != 0) {
        return false;
    }
    jpeg_compress_struct& encoder = session.encoder;
    jpeg_create_compress(&encoder);
    session.created = true;
    InstallDestination(encoder, session.destination);
    SetUpEncoder(encoder, session, session.dib.height);
    return true;
}

/// The rest of a one-pass encode with the prepared encoder, under one setjmp.
bool RunEncode(WriteSession& session) {
    if (setjmp(session.errors.jump) != 0) {
        return false;
    }
    jpeg_compress_struct& encoder = session.encoder;
    jpeg_start_compress(&encoder, TRUE);
    WriteRows(encoder, session, 0, session.dib.height, session.scanline);
    jpeg_finish_compress(&encoder);
    return true;
}

/// Rows of the prepared encoder's MCUs: 8 times the tallest sampling factor.
std::uint32_t McuRows(const jpeg_compress_struct& encoder) noexcept {
    int tallest = 1;
    for (int i = 0; i < encoder.num_components; ++i) {
        tallest = std::max(tallest, encoder.comp_info[i].v_samp_factor);
    }
    return static_cast<std::uint32_t>(tallest) * DCTSIZE;
}

/// The rows each strip takes: eight rows of MCUs or a whole multiple of them, so that the restart
/// markers of the strips joined are numbered as one pass numbers them, and about four strips for
/// each thread, so that a thread slowed by the rest of the machine holds nobody up. The whole
/// picture when the work is too small to share.
std::uint32_t StripRows(std::uint32_t height, std::uint32_t mcuRows,
                        std::size_t workBytes) noexcept {
    const std::uint32_t unit = mcuRows * 8;
    if (height <= unit || workBytes < orvel::platform::SharingThreshold()) {
        return height;
    }
    const unsigned threads = orvel::platform::SharingThreads();
    if (threads < 2) {
        return height;
    }
    const std::uint32_t units = (height + unit - 1) / unit;
    const std::uint32_t strips = std::min(units, threads * 4);
    return (units + strips - 1) / strips * unit;
}

/// Rows [first, end) of the picture encoded as a JPEG of their own, on whichever thread takes
/// them. Joined after the strip before, its scan data continues that strip's.
struct Strip {
    jpeg_compress_struct encoder{};
    detail::ErrorRecord errors;
    bool created = false;
    std::uint32_t first = 0;
    std::uint32_t end = 0;
    std::vector<JOCTET> bytes;
    SinkDestination destination;
    std::vector<BYTE> scanline;
};

bool RunStrip(const WriteSession& session, Strip& strip) {
    if (setjmp(strip.errors.jump) != 0) {
        return false;
    }
    jpeg_compress_struct& encoder = strip.encoder;
    detail::InstallErrorRecord(*reinterpret_cast<jpeg_common_struct*>(&encoder), strip.errors);
    jpeg_create_compress(&encoder);
    strip.created = true;
    InstallDestination(encoder, strip.destination);
    SetUpEncoder(encoder, session, strip.end - strip.first);
    jpeg_start_compress(&encoder, TRUE);
    WriteRows(encoder, session, strip.first, strip.end, strip.scanline);
    jpeg_finish_compress(&encoder);
    return true;
}

/// Bytes read and written by an encode, roughly, for the worker pool's threshold.
std::size_t WorkBytesOf(const packed::PackedDib& dib) noexcept {
    return static_cast<std::size_t>(dib.stride * dib.height * 2);
}

constexpr JOCTET kBaselineFrame = 0xC0;
constexpr JOCTET kExtendedFrame = 0xC1;
constexpr JOCTET kStartOfScan = 0xDA;

std::uint32_t BigEndian16(const JOCTET* bytes) noexcept {
    return (std::uint32_t{bytes[0]} << 8) | bytes[1];
}

/// The part of a strip's file that joins the whole: for the first strip everything before its
/// EOI, with the frame's height made the picture's; for the others the scan data alone, after a
/// restart marker numbered as one pass numbers it there. False when libjpeg's file is not laid
/// out as expected (a marker segment running past the end, no scan, no EOI).
bool CutStrip(Strip& strip, std::uint32_t pictureHeight, std::uint32_t mcuRowsBefore,
              std::size_t& from) {
    std::vector<JOCTET>& bytes = strip.bytes;
    const std::size_t size = bytes.size();
    if (size < 4 || bytes[size - 2] != 0xFF || bytes[size - 1] != JPEG_EOI) {
        return false;
    }
    bytes.resize(size - 2);
    // Marker segments from after SOI up to the end of SOS's; each is FF, a code, a length that
    // counts itself.
    std::size_t at = 2;
    for (;;) {
        if (at + 4 > bytes.size() || bytes[at] != 0xFF) {
            return false;
        }
        const JOCTET code = bytes[at + 1];
        const std::size_t length = BigEndian16(&bytes[at + 2]);
        if (length < 2 || at + 2 + length > bytes.size()) {
            return false;
        }
        const bool frame = code == kBaselineFrame || code == kExtendedFrame;
        if (frame && strip.first == 0 && length >= 8) { // the height is at offset 5
            bytes[at + 5] = static_cast<JOCTET>(pictureHeight >> 8);
            bytes[at + 6] = static_cast<JOCTET>(pictureHeight);
        }
        at += 2 + length;
        if (code == kStartOfScan) {
            break;
        }
    }
    if (strip.first == 0) {
        from = 0;
        return true;
    }
    // The restart marker one pass writes before this row of MCUs, RST0 to RST7 in turn, over the
    // last two bytes of the SOS segment (dropped with the rest of the headers).
    at -= 2;
    bytes[at] = 0xFF;
    bytes[at + 1] = static_cast<JOCTET>(JPEG_RST0 + (mcuRowsBefore - 1) % 8);
    from = at;
    return true;
}

/// Encodes the picture in strips on every core and hands the joined file to the sink in order,
/// each strip as soon as it and those before it are done, so that few are held at a time.
bool EncodeInStrips(WriteSession& session, const ByteSink& sink, std::uint32_t stripRows,
                    std::uint32_t mcuRows, Error& failure) {
    const std::uint32_t height = session.dib.height;
    const std::uint32_t count = (height + stripRows - 1) / stripRows;
    std::vector<Strip> strips(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        strips[i].first = i * stripRows;
        strips[i].end = std::min(height, strips[i].first + stripRows);
    }
    std::mutex handing;
    std::vector<bool> finished(count, false);
    std::uint32_t due = 0;
    // The failure of the first strip in the file that failed: libjpeg stopped it, or libjpeg's
    // code of one met outside it (no memory for its buffers, a sink refusing it). Once there is
    // one, strips not yet begun are left alone.
    std::uint32_t failedStrip = count;
    int refusal = 0;
    std::atomic<bool> stopped{false};
    auto encode = [&](Strip& strip) noexcept -> int {
        try {
            strip.scanline.resize(session.scanline.size());
            strip.destination.piece.resize(kDestinationPieceBytes);
            // Pages reserved cost memory only once written; the strip is never copied to grow.
            strip.bytes.reserve(EstimatedJpegBytes(session.dib.width, strip.end - strip.first));
        } catch (const std::bad_alloc&) {
            return JERR_OUT_OF_MEMORY;
        }
        const ByteSink append = [&strip](const std::uint8_t* bytes, std::size_t n) {
            strip.bytes.insert(strip.bytes.end(), bytes, bytes + n);
            return true;
        };
        strip.destination.sink = &append;
        const bool encoded = RunStrip(session, strip);
        // Only the bytes are kept until the strip is handed on; the error record stays readable.
        if (strip.created) {
            jpeg_destroy_compress(&strip.encoder);
            strip.created = false;
        }
        std::vector<JOCTET>().swap(strip.destination.piece);
        std::vector<BYTE>().swap(strip.scanline);
        return encoded ? 0 : -1;
    };
    auto handOn = [&](Strip& strip) noexcept {
        std::size_t from = 0;
        if (!CutStrip(strip, height, strip.first / mcuRows, from)) {
            return static_cast<int>(JERR_BAD_LENGTH); // not laid out as libjpeg writes
        }
        const int sent = SendOn(sink, strip.bytes.data() + from, strip.bytes.size() - from);
        std::vector<JOCTET>().swap(strip.bytes);
        return sent;
    };
    orvel::platform::ForEachSlice(
        count, WorkBytesOf(session.dib), [&](std::size_t begin, std::size_t end) noexcept {
            for (std::size_t i = begin; i < end && !stopped.load(std::memory_order_relaxed); ++i) {
                const int outcome = encode(strips[i]);
                const std::lock_guard<std::mutex> lock(handing);
                if (outcome != 0 && i < failedStrip) {
                    failedStrip = static_cast<std::uint32_t>(i);
                    refusal = outcome;
                }
                finished[i] = outcome == 0;
                for (; failedStrip == count && due < count && finished[due]; ++due) {
                    if (const int sent = handOn(strips[due]); sent != 0) {
                        failedStrip = due;
                        refusal = sent;
                    }
                }
                stopped.store(failedStrip != count, std::memory_order_relaxed);
            }
        });
    if (failedStrip == count) {
        const JOCTET end[2] = {0xFF, JPEG_EOI};
        refusal = SendOn(sink, end, sizeof end);
        if (refusal == 0) {
            return true;
        }
    }
    failure = refusal > 0 ? detail::ErrorOfCode(refusal, "encoder")
                          : detail::ErrorFromRecord(strips[failedStrip].errors, "encoder");
    return false;
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
            session.quality = options.quality;
            bool written = PrepareEncoder(session);
            if (written) {
                const std::uint32_t height = session.dib.height;
                const std::uint32_t mcuRows = McuRows(session.encoder);
                const std::uint32_t stripRows =
                    StripRows(height, mcuRows, WorkBytesOf(session.dib));
                written = stripRows < height
                              ? EncodeInStrips(session, sink, stripRows, mcuRows, failure)
                              : RunEncode(session);
            }
            if (session.created) {
                jpeg_destroy_compress(&session.encoder);
            }
            if (written) {
                if (error != nullptr) {
                    *error = Error{};
                }
                return true;
            }
            if (failure.failure == Failure::none) {
                failure = detail::ErrorFromRecord(session.errors, "encoder");
            }
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
