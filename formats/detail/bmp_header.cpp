#include "bmp_header.h"

#include "byte_reader.h"

#include <algorithm>
#include <bit>

namespace orvel::formats::detail {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr DWORD kCoreBytes = 12;
constexpr DWORD kInfoBytes = 40;
constexpr DWORD kV4Bytes = 108;
constexpr DWORD kV5Bytes = 124;
// OS/2 2.x headers may stop after any field from the bit count on: 16 to 64 bytes.
constexpr DWORD kOs2MinBytes = 16;
constexpr DWORD kOs2MaxBytes = 64;
// OS/2 2.x reuses compression numbers 3 and 4 for codings Windows gives other meanings.
constexpr DWORD kOs2Huffman1D = 3;
constexpr DWORD kOs2Rle24 = 4;
constexpr DWORD kAlphaBitFields = 6;

std::string VersionName(DWORD headerBytes, bool os2) {
    std::string name;
    switch (headerBytes) {
    case kCoreBytes:
        name = "BITMAPCOREHEADER";
        break;
    case kInfoBytes:
        name = "BITMAPINFOHEADER";
        break;
    case 52:
        name = "BITMAPV2INFOHEADER";
        break;
    case 56:
        name = "BITMAPV3INFOHEADER";
        break;
    case kV4Bytes:
        name = "BITMAPV4HEADER";
        break;
    case kV5Bytes:
        name = "BITMAPV5HEADER";
        break;
    default:
        name = os2 ? "OS/2 2.x BITMAPINFOHEADER2" : "header";
        break;
    }
    return name + " (" + std::to_string(headerBytes) + " bytes)";
}

/// A mask is one run of set bits inside the pixel's own bits, or empty.
bool ContiguousWithin(DWORD mask, WORD bitCount) noexcept {
    if (mask == 0) {
        return true;
    }
    if (bitCount < 32 && (mask >> bitCount) != 0) {
        return false;
    }
    const DWORD shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;
}

bool CheckMasks(const BmpHeader& header, std::string& fault) {
    static constexpr std::array<const char*, 4> kNames = {"red", "green", "blue", "alpha"};
    if ((header.masks[0] | header.masks[1] | header.masks[2]) == 0) {
        fault = "the red, green and blue masks are all empty";
        return false;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        if (!ContiguousWithin(header.masks[i], header.bitCount)) {
            fault = std::string("the ") + kNames[i] + " mask is not one run of bits within " +
                    std::to_string(header.bitCount) + " bits";
            return false;
        }
        for (std::size_t j = i + 1; j < 4; ++j) {
            if ((header.masks[i] & header.masks[j]) != 0) {
                fault = std::string("the ") + kNames[i] + " and " + kNames[j] + " masks overlap";
                return false;
            }
        }
    }
    return true;
}

/// The coding a compression number means, or a refusal.
bool ChooseCoding(BmpHeader& header, Failure& failure, std::string& fault) {
    const DWORD compression = header.compression;
    const WORD bits = header.bitCount;
    failure = Failure::unsupported;
    if (header.os2 && compression == kOs2Huffman1D) {
        fault = "OS/2 Huffman 1D compression is not decoded";
        return false;
    }
    // Run-length codes (BI_RLE8, BI_RLE4, OS/2's RLE24) move up the picture from its bottom row;
    // upside down they mean nothing published.
    const bool rle24 = header.os2 && compression == kOs2Rle24;
    if (rle24 || compression == BI_RLE8 || compression == BI_RLE4) {
        const WORD codedBits = rle24 ? 24 : compression == BI_RLE8 ? 8 : 4;
        header.coding = rle24            ? BmpCoding::rle24
                        : codedBits == 8 ? BmpCoding::rle8
                                         : BmpCoding::rle4;
        if (bits != codedBits) {
            failure = Failure::corrupt;
            fault = CompressionName(compression, header.os2) + " at " + std::to_string(bits) +
                    " bits per pixel";
            return false;
        }
        if (header.topDown) {
            fault = "a top-down run-length picture";
            return false;
        }
        return true;
    }
    switch (compression) {
    case BI_RGB:
        header.coding = BmpCoding::rgb;
        if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 &&
            bits != 32) {
            fault = std::to_string(bits) + " bits per pixel";
            return false;
        }
        return true;
    case BI_BITFIELDS:
    case kAlphaBitFields:
        header.coding = BmpCoding::bitFields;
        if (bits != 16 && bits != 32) {
            fault = "bit fields at " + std::to_string(bits) + " bits per pixel";
            return false;
        }
        return true;
    case BI_JPEG:
        header.coding = BmpCoding::jpeg;
        return true;
    case BI_PNG:
        header.coding = BmpCoding::png;
        return true;
    default:
        fault = "compression " + std::to_string(compression);
        return false;
    }
}

