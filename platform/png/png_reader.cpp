// Reading PNG: the header chunks, then the whole picture into a new DIB block.
#include "detail/libpng_session.h"
#include "detail/plain_image_data.h"
#include "png_codec.h"

#include "../memory/global_memory.h"
#include "../win/error.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace orvel::png {
namespace {

using detail::MakeError;

constexpr std::size_t kSignatureBytes = 8;
constexpr std::uint64_t kFileHeaderBytes = sizeof(BITMAPFILEHEADER);
constexpr std::uint64_t kInfoHeaderBytes = sizeof(BITMAPINFOHEADER);

/// The picture a PNG becomes, worked out from its header chunks before any pixel is read.
struct Plan {
    PngHeader header;
    int tableEntries = 0;             ///< colour-table entries of the DIB: 0, 2, 16 or 256
    std::array<RGBQUAD, 256> table{}; ///< the DIB's colour table
    int indexLimit = 256;             ///< palette pictures: indexes from here on are corrupt
    bool checkIndexes = false;        ///< the PLTE is shorter than the indexes of the PNG's depth
    bool rowsArePacked = false;       ///< libpng hands over one byte a pixel, packed here
    std::uint64_t dibRowBytes = 0;    ///< bytes of a DIB row that hold pixels
    std::uint64_t stride = 0;         ///< bytes of a DIB row with its padding
    std::uint64_t pixelBytes = 0;     ///< stride x height
    std::uint64_t pixelsOffset = 0;   ///< offset of the rows in the block
    std::uint64_t blockBytes = 0;     ///< the whole block
    std::uint64_t scratchBytes = 0;   ///< one byte a pixel: one row, or all of an Adam7 picture
    LONG xPelsPerMeter = 0;
    LONG yPelsPerMeter = 0;
};

/// libpng's view of the caller's bytes, behind the signature already checked.
struct ReadSession : detail::Session {
    const png_byte* bytes = nullptr;
    std::size_t byteCount = 0;
    std::size_t offset = 0;

