// Reading JPEG: the markers up to the first scan, then the whole picture into a new DIB block.
#include "detail/exif_orientation.h"
#include "detail/libjpeg_errors.h"
#include "jpeg_codec.h"

#include "../memory/global_memory.h"
#include "../win/error.h"
#include "../workers/worker_pool.h"

#include <jerror.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace orvel::jpeg {
namespace {

constexpr std::uint64_t kFileHeaderBytes = sizeof(BITMAPFILEHEADER);
constexpr std::uint64_t kInfoHeaderBytes = sizeof(BITMAPINFOHEADER);
// A progressive file may hold any number of scans, each a pass over the whole picture; real
// encoders write about ten. Past this many the file is a denial of service, not a picture.
constexpr int kMaxScans = 256;

/// The picture a JPEG becomes, worked out from its header before any pixel is decoded.
struct Plan {
    JpegHeader header;
    bool adobeInverted = false;     ///< CMYK samples stored inverted, as Adobe's writers do
    std::uint32_t dibWidth = 0;     ///< after the orientation
    std::uint32_t dibHeight = 0;    ///< after the orientation
    std::uint64_t pixelBytes = 0;   ///< bytes a DIB pixel takes: 1 or 3
    std::uint64_t stride = 0;       ///< bytes of a DIB row with its padding
    std::uint64_t pixelsOffset = 0; ///< offset of the rows in the block
    std::uint64_t blockBytes = 0;
    std::uint64_t firstPixel = 0;    ///< where the first decoded pixel goes in the rows
    std::ptrdiff_t columnStep = 0;   ///< from one decoded pixel to the next in a scanline
    std::ptrdiff_t scanlineStep = 0; ///< from one scanline's first pixel to the next one's
};

/// A band of scanlines [first, end) decoded by a decoder of its own, on whichever thread takes
/// it: the decoder skips the scanlines above the band (entropy decoding only) and decodes the rest.
struct Band {
    jpeg_decompress_struct decoder{};
    detail::ErrorRecord errors;
    bool created = false;
    bool ran = false;
    bool decoded = false;
    JDIMENSION first = 0;
    JDIMENSION end = 0;
    std::vector<JSAMPLE> scanline;
    std::vector<BYTE> converted;
};

struct ReadSession {
    jpeg_decompress_struct decoder{};
    detail::ErrorRecord errors;
    jpeg_progress_mgr progress{};
    bool created = false;
    std::uint64_t maxPixelBytes = 0;
    Orientation orientation = Orientation::applied;
    Plan plan;
    Error refusal; ///< set when the plan refuses the picture; the failure is then this
    HGLOBAL block = nullptr;
    BYTE* base = nullptr;
    std::vector<JSAMPLE> scanline; ///< one decoded scanline, as libjpeg hands it over
    std::vector<BYTE> converted;   ///< the same scanline in DIB samples, for CMYK
    const void* bytes = nullptr;   ///< the file, whole
    std::size_t byteCount{};
    std::vector<Band> bands; ///< a large picture's bands, decoded on every core
};

void StopEndlessScans(j_common_ptr common) {
    auto* decoder = reinterpret_cast<j_decompress_ptr>(common);
    if (decoder->is_decompressor && decoder->input_scan_number > kMaxScans) {
        ERREXIT1(common, JERR_NOT_COMPILED, kMaxScans); // stops the decode: too many scans
    }
}

ColourModel ModelOf(J_COLOR_SPACE space) noexcept {
    switch (space) {
    case JCS_GRAYSCALE:
        return ColourModel::grey;
    case JCS_YCbCr:
        return ColourModel::yCbCr;
    case JCS_RGB:
        return ColourModel::rgb;
    case JCS_CMYK:
        return ColourModel::cmyk;
    case JCS_YCCK:
        return ColourModel::ycck;
    default:
        return ColourModel::other;
    }
}

/// Where decoded pixel (x, y) of a w x h picture stands once the EXIF orientation is applied.
struct Place {
    std::int64_t x;
    std::int64_t y;
};
Place Oriented(int orientation, std::int64_t x, std::int64_t y, std::int64_t w,
               std::int64_t h) noexcept {
    switch (orientation) {
    case 2: // mirrored left to right
        return {w - 1 - x, y};
    case 3: // turned half round
        return {w - 1 - x, h - 1 - y};
    case 4: // mirrored top to bottom
        return {x, h - 1 - y};
    case 5: // transposed
        return {y, x};
    case 6: // turned a quarter clockwise
        return {h - 1 - y, x};
    case 7: // transversed
        return {h - 1 - y, w - 1 - x};
    case 8: // turned a quarter anticlockwise
        return {y, w - 1 - x};
    default:
        return {x, y};
    }
}

/// The DIB's size and where each decoded pixel goes. False with `session.refusal` set when the
/// picture is over the limit.
bool MakePlan(ReadSession& session) {
    Plan& plan = session.plan;
    const JpegHeader& header = plan.header;
    const int orientation = session.orientation == Orientation::applied ? header.orientation : 1;
    const bool turned = orientation >= 5;
    plan.dibWidth = turned ? header.height : header.width;
    plan.dibHeight = turned ? header.width : header.height;
    plan.pixelBytes = header.dibBitCount / 8U;
    // Width and height are at most 65535 (16-bit fields): no product below overflows.
    plan.stride = (plan.dibWidth * plan.pixelBytes + 3) / 4 * 4;
    const std::uint64_t pixelAreaBytes = plan.stride * plan.dibHeight;
    if (pixelAreaBytes > session.maxPixelBytes) {
        session.refusal = Error{Failure::tooLarge,
                                "JPEG SOF: " + std::to_string(header.width) + " x " +
                                    std::to_string(header.height) + " pixels exceed the limit of " +
                                    std::to_string(session.maxPixelBytes) + " bytes"};
        return false;
    }
    const std::uint64_t tableBytes = header.dibBitCount == 8 ? 256 * sizeof(RGBQUAD) : 0;
    plan.pixelsOffset = kFileHeaderBytes + kInfoHeaderBytes + tableBytes;
    plan.blockBytes = plan.pixelsOffset + pixelAreaBytes;

    // DIB rows run bottom-up: the place (X, Y) counted from the top is at row dibHeight - 1 - Y.
    const auto w = std::int64_t{header.width};
    const auto h = std::int64_t{header.height};
    const auto stride = static_cast<std::int64_t>(plan.stride);
    const auto bytes = static_cast<std::int64_t>(plan.pixelBytes);
    auto offsetOf = [&](Place place) {
        return (std::int64_t{plan.dibHeight} - 1 - place.y) * stride + place.x * bytes;
    };
    const std::int64_t origin = offsetOf(Oriented(orientation, 0, 0, w, h));
    plan.firstPixel = static_cast<std::uint64_t>(origin);
    plan.columnStep =
        static_cast<std::ptrdiff_t>(offsetOf(Oriented(orientation, 1, 0, w, h)) - origin);
    plan.scanlineStep =
        static_cast<std::ptrdiff_t>(offsetOf(Oriented(orientation, 0, 1, w, h)) - origin);
    return true;
}

/// Reads the header through libjpeg into `plan.header` and chooses the output colour space.
void ReadHeaderFields(ReadSession& session) {
    jpeg_decompress_struct& decoder = session.decoder;
    jpeg_save_markers(&decoder, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&decoder, TRUE);
    JpegHeader& header = session.plan.header;
    header.width = decoder.image_width;
    header.height = decoder.image_height;
    header.components = decoder.num_components;
    header.colourModel = ModelOf(decoder.jpeg_color_space);
    header.progressive = decoder.progressive_mode != 0;
    header.orientation = 1;
    for (jpeg_saved_marker_ptr marker = decoder.marker_list; marker != nullptr;
         marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1) {
            header.orientation = detail::ExifOrientation(marker->data, marker->data_length);
            break;
        }
    }
    switch (header.colourModel) {
    case ColourModel::grey:
        header.dibBitCount = 8;
        decoder.out_color_space = JCS_GRAYSCALE;
        break;
    case ColourModel::cmyk:
    case ColourModel::ycck:
        header.dibBitCount = 24;
        decoder.out_color_space = JCS_CMYK;
        session.plan.adobeInverted = decoder.saw_Adobe_marker != 0;
        break;
    default:
        header.dibBitCount = 24;
        decoder.out_color_space = JCS_EXT_BGR;
        break;
    }
}