void ReadColourSpace(const BYTE* info, BmpHeader& header) {
    ColourSpaceData& space = header.colourSpace;
    space.present = true;
    space.type = Read32(info + 56);
    for (std::size_t i = 0; i < space.endpoints.size(); ++i) {
        space.endpoints[i] = static_cast<LONG>(Read32(info + 60 + 4 * i));
    }
    for (std::size_t i = 0; i < space.gamma.size(); ++i) {
        space.gamma[i] = Read32(info + 96 + 4 * i);
    }
    if (header.headerBytes >= kV5Bytes) {
        space.intent = Read32(info + 108);
        space.profileOffset = Read32(info + 112);
        space.profileBytes = Read32(info + 116);
    }
}

} // namespace

std::string CompressionName(DWORD compression, bool os2) {
    if (os2 && compression == kOs2Huffman1D) {
        return "Huffman 1D";
    }
    if (os2 && compression == kOs2Rle24) {
        return "RLE24";
    }
    switch (compression) {
    case BI_RGB:
        return "BI_RGB";
    case BI_RLE8:
        return "BI_RLE8";
    case BI_RLE4:
        return "BI_RLE4";
    case BI_BITFIELDS:
        return "BI_BITFIELDS";
    case BI_JPEG:
        return "BI_JPEG";
    case BI_PNG:
        return "BI_PNG";
    case kAlphaBitFields:
        return "BI_ALPHABITFIELDS";
    default:
        return std::to_string(compression);
    }
}