    DibLayout layout = DibLayout::packed;
    std::uint64_t maxPixelBytes = 0;
    Plan plan;
    /// Set when the plan refuses the picture; the failure is then this, not libpng's.
    Error refusal;
    HGLOBAL block = nullptr;
    BYTE* base = nullptr;
    std::vector<png_byte> scratch;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* session = static_cast<ReadSession*>(png_get_io_ptr(png));
    if (length > session->byteCount - session->offset) {
        session->truncated = true;
        png_error(png, "the data ends early");
    }
    std::memcpy(out, session->bytes + session->offset, length);
    session->offset += length;
}

bool HasSignature(const void* bytes, std::size_t byteCount) noexcept {
    return bytes != nullptr && byteCount >= kSignatureBytes &&
           png_sig_cmp(static_cast<png_const_bytep>(bytes), 0, kSignatureBytes) == 0;
}

/// Makes libpng's structures for a read of `session` and points them at its bytes. False when
/// libpng cannot make them (out of memory).
bool OpenRead(ReadSession& session, const void* bytes, std::size_t byteCount) noexcept {
    session.bytes = static_cast<const png_byte*>(bytes);
    session.byteCount = byteCount;
    session.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &session, detail::RecordLibpngError,
                                         detail::IgnoreLibpngWarning);
    if (session.png == nullptr) {
        return false;
    }
    session.info = png_create_info_struct(session.png);
    if (session.info == nullptr) {
        return false;
    }
    png_set_read_fn(session.png, &session, ReadFromMemory);
    // A CRC error in any chunk, ancillary ones included, is a damaged file: refused, never
    // decoded around.
    png_set_crc_action(session.png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    // Sizes are checked against the caller's limit once the header is read; libpng's own
    // default limit of a million pixels a side would refuse long thin pictures the library takes.
    png_set_user_limits(session.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    return true;
}

void CloseRead(ReadSession& session) noexcept {
    if (session.png != nullptr) {
        png_destroy_read_struct(&session.png, session.info != nullptr ? &session.info : nullptr,
                                nullptr);
    }
}

/// The depth a PNG's pixels keep without loss in a DIB (see png_codec.h).
WORD ChooseBitCount(int colourType, int bitDepth, int paletteEntries, bool someEntryTranslucent,
                    bool hasTransparency) noexcept {
    switch (colourType) {
    case PNG_COLOR_TYPE_PALETTE:
        if (someEntryTranslucent) {
            return 32;
        }
        return paletteEntries <= 2 ? 1 : paletteEntries <= 16 ? 4 : 8;
    case PNG_COLOR_TYPE_GRAY:
        if (hasTransparency) {
            return 32;
        }
        return bitDepth == 1 ? 1 : bitDepth <= 4 ? 4 : 8;
    case PNG_COLOR_TYPE_RGB:
        return hasTransparency ? 32 : 24;
    default: // grey + alpha, RGBA
        return 32;
    }
}

/// Reads the header fields and the chunks that decide the DIB's form into `plan.header`.
void ReadHeaderFields(png_structp png, png_infop info, Plan& plan) {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    int interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
    PngHeader& header = plan.header;
    header.width = width;
    header.height = height;
    header.bitDepth = bitDepth;
    header.colourType = colourType;
    header.interlaced = interlace != PNG_INTERLACE_NONE;

    png_colorp palette = nullptr;
    int paletteEntries = 0;
    if (png_get_PLTE(png, info, &palette, &paletteEntries) != 0) {
        header.paletteEntries = paletteEntries;
    }
    png_bytep transAlpha = nullptr;
    int transCount = 0;
    png_color_16p transColour = nullptr;
    header.hasTransparency = png_get_tRNS(png, info, &transAlpha, &transCount, &transColour) != 0;
    bool someEntryTranslucent = false;
    if (colourType == PNG_COLOR_TYPE_PALETTE && header.hasTransparency && transAlpha != nullptr) {
        someEntryTranslucent =
            std::any_of(transAlpha, transAlpha + transCount, [](png_byte a) { return a != 255; });
    }
    header.dibBitCount = ChooseBitCount(colourType, bitDepth, header.paletteEntries,
                                        someEntryTranslucent, header.hasTransparency);

    png_uint_32 xPerUnit = 0;
    png_uint_32 yPerUnit = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &xPerUnit, &yPerUnit, &unit) != 0 && unit == PNG_RESOLUTION_METER &&
        xPerUnit <= PNG_UINT_31_MAX && yPerUnit <= PNG_UINT_31_MAX) {
        plan.xPelsPerMeter = static_cast<LONG>(xPerUnit);
        plan.yPelsPerMeter = static_cast<LONG>(yPerUnit);
    }

    if (header.dibBitCount > 8) {
        return;
    }
    plan.tableEntries = 1 << header.dibBitCount;
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < header.paletteEntries; ++i) {
            plan.table[i] = RGBQUAD{palette[i].blue, palette[i].green, palette[i].red, 0};
        }
        plan.indexLimit = header.paletteEntries;
    } else {
        // A grey ramp over the sample's own range: 1-bit grey is black and white, 2-bit grey
        // the four levels 0, 85, 170, 255 (in a 4-bit table), and so on.
        const int levels = bitDepth >= 8 ? 256 : 1 << bitDepth;
        for (int i = 0; i < levels; ++i) {
            const auto grey = static_cast<BYTE>(i * 255 / (levels - 1));
            plan.table[i] = RGBQUAD{grey, grey, grey, 0};
        }
    }
}