/// One CMYK scanline as blue, green, red: each channel is white less its ink, darkened by black.
void CmykToBgr(const JSAMPLE* cmyk, std::uint32_t width, bool inverted, BYTE* bgr) noexcept {
    const unsigned flip = inverted ? 0 : 255;
    for (const JSAMPLE* const end = cmyk + std::uint64_t{width} * 4; cmyk != end;
         cmyk += 4, bgr += 3) {
        const unsigned black = cmyk[3] ^ flip;
        auto channel = [black](unsigned ink) {
            const unsigned product = ink * black + 128;
            return static_cast<BYTE>((product + (product >> 8)) >> 8);
        };
        bgr[0] = channel(cmyk[2] ^ flip);
        bgr[1] = channel(cmyk[1] ^ flip);
        bgr[2] = channel(cmyk[0] ^ flip);
    }
}

/// Puts one scanline's pixels where the plan says, with running pointers.
void PlaceScanline(const BYTE* samples, std::uint32_t width, std::size_t pixelBytes, BYTE* target,
                   std::ptrdiff_t columnStep) noexcept {
    if (columnStep == static_cast<std::ptrdiff_t>(pixelBytes)) {
        std::memcpy(target, samples, width * pixelBytes);
        return;
    }
    for (const BYTE* const end = samples + width * pixelBytes; samples != end;
         samples += pixelBytes, target += columnStep) {
        std::memcpy(target, samples, pixelBytes);
    }
}

