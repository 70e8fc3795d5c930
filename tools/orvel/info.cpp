// orvel info: what a file's headers say, and whether the library accepts the picture.
#include "atomic_output.h"
#include "commands.h"
#include "failure.h"
#include "options.h"
#include "picture_io.h"
#include "status_words.h"

#include <orvel/orvel.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

namespace orvel::cli {
namespace {

// Enough for a file header and the largest information header (124 bytes).
constexpr std::size_t kHeaderBytesRead = 14 + 124;

// What a file's own headers say, read from its bytes without the library.
struct FileFacts {
    std::string readError; ///< set when the file cannot be read at all
    std::uint64_t fileBytes = 0;
    std::string format; ///< "BMP", or the other format its signature shows
    bool headersComplete = false;
    std::uint32_t pixelOffset = 0;
    std::uint32_t headerBytes = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t imageBytes = 0;
    bool imageBytesComputed = false;
    std::uint32_t colourEntries = 0;
};

// What the library made of the file.
struct LibraryVerdict {
    bool accepted = false;
    bool byFormats = false; ///< refused by the formats module, which has no status record
    unsigned int kind = 0;
    unsigned long code = 0;
    std::string words;
    std::string picture; ///< the picture as loaded, when accepted
};

// What the formats module reads of the headers, beyond the BMP fields above.
struct ModuleFacts {
    bool read = false;
    formats::PictureFacts facts;
};

std::uint32_t Read16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t Read32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return Read16(bytes, at) | Read16(bytes, at + 2) << 16;
}

// Formats people mistake for BMP files, by their first bytes.
std::string FormatOfSignature(const std::vector<std::uint8_t>& bytes) {
    auto startsWith = [&](std::initializer_list<int> signature) {
        if (bytes.size() < signature.size()) {
            return false;
        }
        std::size_t i = 0;
        for (const int expected : signature) {
            if (bytes[i++] != expected) {
                return false;
            }
        }
        return true;
    };
    if (startsWith({'B', 'M'})) {
        return "BMP";
    }
    if (startsWith({0x89, 'P', 'N', 'G'})) {
        return "PNG";
    }
    if (startsWith({0xFF, 0xD8, 0xFF})) {
        return "JPEG";
    }
    if (startsWith({'G', 'I', 'F', '8'})) {
        return "GIF";
    }
    if (startsWith({'I', 'I', '*', 0}) || startsWith({'M', 'M', 0, '*'})) {
        return "TIFF";
    }
    if (startsWith({'R', 'I', 'F', 'F'})) {
        return "RIFF";
    }
    if (startsWith({'B', 'A'}) || startsWith({'C', 'I'}) || startsWith({'C', 'P'}) ||
        startsWith({'I', 'C'}) || startsWith({'P', 'T'})) {
        return "OS/2 icon or array";
    }
    return "unknown";
}

std::string HeaderName(std::uint32_t bytes) {
    switch (bytes) {
    case 12:
        return "BITMAPCOREHEADER";
    case 16:
    case 64:
        return "OS/2 2.x header";
    case 40:
        return "BITMAPINFOHEADER";
    case 52:
        return "BITMAPV2INFOHEADER";
    case 56:
        return "BITMAPV3INFOHEADER";
    case 108:
        return "BITMAPV4HEADER";
    case 124:
        return "BITMAPV5HEADER";
    default:
        return "unknown header";
    }
}

std::string CompressionName(std::uint32_t compression) {
    switch (compression) {
    case 0:
        return "BI_RGB";
    case 1:
        return "BI_RLE8";
    case 2:
        return "BI_RLE4";
    case 3:
        return "BI_BITFIELDS";
    case 4:
        return "BI_JPEG";
    case 5:
        return "BI_PNG";
    case 6:
        return "BI_ALPHABITFIELDS";
    default:
        return std::to_string(compression);
    }
}

FileFacts ReadFacts(const std::string& path) {
    FileFacts facts;
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        facts.readError = "it is a directory";
        return facts;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        facts.readError = SystemMessage(errno);
        return facts;
    }
    facts.fileBytes = std::filesystem::file_size(path, error);
    std::vector<std::uint8_t> bytes(kHeaderBytesRead);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    facts.format = FormatOfSignature(bytes);
    if (facts.format != "BMP" || bytes.size() < 18) {
        return facts;
    }
    facts.pixelOffset = Read32(bytes, 10);
    facts.headerBytes = Read32(bytes, 14);
    if (facts.headerBytes == 12) {
        if (bytes.size() < 26) {
            return facts;
        }
        facts.width = Read16(bytes, 18);
        facts.height = Read16(bytes, 20);
        facts.bitCount = Read16(bytes, 24);
        facts.colourEntries = facts.bitCount <= 8 ? 1U << facts.bitCount : 0;
    } else if (facts.headerBytes >= 40 && facts.headerBytes <= 124 && bytes.size() >= 54) {
        facts.width = static_cast<std::int32_t>(Read32(bytes, 18));
        facts.height = static_cast<std::int32_t>(Read32(bytes, 22));
        facts.bitCount = Read16(bytes, 28);
        facts.compression = Read32(bytes, 30);
        facts.imageBytes = Read32(bytes, 34);
        const std::uint32_t coloursUsed = Read32(bytes, 46);
        facts.colourEntries = coloursUsed != 0      ? coloursUsed
                              : facts.bitCount <= 8 ? 1U << facts.bitCount
                                                    : 0;
    } else {
        return facts;
    }
    facts.headersComplete = true;
    if (facts.imageBytes == 0 && facts.compression == 0) {
        const std::int64_t stride = (facts.width * facts.bitCount + 31) / 32 * 4;
        const std::int64_t rows = facts.height < 0 ? -facts.height : facts.height;
        facts.imageBytes = static_cast<std::uint32_t>(stride * rows);
        facts.imageBytesComputed = true;
    }
    return facts;
}