/// Works out the block's sizes, checked against the limit before anything is allocated. False
/// with `refusal` set when the picture is too large.
bool SizeThePicture(ReadSession& session) {
    Plan& plan = session.plan;
    const PngHeader& header = plan.header;
    const std::uint64_t width = header.width;
    const std::uint64_t height = header.height;
    const int bitCount = header.dibBitCount;
    // Both sides are at most 2^31 - 1, so these products fit in 64 bits.
    plan.dibRowBytes = (width * bitCount + 7) / 8;
    plan.stride = (width * bitCount + 31) / 32 * 4;
    const std::uint64_t limit =
        std::min<std::uint64_t>(session.maxPixelBytes, kGlobalMemoryMaxBlockBytes);
    if (plan.stride > limit || height > limit / plan.stride) {
        session.refusal =
            MakeError(Failure::tooLarge,
                      "PNG IHDR: " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels at " + std::to_string(bitCount) + " bits exceed the limit of " +
                          std::to_string(session.maxPixelBytes) + " bytes");
        return false;
    }
    plan.pixelBytes = plan.stride * height;
    const std::uint64_t headerOffset =
        session.layout == DibLayout::withFileHeader ? kFileHeaderBytes : 0;
    plan.pixelsOffset =
        headerOffset + kInfoHeaderBytes + static_cast<std::uint64_t>(plan.tableEntries) * 4;
    plan.blockBytes = plan.pixelsOffset + plan.pixelBytes;
    if (plan.blockBytes > kGlobalMemoryMaxBlockBytes) {
        session.refusal =
            MakeError(Failure::tooLarge, "PNG IHDR: the picture exceeds the largest block");
        return false;
    }

    // Pixels come one byte each where the DIB packs them differently from the PNG (2-bit grey
    // widened to 4 bits, palettes of fewer entries than the PNG's depth), or where each index
    // must be checked against a short palette before it is packed.
    plan.checkIndexes = header.colourType == PNG_COLOR_TYPE_PALETTE && bitCount <= 8 &&
                        plan.indexLimit < (1 << header.bitDepth);
    const int libpngBits = bitCount > 8 ? bitCount : std::min(header.bitDepth, 8);
    plan.rowsArePacked =
        bitCount <= 8 && (libpngBits != bitCount || (plan.checkIndexes && bitCount < 8));
    if (plan.rowsArePacked) {
        // An Adam7 picture arrives pass by pass, so every row waits in the scratch at once.
        const std::uint64_t rows = header.interlaced ? height : 1;
        if (rows > limit / width) {
            session.refusal = MakeError(Failure::tooLarge,
                                        "PNG IHDR: an interlaced picture of " +
                                            std::to_string(width) + " x " + std::to_string(height) +
                                            " pixels needs more than the limit to be unpacked");
            return false;
        }
        plan.scratchBytes = rows * width;
    }
    return true;
}

/// Asks libpng for rows in the DIB's own form: BGR or BGRA with 8-bit samples, or indexes.
void SetTransforms(png_structp png, const Plan& plan) {
    const PngHeader& header = plan.header;
    if (header.bitDepth == 16) {
        png_set_scale_16(png); // to nearest, not truncated
    }
    if (header.dibBitCount > 8) {
        png_set_expand(png); // palette to RGB, small greys to 8 bits, tRNS to alpha
        if (header.colourType == PNG_COLOR_TYPE_GRAY ||
            header.colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
            png_set_gray_to_rgb(png);
        }
        png_set_bgr(png);
    } else if (plan.rowsArePacked) {
        png_set_packing(png);
    }
}

/// Fails through libpng (a long jump) when a row holds an index beyond the palette.
void CheckIndexes(png_structp png, const png_byte* indexes, std::uint64_t count, int limit) {
    const png_byte* const end = indexes + count;
    for (const png_byte* p = indexes; p != end; ++p) {
        if (*p >= limit) {
            std::array<char, 96> message{};
            std::snprintf(message.data(), message.size(),
                          "IDAT: pixel index %d beyond the %d entries of PLTE", *p, limit);
            png_error(png, message.data());
        }
    }
}

/// Packs one byte a pixel into a DIB row of 1, 4 or 8 bits a pixel, leftmost pixel highest.
void PackRow(const png_byte* indexes, std::uint64_t width, int bitCount, BYTE* out) noexcept {
    const png_byte* const end = indexes + width;
    if (bitCount == 8) {
        std::memcpy(out, indexes, width);
    } else if (bitCount == 4) {
        for (; end - indexes >= 2; indexes += 2) {
            *out++ = static_cast<BYTE>(indexes[0] << 4 | (indexes[1] & 0x0F));
        }
        if (indexes != end) {
            *out = static_cast<BYTE>(indexes[0] << 4);
        }
    } else {
        while (indexes != end) {
            BYTE packed = 0;
            for (int bit = 7; bit >= 0 && indexes != end; --bit, ++indexes) {
                packed = static_cast<BYTE>(packed | (*indexes & 1) << bit);
            }
            *out++ = packed;
        }
    }
}