/// Reads a started decoder's scanlines up to `end`, placing each where the plan puts it. The
/// buffers hold a scanline of libjpeg's samples and, for CMYK, of DIB samples.
void PlaceScanlines(jpeg_decompress_struct& decoder, JDIMENSION end, const Plan& plan, BYTE* base,
                    std::vector<JSAMPLE>& scanline, std::vector<BYTE>& converted) {
    const std::uint32_t width = decoder.output_width;
    const bool cmyk = decoder.out_color_space == JCS_CMYK;
    BYTE* scanlineStart = base + plan.pixelsOffset + plan.firstPixel +
                          std::ptrdiff_t{decoder.output_scanline} * plan.scanlineStep;
    JSAMPROW row = scanline.data();
    while (decoder.output_scanline < end) {
        jpeg_read_scanlines(&decoder, &row, 1);
        const BYTE* samples = row;
        if (cmyk) {
            CmykToBgr(row, width, plan.adobeInverted, converted.data());
            samples = converted.data();
        }
        PlaceScanline(samples, width, plan.pixelBytes, scanlineStart, plan.columnStep);
        scanlineStart += plan.scanlineStep;
    }
}

/// Skipping a scanline (entropy decoding only) against decoding it whole: measured on a
/// 4096 x 4096 photo at quality 90, 25 ms to skip the top half against 44 ms to decode it.
constexpr double kSkipCost = 0.57;