ModuleFacts ReadModuleFacts(const std::string& path) {
    ModuleFacts found;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return found;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
    found.read = formats::InspectPicture(bytes.data(), bytes.size(), &found.facts, nullptr);
    return found;
}

// A colour-space type is four characters stored as a number: 'sRGB', 'Win ', 'LINK', 'MBED'.
std::string FourCharacters(DWORD value) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<char>(value >> shift & 0xFF);
        text += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return text;
}

std::string ColourSpaceWords(const formats::ColourSpaceData& space) {
    const std::string type = FourCharacters(space.type);
    std::string words;
    if (space.type == 0) {
        char numbers[160];
        const auto fixed30 = [](LONG v) { return v / 1073741824.0; };
        std::snprintf(
            numbers, sizeof numbers, "calibrated RGB, red %.4f %.4f %.4f, gamma %.3f %.3f %.3f",
            fixed30(space.endpoints[0]), fixed30(space.endpoints[1]), fixed30(space.endpoints[2]),
            space.gamma[0] / 65536.0, space.gamma[1] / 65536.0, space.gamma[2] / 65536.0);
        words = numbers;
    } else if (type == "LINK" || type == "MBED") {
        words = std::string(type == "LINK" ? "linked" : "embedded") + " profile, " +
                std::to_string(space.profileBytes) + " bytes at offset " +
                std::to_string(space.profileOffset);
    } else {
        words = type == "Win " ? "the system's default" : type;
    }
    return words + " (not applied: pixels are taken as sRGB)";
}

std::string IntentWords(DWORD intent) {
    switch (intent) {
    case 1:
        return "saturation";
    case 2:
        return "relative colorimetric";
    case 4:
        return "perceptual";
    case 8:
        return "absolute colorimetric";
    default:
        return std::to_string(intent);
    }
}

std::string MaskWords(const std::array<DWORD, 4>& masks) {
    char text[96];
    std::snprintf(text, sizeof text, "red %08X, green %08X, blue %08X, alpha %08X", masks[0],
                  masks[1], masks[2], masks[3]);
    return text;
}

