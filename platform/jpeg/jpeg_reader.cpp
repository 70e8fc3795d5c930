// Reading JPEG: the markers up to the first scan, then the whole picture into a new DIB block.
#include "detail/exif_orientation.h"
#include "detail/libjpeg_errors.h"
#include "jpeg_codec.h"

#include "../memory/global_memory.h"
#include "../win/error.h"

#include <jerror.h>

#include <algorithm>
#include <climits>
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

/// Every libjpeg call of a decode, under one setjmp; nothing here owns anything.
bool RunDecode(ReadSession& session, const void* bytes, std::size_t byteCount) {
    if (setjmp(session.errors.jump) != 0) {
        return false;
    }
    jpeg_decompress_struct& decoder = session.decoder;
    jpeg_create_decompress(&decoder);
    session.created = true;
    jpeg_mem_src(&decoder, static_cast<const unsigned char*>(bytes),
                 static_cast<unsigned long>(byteCount));
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
    jpeg_start_decompress(&decoder);

    const Plan& plan = session.plan;
    const std::uint32_t width = decoder.output_width;
    session.scanline.resize(std::uint64_t{width} * decoder.output_components);
    const bool cmyk = decoder.out_color_space == JCS_CMYK;
    if (cmyk) {
        session.converted.resize(std::uint64_t{width} * 3);
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
    std::memcpy(session.base, &file, sizeof file);
    std::memcpy(session.base + kFileHeaderBytes, &info, sizeof info);
    if (plan.header.dibBitCount == 8) {
        BYTE* entry = session.base + kFileHeaderBytes + kInfoHeaderBytes;
        for (unsigned grey = 0; grey < 256; ++grey, entry += sizeof(RGBQUAD)) {
            entry[0] = entry[1] = entry[2] = static_cast<BYTE>(grey);
        }
    }

    BYTE* scanlineStart = session.base + plan.pixelsOffset + plan.firstPixel;
    JSAMPROW row = session.scanline.data();
    while (decoder.output_scanline < decoder.output_height) {
        jpeg_read_scanlines(&decoder, &row, 1);
        const BYTE* samples = row;
        if (cmyk) {
            CmykToBgr(row, width, plan.adobeInverted, session.converted.data());
            samples = session.converted.data();
        }
        PlaceScanline(samples, width, plan.pixelBytes, scanlineStart, plan.columnStep);
        scanlineStart += plan.scanlineStep;
    }
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
            detail::InstallErrorRecord(*reinterpret_cast<jpeg_common_struct*>(&session.decoder),
                                       session.errors);
            const bool decoded = RunDecode(session, bytes, byteCount);
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