/// How many bands the picture's scanlines are decoded in, and where each starts. One band, the
/// session's decoder, unless the work is large enough to share and the file is one Huffman-coded
/// scan: only then can another decoder skip to a band's start without decoding the coefficients
/// of every scan before it. Bands after the first also skip the scanlines above them, so they are
/// made shorter: band k starts at H (1 - q^k) / (1 - q^n), q = 1 - kSkipCost, which gives every
/// band the same cost. Starts are on iMCU rows, where skipping is cheapest.
void PlanBands(ReadSession& session) {
    jpeg_decompress_struct& decoder = session.decoder; // its output dimensions worked out
    const JDIMENSION height = decoder.output_height;
    const auto imcuRows = static_cast<JDIMENSION>(decoder.max_v_samp_factor * DCTSIZE);
    const JDIMENSION imcuCount = (height + imcuRows - 1) / imcuRows;
    const std::size_t workBytes = session.plan.blockBytes + session.byteCount;
    if (jpeg_has_multiple_scans(&decoder) || decoder.arith_code || imcuCount < 2 ||
        workBytes < orvel::platform::SharingThreshold()) {
        return;
    }
    const auto count = std::min<JDIMENSION>(orvel::platform::SharingThreads(), imcuCount);
    if (count < 2) {
        return;
    }
    session.bands.resize(count);
    const double q = 1.0 - kSkipCost;
    const double whole = 1.0 - std::pow(q, count);
    for (JDIMENSION k = 1; k < count; ++k) {
        const double share = (1.0 - std::pow(q, k)) / whole;
        auto start = static_cast<JDIMENSION>(std::lround(share * imcuCount)) * imcuRows;
        // At least one iMCU row for this band and each one after it.
        start = std::max(start, session.bands[k - 1].first + imcuRows);
        start = std::min(start, (imcuCount - (count - k)) * imcuRows);
        session.bands[k].first = start;
        session.bands[k - 1].end = start;
    }
    session.bands[count - 1].end = height;
    for (Band& band : session.bands) {
        band.scanline.resize(session.scanline.size());
        band.converted.resize(session.converted.size());
    }
}

/// Decodes one band with a decoder of its own, under its own setjmp, on the calling thread.
bool RunBand(const ReadSession& session, Band& band) {
    if (setjmp(band.errors.jump) != 0) {
        return false;
    }
    jpeg_decompress_struct& decoder = band.decoder;
    detail::InstallErrorRecord(*reinterpret_cast<jpeg_common_struct*>(&decoder), band.errors);
    jpeg_create_decompress(&decoder);
    band.created = true;
    jpeg_mem_src(&decoder, static_cast<const unsigned char*>(session.bytes),
                 static_cast<unsigned long>(session.byteCount));
    jpeg_read_header(&decoder, TRUE);
    decoder.out_color_space = session.decoder.out_color_space;
    decoder.mem->max_memory_to_use = session.decoder.mem->max_memory_to_use;
    jpeg_start_decompress(&decoder);
    if (band.first > 0) {
        jpeg_skip_scanlines(&decoder, band.first);
    }
    PlaceScanlines(decoder, band.end, session.plan, session.base, band.scanline, band.converted);
    if (band.end == decoder.output_height) {
        jpeg_finish_decompress(&decoder);
    }
    return true;
}

/// Decodes the bands on every core. Bands given to one thread together are decoded as one, by
/// the first one's decoder, so none skips what the same thread has just decoded. The verdict is
/// the one decoding the whole picture in one pass reaches: the first failing band's failure, and
/// truncated when any band met the end of the data.
bool DecodeBands(ReadSession& session) {
    auto decode = [&session](std::size_t first, std::size_t end) noexcept {
        Band& band = session.bands[first];
        band.end = session.bands[end - 1].end;
        band.ran = true;
        band.decoded = RunBand(session, band);
        // Its buffers go as soon as the band is done; the error record stays readable.
        if (band.created) {
            jpeg_destroy_decompress(&band.decoder);
            band.created = false;
        }
        std::vector<JSAMPLE>().swap(band.scanline);
        std::vector<BYTE>().swap(band.converted);
    };
    orvel::platform::ForEachSlice(session.bands.size(), session.plan.blockBytes + session.byteCount,
                                  decode);
    for (const Band& band : session.bands) {
        if (!band.ran) {
            continue;
        }
        if (!band.decoded) {
            session.errors.code = band.errors.code;
            std::memcpy(session.errors.message, band.errors.message, sizeof band.errors.message);
            return false;
        }
        session.errors.endedEarly = session.errors.endedEarly || band.errors.endedEarly;
    }
    return true;
}