bool ReadBmpHeader(const BYTE* bytes, std::size_t byteCount, BmpHeader& header, Error& error) {
    header = BmpHeader{};
    auto refuse = [&](Failure failure, const std::string& fault) {
        const std::string where = header.version.empty() ? "BMP" : "BMP " + header.version;
        error = Error{failure, Format::bmp, where + ": " + fault};
        return false;
    };
    if (byteCount < 2 || bytes[0] != 'B' || bytes[1] != 'M') {
        return refuse(Failure::corrupt, "no \"BM\" signature");
    }
    if (byteCount < kFileHeaderBytes + 4) {
        return refuse(Failure::truncated, "the file ends inside its file header (" +
                                              std::to_string(byteCount) + " bytes)");
    }
    header.pixelOffset = Read32(bytes + 10);
    const DWORD headerBytes = Read32(bytes + kFileHeaderBytes);
    const bool windows = headerBytes == kInfoBytes || headerBytes == 52 || headerBytes == 56 ||
                         headerBytes == kV4Bytes || headerBytes == kV5Bytes;
    header.os2 = headerBytes == kCoreBytes ||
                 (!windows && headerBytes >= kOs2MinBytes && headerBytes <= kOs2MaxBytes);
    header.headerBytes = headerBytes;
    if (!windows && !header.os2) {
        return refuse(Failure::unsupported, "an information header of " +
                                                std::to_string(headerBytes) +
                                                " bytes, no version this reader knows");
    }
    header.version = VersionName(headerBytes, header.os2);
    if (byteCount - kFileHeaderBytes < headerBytes) {
        return refuse(Failure::truncated, "the file ends inside the header");
    }
    const BYTE* info = bytes + kFileHeaderBytes;
    WORD planes = 0;
    DWORD coloursUsed = 0;
    DWORD imageBytes = 0;
    if (headerBytes == kCoreBytes) {
        // OS/2 1.x: unsigned 16-bit sizes, three-byte colour entries, no compression.
        header.width = Read16(info + 4);
        header.rows = Read16(info + 6);
        planes = Read16(info + 8);
        header.bitCount = Read16(info + 10);
        header.entryBytes = 3;
        if (header.bitCount != 1 && header.bitCount != 4 && header.bitCount != 8 &&
            header.bitCount != 24) {
            return refuse(Failure::unsupported,
                          std::to_string(header.bitCount) + " bits per pixel");
        }
    } else {
        header.width = static_cast<LONG>(Read32(info + 4));
        const auto height = static_cast<LONG>(Read32(info + 8));
        header.topDown = height < 0;
        header.rows = header.topDown ? -std::int64_t{height} : height;
        planes = Read16(info + 12);
        header.bitCount = Read16(info + 14);
        header.compression = Field32(info, headerBytes, 16);
        imageBytes = Field32(info, headerBytes, 20);
        coloursUsed = Field32(info, headerBytes, 32);
    }
    if (planes != 1) {
        return refuse(Failure::corrupt, std::to_string(planes) + " planes");
    }
    if (header.width < 0) {
        return refuse(Failure::corrupt, "a negative width");
    }
    Failure failure = Failure::none;
    std::string fault;
    if (!ChooseCoding(header, failure, fault)) {
        return refuse(failure, fault);
    }

    header.tableOffset = static_cast<DWORD>(kFileHeaderBytes + headerBytes);
    if (header.coding == BmpCoding::bitFields) {
        if (headerBytes == kInfoBytes) {
            // A 40-byte header keeps its masks right after itself, before the colour table.
            const DWORD maskBytes = header.compression == kAlphaBitFields ? 16 : 12;
            if (byteCount < std::size_t{header.tableOffset} + maskBytes) {
                return refuse(Failure::truncated, "the file ends inside the bit-field masks");
            }
            for (DWORD i = 0; i < maskBytes / 4; ++i) {
                header.masks[i] = Read32(bytes + header.tableOffset + 4 * i);
            }
            header.tableOffset += maskBytes;
        } else if (headerBytes >= 52) {
            header.masks = {Field32(info, headerBytes, 40), Field32(info, headerBytes, 44),
                            Field32(info, headerBytes, 48), Field32(info, headerBytes, 52)};
        } else {
            return refuse(Failure::corrupt, "bit fields in a header with no masks");
        }
        if (!CheckMasks(header, fault)) {
            return refuse(Failure::corrupt, fault);
        }
    }
    if (headerBytes >= kV4Bytes) {
        ReadColourSpace(info, header);
    }

    if (header.pixelOffset < header.tableOffset || header.pixelOffset > byteCount) {
        return refuse(Failure::corrupt, "the pixels start at offset " +
                                            std::to_string(header.pixelOffset) +
                                            ", outside the file's " + std::to_string(byteCount) +
                                            " bytes after its headers");
    }
    if (header.bitCount <= 8 && header.coding != BmpCoding::jpeg &&
        header.coding != BmpCoding::png) {
        const DWORD depthEntries = DWORD{1} << header.bitCount;
        // A file may store fewer colours than its depth allows; the entries it leaves out are
        // black, never bytes that belong to the pixels. When the whole table is there it is the
        // picture's whatever biClrUsed says, as the library reads it.
        const DWORD room = (header.pixelOffset - header.tableOffset) / header.entryBytes;
        const DWORD declared = coloursUsed != 0 && coloursUsed < depthEntries && room < depthEntries
                                   ? coloursUsed
                                   : depthEntries;
        header.storedEntries = std::min(declared, room);
    }
    header.fileBytes = Read32(bytes + 2);
    header.imageBytes = imageBytes;
    header.coloursUsed = coloursUsed;
    header.coloursImportant = Field32(info, headerBytes, 36);
    header.pixelDataBytes = static_cast<DWORD>(
        std::min<std::size_t>(byteCount - header.pixelOffset, DWORD{0xFFFFFFFF}));
    if ((header.coding == BmpCoding::jpeg || header.coding == BmpCoding::png) && imageBytes != 0) {
        header.pixelDataBytes = std::min(header.pixelDataBytes, imageBytes);
    }
    return true;
}

} // namespace orvel::formats::detail