LibraryVerdict AskLibrary(const std::string& path) {
    LibraryVerdict verdict;
    CDib picture;
    try {
        LoadPicture(picture, path);
    } catch (const FormatRefusal& refusal) {
        verdict.byFormats = true;
        verdict.words = refusal.Reason();
        return verdict;
    } catch (const Failure&) {
        picture.GetLastError(verdict.kind, verdict.code);
        verdict.words = StatusInWords(verdict.kind, verdict.code, StatusSource::Picture);
        return verdict;
    }
    verdict.accepted = true;
    verdict.picture = DescribePicture(picture);
    return verdict;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string Json(const std::string& path, const FileFacts& facts, const ModuleFacts& module,
                 const LibraryVerdict& verdict) {
    std::ostringstream out;
    out << "  {\"file\": " << JsonString(path);
    if (!facts.readError.empty()) {
        out << ", \"error\": " << JsonString(facts.readError);
    } else {
        out << ", \"file_size\": " << facts.fileBytes
            << ", \"format\": " << JsonString(facts.format);
    }
    if (facts.headersComplete) {
        out << ", \"header_size\": " << facts.headerBytes
            << ", \"header\": " << JsonString(HeaderName(facts.headerBytes))
            << ", \"width\": " << facts.width << ", \"height\": " << facts.height
            << ", \"top_down\": " << (facts.height < 0 ? "true" : "false")
            << ", \"bit_count\": " << facts.bitCount
            << ", \"compression\": " << JsonString(CompressionName(facts.compression))
            << ", \"colour_table_entries\": " << facts.colourEntries
            << ", \"image_size\": " << facts.imageBytes
            << ", \"pixel_offset\": " << facts.pixelOffset;
    }
    if (module.read) {
        const formats::PictureFacts& more = module.facts;
        if (more.format != formats::Format::bmp) {
            out << ", \"header\": " << JsonString(more.header) << ", \"width\": " << more.width
                << ", \"height\": " << more.height << ", \"coding\": " << JsonString(more.coding);
            if (more.format == formats::Format::jpeg) {
                out << ", \"orientation\": " << more.orientation;
            }
        }
        if (more.masks[0] != 0 || more.masks[1] != 0 || more.masks[2] != 0) {
            out << ", \"masks\": [" << more.masks[0] << ", " << more.masks[1] << ", "
                << more.masks[2] << ", " << more.masks[3] << "]";
        }
        if (more.colourSpace.present) {
            out << ", \"colour_space\": {\"type\": "
                << JsonString(FourCharacters(more.colourSpace.type))
                << ", \"text\": " << JsonString(ColourSpaceWords(more.colourSpace))
                << ", \"intent\": " << more.colourSpace.intent
                << ", \"profile_offset\": " << more.colourSpace.profileOffset
                << ", \"profile_size\": " << more.colourSpace.profileBytes << "}";
        }
        out << ", \"reads_as_bits\": " << more.dibBitCount;
    }
    out << ", \"accepted\": " << (verdict.accepted ? "true" : "false");
    if (verdict.accepted) {
        out << ", \"status\": null";
    } else if (verdict.byFormats) {
        out << ", \"status\": {\"kind\": \"format\", \"text\": " << JsonString(verdict.words)
            << "}";
    } else {
        out << ", \"status\": {\"kind\": \"" << KindName(verdict.kind)
            << "\", \"code\": " << verdict.code << ", \"text\": "
            << JsonString(ReasonInWords(verdict.kind, verdict.code, StatusSource::Picture)) << "}";
    }
    out << "}";
    return out.str();
}

std::string Text(const std::string& path, const FileFacts& facts, const ModuleFacts& module,
                 const LibraryVerdict& verdict) {
    std::ostringstream out;
    auto line = [&](const char* key, const std::string& value) {
        char padded[16];
        std::snprintf(padded, sizeof padded, "%-14s", key);
        out << "  " << padded << value << "\n";
    };
    out << path << "\n";
    if (!facts.readError.empty()) {
        line("file", "cannot be read: " + facts.readError);
    } else if (module.read && module.facts.format != formats::Format::bmp) {
        const formats::PictureFacts& more = module.facts;
        line("format", more.header);
        line("size", std::to_string(more.width) + " x " + std::to_string(more.height));
        line("coding", more.coding);
        if (more.format == formats::Format::jpeg && more.orientation != 1) {
            line("orientation", std::to_string(more.orientation) + " (EXIF; applied on reading)");
        }
    } else if (facts.format != "BMP") {
        line("format",
             facts.format == "unknown" ? "not a BMP file" : facts.format + " file, not BMP");
    } else if (!facts.headersComplete) {
        line("format",
             "BMP, " + HeaderName(facts.headerBytes) + " (" + std::to_string(facts.headerBytes) +
                 " bytes)" +
                 (facts.headerBytes == 12 || facts.headerBytes >= 40 ? ", cut short" : ""));
    } else {
        line("format", "BMP, " + HeaderName(facts.headerBytes) + " (" +
                           std::to_string(facts.headerBytes) + " bytes)");
        line("size", std::to_string(facts.width) + " x " +
                         std::to_string(facts.height < 0 ? -facts.height : facts.height) +
                         (facts.height < 0 ? ", top-down" : ", bottom-up"));
        line("bit count", std::to_string(facts.bitCount));
        line("compression", CompressionName(facts.compression));
        line("colour table", std::to_string(facts.colourEntries) +
                                 (facts.colourEntries == 1 ? " entry" : " entries"));
        line("image size", std::to_string(facts.imageBytes) + " bytes" +
                               (facts.imageBytesComputed ? " (computed; the header says 0)" : ""));
        line("pixels at", "offset " + std::to_string(facts.pixelOffset));
        const formats::PictureFacts& more = module.facts;
        if (module.read && (more.masks[0] != 0 || more.masks[1] != 0 || more.masks[2] != 0)) {
            line("masks", MaskWords(more.masks));
        }
        if (module.read && more.colourSpace.present) {
            line("colour space", ColourSpaceWords(more.colourSpace));
            if (more.headerBytes >= 124) {
                line("intent", IntentWords(more.colourSpace.intent));
            }
        }
    }
    if (facts.readError.empty()) {
        line("file size", std::to_string(facts.fileBytes) + " bytes");
    }
    line("library", verdict.accepted ? "accepts it (" + verdict.picture + ")"
                                     : "refuses it: " + verdict.words);
    return out.str();
}

int RunInfo(const std::vector<std::string>& arguments) {
    const ParsedArguments parsed = ParseArguments(arguments, {{"json", 0, false}});
    if (parsed.Operands().empty()) {
        throw UsageError("no file given");
    }
    const bool json = parsed.Has("json");
    int status = kExitSuccess;
    std::string report = json ? "[\n" : "";
    bool first = true;
    for (const std::string& path : parsed.Operands()) {
        const FileFacts facts = ReadFacts(path);
        const ModuleFacts module = ReadModuleFacts(path);
        const LibraryVerdict verdict = AskLibrary(path);
        if (!verdict.accepted) {
            std::fprintf(stderr, "orvel: cannot load '%s': %s\n", path.c_str(),
                         verdict.words.c_str());
            status = kExitFailure;
        }
        if (!first) {
            report += json ? ",\n" : "\n";
        }
        report += json ? Json(path, facts, module, verdict) : Text(path, facts, module, verdict);
        first = false;
    }
    if (json) {
        report += "\n]\n";
    }
    std::fputs(report.c_str(), stdout);
    return status;
}

} // namespace

const Command& InfoCommand() {
    static const Command command{
        "info", "show what BMP, PNG and JPEG files hold and whether they are read",
        "orvel info [--json] FILE...",
        "For each FILE, print what its own headers say (format, header version, size, bit count,\n"
        "compression, colour-table entries, image size, bit-field masks, colour-space data) and\n"
        "whether it is read; when it is not, the reason in words.\n"
        "\n"
        "  --json    print a JSON array with one object per file, for scripts\n"
        "\n"
        "Exit status: 0 when the library accepts every file, 1 when it refuses one or a file\n"
        "cannot be read, 2 for a wrong command line.\n",
        RunInfo};
    return command;
}

} // namespace orvel::cli