/// The file and information headers of the new block, and the grey ramp of an 8-bit picture.
void WriteHeaders(const Plan& plan, BYTE* base) noexcept {
    BITMAPFILEHEADER file{};
    file.bfType = DIB_SIGNATURE;
    file.bfSize = static_cast<DWORD>(plan.blockBytes);
    file.bfOffBits = static_cast<DWORD>(plan.pixelsOffset);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = static_cast<LONG>(plan.dibWidth);
    info.biHeight = static_cast<LONG>(plan.dibHeight);
    info.biPlanes = 1;
    info.biBitCount = plan.header.dibBitCount;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(plan.stride * plan.dibHeight);
    std::memcpy(base, &file, sizeof file);
    std::memcpy(base + kFileHeaderBytes, &info, sizeof info);
    if (plan.header.dibBitCount == 8) {
        BYTE* entry = base + kFileHeaderBytes + kInfoHeaderBytes;
        for (unsigned grey = 0; grey < 256; ++grey, entry += sizeof(RGBQUAD)) {
            entry[0] = entry[1] = entry[2] = static_cast<BYTE>(grey);
        }
    }
}

/// Every libjpeg call of the session's decoder, under one setjmp; nothing here owns anything.
bool RunDecode(ReadSession& session) {
    if (setjmp(session.errors.jump) != 0) {
        return false;
    }
    jpeg_decompress_struct& decoder = session.decoder;
    jpeg_create_decompress(&decoder);
    session.created = true;
    jpeg_mem_src(&decoder, static_cast<const unsigned char*>(session.bytes),
                 static_cast<unsigned long>(session.byteCount));
    session.progress.progress_monitor = StopEndlessScans;
    decoder.progress = &session.progress;
    ReadHeaderFields(session);
    if (session.plan.header.colourModel == ColourModel::other) {
        session.refusal =
            Error{Failure::unsupported, "JPEG SOF: " + std::to_string(decoder.num_components) +
                                            " components of no known colour model"};
        return false;
    }
    if (!MakePlan(session)) {
        return false;
    }
    // libjpeg's own buffers (a progressive picture keeps every coefficient) are bounded as well:
    // a picture within the limit needs at most twice its pixel area for them.
    decoder.mem->max_memory_to_use = static_cast<long>(
        std::min<std::uint64_t>(session.maxPixelBytes * 2 + (16U << 20), std::uint64_t{LONG_MAX}));
    const Plan& plan = session.plan;
    jpeg_calc_output_dimensions(&decoder);
    session.scanline.resize(std::uint64_t{decoder.output_width} * decoder.output_components);
    if (decoder.out_color_space == JCS_CMYK) {
        session.converted.resize(std::uint64_t{decoder.output_width} * 3);
    }
    PlanBands(session);
    if (session.bands.empty()) {
        jpeg_start_decompress(&decoder);
    }
    session.block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, plan.blockBytes);
    if (session.block == nullptr) {
        session.refusal = Error{Failure::noMemory, "JPEG: no memory for the picture"};
        return false;
    }
    session.base = static_cast<BYTE*>(GlobalLock(session.block));
    if (session.base == nullptr) {
        session.refusal = Error{Failure::noMemory, "JPEG: the picture's block cannot be locked"};
        return false;
    }
    WriteHeaders(plan, session.base);
    if (!session.bands.empty()) {
        return DecodeBands(session);
    }
    PlaceScanlines(decoder, decoder.output_height, plan, session.base, session.scanline,
                   session.converted);
    jpeg_finish_decompress(&decoder);
    return true;
}