void WriteHeaders(ReadSession& session) noexcept {
    const Plan& plan = session.plan;
    BYTE* header = session.base;
    if (session.layout == DibLayout::withFileHeader) {
        BITMAPFILEHEADER fileHeader{};
        fileHeader.bfType = DIB_SIGNATURE;
        fileHeader.bfSize = static_cast<DWORD>(plan.blockBytes);
        fileHeader.bfOffBits = static_cast<DWORD>(plan.pixelsOffset);
        std::memcpy(header, &fileHeader, sizeof fileHeader);
        header += sizeof fileHeader;
    }
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = static_cast<LONG>(plan.header.width);
    info.biHeight = static_cast<LONG>(plan.header.height);
    info.biPlanes = 1;
    info.biBitCount = plan.header.dibBitCount;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(plan.pixelBytes);
    info.biXPelsPerMeter = plan.xPelsPerMeter;
    info.biYPelsPerMeter = plan.yPelsPerMeter;
    std::memcpy(header, &info, sizeof info);
    std::memcpy(header + sizeof info, plan.table.data(),
                static_cast<std::size_t>(plan.tableEntries) * sizeof(RGBQUAD));
}

/// Whether the picture's rows are plain 8-bit samples stored as they come (red and blue
/// swapped), which the plain image-data reader handles.
bool TakesPlainPath(const Plan& plan) noexcept {
    const PngHeader& header = plan.header;
    if (!detail::PlainImageDataAvailable() || header.interlaced || header.bitDepth != 8 ||
        plan.rowsArePacked || plan.checkIndexes) {
        return false;
    }
    switch (header.colourType) {
    case PNG_COLOR_TYPE_RGB:
        return header.dibBitCount == 24;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return header.dibBitCount == 32;
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
        return header.dibBitCount == 8;
    default:
        return false;
    }
}

/// Every libpng call of a decode, under one setjmp. Holds no locals that need destroying: a long
/// jump from libpng lands here and the session, kept by the caller, tells what happened.
bool RunDecode(ReadSession& session) {
    if (setjmp(png_jmpbuf(session.png)) != 0) {
        return false;
    }
    png_structp png = session.png;
    png_set_sig_bytes(png, 0);
    png_read_info(png, session.info);
    ReadHeaderFields(png, session.info, session.plan);
    if (!SizeThePicture(session)) {
        return false;
    }
    const Plan& plan = session.plan;
    SetTransforms(png, plan);
    const int passes = plan.header.interlaced ? png_set_interlace_handling(png) : 1;
    png_read_update_info(png, session.info);
    const std::uint64_t expectedRowBytes =
        plan.rowsArePacked ? plan.header.width : plan.dibRowBytes;
    if (png_get_rowbytes(png, session.info) != expectedRowBytes) {
        png_error(png, "IHDR: rows of an unexpected layout");
    }

    session.scratch.resize(plan.scratchBytes);
    // A block that cannot be made or locked keeps the memory service's own last error.
    session.block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, plan.blockBytes);
    if (session.block != nullptr) {
        session.base = static_cast<BYTE*>(GlobalLock(session.block));
    }
    if (session.base == nullptr) {
        session.refusal =
            MakeError(Failure::noMemory, "PNG: no block of " + std::to_string(plan.blockBytes) +
                                             " bytes for the picture");
        return false;
    }
    WriteHeaders(session);

    // PNG rows run top-down and the DIB's bottom-up: the first row read is the DIB's last.
    const std::uint64_t height = plan.header.height;
    const std::uint64_t width = plan.header.width;
    BYTE* const lastDibRow = session.base + plan.pixelsOffset + (height - 1) * plan.stride;
    if (TakesPlainPath(plan)) {
        detail::PlainPicture picture;
        picture.file = session.bytes;
        picture.fileBytes = session.byteCount;
        picture.imageDataOffset = session.offset;
        picture.width = plan.header.width;
        picture.height = plan.header.height;
        picture.pixelBytes = plan.header.dibBitCount / 8;
        picture.lastDibRow = lastDibRow;
        picture.dibStride = plan.stride;
        // On success the chunks through IEND have been checked as png_read_end would; otherwise
        // libpng carries on from the first IDAT, where it stopped, and rewrites every row.
        if (detail::ReadPlainImageData(picture)) {
            return true;
        }
    }
    for (int pass = 0; pass < passes; ++pass) {
        BYTE* dibRow = lastDibRow;
        png_byte* scratchRow = session.scratch.data();
        for (std::uint64_t y = 0; y < height; ++y, dibRow -= plan.stride) {
            if (!plan.rowsArePacked) {
                png_read_row(png, dibRow, nullptr);
                continue;
            }
            png_read_row(png, scratchRow, nullptr);
            if (!plan.header.interlaced) {
                if (plan.checkIndexes) {
                    CheckIndexes(png, scratchRow, width, plan.indexLimit);
                }
                PackRow(scratchRow, width, plan.header.dibBitCount, dibRow);
            } else {
                scratchRow += width;
            }
        }
    }
    if (plan.rowsArePacked && plan.header.interlaced) {
        BYTE* dibRow = lastDibRow;
        const png_byte* scratchRow = session.scratch.data();
        for (std::uint64_t y = 0; y < height; ++y, dibRow -= plan.stride, scratchRow += width) {
            if (plan.checkIndexes) {
                CheckIndexes(png, scratchRow, width, plan.indexLimit);
            }
            PackRow(scratchRow, width, plan.header.dibBitCount, dibRow);
        }
    }
    if (!plan.rowsArePacked && plan.checkIndexes) {
        // 8-bit indexes of a palette of fewer than 256 entries, read straight into the rows.
        const BYTE* dibRow = lastDibRow;
        for (std::uint64_t y = 0; y < height; ++y, dibRow -= plan.stride) {
            CheckIndexes(png, dibRow, width, plan.indexLimit);
        }
    }
    // The chunks after the pixels are read too, so a damaged or cut-off end is not taken.
    png_read_end(png, nullptr);
    return true;
}