/// The libjpeg calls of a header read, under one setjmp; nothing here owns anything.
bool RunHeaderRead(ReadSession& session, const void* bytes, std::size_t byteCount) {
    if (setjmp(session.errors.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&session.decoder);
    session.created = true;
    jpeg_mem_src(&session.decoder, static_cast<const unsigned char*>(bytes),
                 static_cast<unsigned long>(byteCount));
    ReadHeaderFields(session);
    return true;
}

bool HasStartOfImage(const void* bytes, std::size_t byteCount) noexcept {
    const auto* first = static_cast<const BYTE*>(bytes);
    return bytes != nullptr && byteCount >= 3 && first[0] == 0xFF && first[1] == 0xD8 &&
           first[2] == 0xFF;
}

Error NotJpeg() {
    return Error{Failure::notJpeg, "JPEG: no start-of-image marker"};
}

void CloseSession(ReadSession& session) noexcept {
    if (session.created) {
        jpeg_destroy_decompress(&session.decoder);
    }
    for (Band& band : session.bands) {
        if (band.created) {
            jpeg_destroy_decompress(&band.decoder);
        }
    }
}

void Report(Error failure, Error* error) {
    if (failure.failure == Failure::noMemory) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (error != nullptr) {
        *error = std::move(failure);
    }
}

} // namespace

bool ReadJpegHeader(const void* bytes, std::size_t byteCount, JpegHeader* header,
                    Error* error) noexcept {
    Error failure;
    try {
        if (!HasStartOfImage(bytes, byteCount)) {
            failure = NotJpeg();
        } else {
            ReadSession session;
            detail::InstallErrorRecord(*reinterpret_cast<jpeg_common_struct*>(&session.decoder),
                                       session.errors);
            const bool read = RunHeaderRead(session, bytes, byteCount);
            if (read) {
                if (header != nullptr) {
                    *header = session.plan.header;
                }
                CloseSession(session);
                if (error != nullptr) {
                    *error = Error{};
                }
                return true;
            }
            failure = detail::ErrorFromRecord(session.errors, "header");
            CloseSession(session);
        }
    } catch (const std::bad_alloc&) {
        failure = Error{Failure::noMemory, "JPEG: no memory"};
    }
    Report(std::move(failure), error);
    return false;
}

HGLOBAL DecodeJpeg(const void* bytes, std::size_t byteCount, Orientation orientation,
                   std::uint64_t maxPixelBytes, Error* error) noexcept {
    Error failure;
    try {
        if (!HasStartOfImage(bytes, byteCount)) {
            failure = NotJpeg();
        } else {
            ReadSession session;
            session.maxPixelBytes = maxPixelBytes;
            session.orientation = orientation;
            session.bytes = bytes;
            session.byteCount = byteCount;
            detail::InstallErrorRecord(*reinterpret_cast<jpeg_common_struct*>(&session.decoder),
                                       session.errors);
            const bool decoded = RunDecode(session);
            if (session.base != nullptr) {
                GlobalUnlock(session.block);
            }
            CloseSession(session);
            if (decoded && !session.errors.endedEarly) {
                if (error != nullptr) {
                    *error = Error{};
                }
                return session.block;
            }
            if (session.block != nullptr) {
                GlobalFree(session.block);
            }
            if (decoded) {
                failure = Error{Failure::truncated, "JPEG scan: the data ends before the picture "
                                                    "does"};
            } else if (session.refusal.failure != Failure::none) {
                failure = std::move(session.refusal);
            } else {
                failure = detail::ErrorFromRecord(session.errors, "data");
            }
        }
    } catch (const std::bad_alloc&) {
        failure = Error{Failure::noMemory, "JPEG: no memory"};
    }
    Report(std::move(failure), error);
    return nullptr;
}

const char* JpegLibraryVersion() noexcept {
#ifdef LIBJPEG_TURBO_VERSION
#define ORVEL_STRINGIFY_(x) #x
#define ORVEL_STRINGIFY(x) ORVEL_STRINGIFY_(x)
    return "libjpeg-turbo " ORVEL_STRINGIFY(LIBJPEG_TURBO_VERSION);
#else
    return "libjpeg";
#endif
}

} // namespace orvel::jpeg