/// Reads up to the first IDAT under its own setjmp.
bool RunReadHeader(ReadSession& session) {
    if (setjmp(png_jmpbuf(session.png)) != 0) {
        return false;
    }
    png_read_info(session.png, session.info);
    ReadHeaderFields(session.png, session.info, session.plan);
    return true;
}

void SetError(Error* error, Error value) {
    if (error != nullptr) {
        *error = std::move(value);
    }
}

Error NotPng() {
    return MakeError(Failure::notPng, "PNG: the data does not start with the PNG signature");
}

} // namespace

bool ReadPngHeader(const void* bytes, std::size_t byteCount, PngHeader* header,
                   Error* error) noexcept {
    try {
        if (!HasSignature(bytes, byteCount)) {
            SetError(error, NotPng());
            return false;
        }
        ReadSession session;
        bool read = OpenRead(session, bytes, byteCount) && RunReadHeader(session);
        CloseRead(session);
        if (!read) {
            SetError(error, detail::ErrorFromSession(session));
            return false;
        }
        if (header != nullptr) {
            *header = session.plan.header;
        }
        SetError(error, Error{});
        return true;
    } catch (const std::bad_alloc&) {
        SetError(error, MakeError(Failure::noMemory, "PNG: no memory"));
        return false;
    }
}

HGLOBAL DecodePng(const void* bytes, std::size_t byteCount, DibLayout layout,
                  std::uint64_t maxPixelBytes, Error* error) noexcept {
    try {
        if (!HasSignature(bytes, byteCount)) {
            SetError(error, NotPng());
            return nullptr;
        }
        ReadSession session;
        session.layout = layout;
        session.maxPixelBytes = maxPixelBytes;
        bool decoded = false;
        try {
            decoded = OpenRead(session, bytes, byteCount) && RunDecode(session);
        } catch (const std::bad_alloc&) {
            session.outOfMemory = true;
        }
        CloseRead(session);
        if (session.block != nullptr) {
            if (session.base != nullptr) {
                GlobalUnlock(session.block);
            }
            if (!decoded) {
                GlobalFree(session.block);
                session.block = nullptr;
            }
        }
        if (!decoded) {
            Error failure = session.refusal.failure != Failure::none
                                ? std::move(session.refusal)
                                : detail::ErrorFromSession(session);
            if (session.outOfMemory) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            }
            SetError(error, std::move(failure));
            return nullptr;
        }
        SetError(error, Error{});
        return session.block;
    } catch (const std::bad_alloc&) {
        SetError(error, MakeError(Failure::noMemory, "PNG: no memory"));
        return nullptr;
    }
}

} // namespace orvel::png
