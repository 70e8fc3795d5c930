// Writes the seed corpora of the fuzz targets: make_seeds <folder> fills <folder>/<target>/.
//
// Pictures of every depth are made by the library itself (a patterned 24-bit picture converted to
// each depth and saved); the forms the library reads but never writes (OS/2 core headers, RLE8
// and RLE4 streams with deltas and absolute runs, top-down rows, bit fields, short colour tables,
// direct-colour pictures carrying colour entries) are built byte by byte. The file targets get
// BMP files; the packed-DIB targets get the same pictures without their 14-byte file header.
#include "harness/picture_harness.h"

#include <orvel/orvel.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Little-endian fields, appended.
class Writer {
public:
    Writer& U8(unsigned value) {
        bytes_.push_back(static_cast<std::uint8_t>(value));
        return *this;
    }
    Writer& U16(unsigned value) { return U8(value & 0xFF).U8((value >> 8) & 0xFF); }
    Writer& U32(std::uint32_t value) { return U16(value & 0xFFFF).U16(value >> 16); }
    Writer& Append(const Bytes& more) {
        bytes_.insert(bytes_.end(), more.begin(), more.end());
        return *this;
    }
    Bytes Take() { return std::move(bytes_); }

private:
    Bytes bytes_;
};

struct InfoFields {
    std::int32_t width;
    std::int32_t height;
    unsigned bitCount;
    std::uint32_t compression = BI_RGB;
    std::uint32_t clrUsed = 0;
};

// A BMP file with a 40-byte header: `table` (colours or masks) then `pixels`.
Bytes InfoFile(const InfoFields& info, const Bytes& table, const Bytes& pixels) {
    const auto offBits = static_cast<std::uint32_t>(54 + table.size());
    Writer file;
    file.U16(0x4D42).U32(static_cast<std::uint32_t>(offBits + pixels.size())).U32(0).U32(offBits);
    file.U32(40).U32(static_cast<std::uint32_t>(info.width));
    file.U32(static_cast<std::uint32_t>(info.height)).U16(1).U16(info.bitCount);
    file.U32(info.compression).U32(static_cast<std::uint32_t>(pixels.size()));
    file.U32(2835).U32(2835).U32(info.clrUsed).U32(0);
    return file.Append(table).Append(pixels).Take();
}

// An OS/2 file: 12-byte core header, three-byte colours, rows.
Bytes CoreFile(unsigned width, unsigned height, unsigned bitCount, const Bytes& triples,
               const Bytes& rows) {
    const auto offBits = static_cast<std::uint32_t>(26 + triples.size());
    Writer file;
    file.U16(0x4D42).U32(static_cast<std::uint32_t>(offBits + rows.size())).U32(0).U32(offBits);
    file.U32(12).U16(width).U16(height).U16(1).U16(bitCount);
    return file.Append(triples).Append(rows).Take();
}

// A 32-bit BMP with a 124-byte header whose masks (A8 R8 G8 B8) sit in the header itself.
Bytes V5File(std::int32_t width, std::int32_t height, const Bytes& rows) {
    const std::uint32_t offBits = 14 + 124;
    Writer file;
    file.U16(0x4D42).U32(static_cast<std::uint32_t>(offBits + rows.size())).U32(0).U32(offBits);
    file.U32(124).U32(static_cast<std::uint32_t>(width)).U32(static_cast<std::uint32_t>(height));
    file.U16(1).U16(32).U32(BI_BITFIELDS).U32(static_cast<std::uint32_t>(rows.size()));
    file.U32(2835).U32(2835).U32(0).U32(0);
    file.U32(0x00FF0000).U32(0x0000FF00).U32(0x000000FF).U32(0xFF000000);
    file.U32(0x73524742); // 'sRGB'
    file.Append(Bytes(48, 0)).U32(4).U32(0).U32(0).U32(0);
    return file.Append(rows).Take();
}

Bytes Colours(unsigned count, unsigned entryBytes) {
    Bytes table;
    for (unsigned i = 0; i < count; ++i) {
        table.push_back(static_cast<std::uint8_t>(i * 37));
        table.push_back(static_cast<std::uint8_t>(i * 91 + 7));
        table.push_back(static_cast<std::uint8_t>(255 - i * 13));
        if (entryBytes == 4) {
            table.push_back(0);
        }
    }
    return table;
}

Bytes Pattern(std::size_t count, unsigned seed) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * seed + (i >> 3));
    }
    return bytes;
}

// The library's own pictures: a patterned 24-bit picture at every depth, as SaveAs writes them.
std::vector<std::pair<std::string, Bytes>> LibraryPictures(const std::filesystem::path& scratch) {
    std::vector<std::pair<std::string, Bytes>> pictures;
    const Bytes source = InfoFile({7, 5, 24}, {}, Pattern(24 * 5, 29));
    for (const int depth : {1, 4, 8, 16, 24, 32}) {
        CConvertDib picture(
            reinterpret_cast<BITMAPFILEHEADER*>(const_cast<std::uint8_t*>(source.data())));
        if (!picture.ConvertColor(depth, nullptr) || !picture.IsSucceed()) {
            std::fprintf(stderr, "make_seeds: the %d-bit picture could not be made\n", depth);
            continue;
        }
        const std::filesystem::path path = scratch / "picture.bmp";
        if (!picture.SaveAs(path.string().c_str())) {
            std::fprintf(stderr, "make_seeds: the %d-bit picture could not be saved\n", depth);
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        pictures.emplace_back("depth" + std::to_string(depth),
                              Bytes(std::istreambuf_iterator<char>(in), {}));
    }
    return pictures;
}

// The forms the library reads but never writes.
std::vector<std::pair<std::string, Bytes>> ReaderOnlyPictures() {
    Writer masks565;
    masks565.U32(0xF800).U32(0x07E0).U32(0x001F);
    Writer masks555;
    masks555.U32(0x7C00).U32(0x03E0).U32(0x001F);
    Writer masks32;
    masks32.U32(0x0000FF00).U32(0x00FF0000).U32(0xFF000000);
    return {
        {"core1", CoreFile(9, 2, 1, Colours(2, 3), Pattern(8, 3))},
        {"core4", CoreFile(5, 2, 4, Colours(16, 3), Pattern(8, 5))},
        {"core8", CoreFile(3, 3, 8, Colours(256, 3), Pattern(12, 7))},
        {"core24", CoreFile(2, 2, 24, {}, Pattern(16, 11))},
        // Encoded runs, an absolute run, a delta, end of line, end of picture.
        {"rle8", InfoFile({6, 4, 8, BI_RLE8}, Colours(256, 4),
                          {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 2, 9, 0, 0, 6, 4, 0, 1})},
        {"rle8_runs_past_rows",
         InfoFile({3, 2, 8, BI_RLE8}, Colours(256, 4), {9, 5, 0, 2, 0, 9, 4, 1, 0, 1})},
        {"rle4",
         InfoFile({5, 3, 4, BI_RLE4}, Colours(16, 4),
                  {5, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 0, 0, 2, 1, 0, 3, 0xAB, 0, 1})},
        {"rle4_short_table", InfoFile({5, 2, 4, BI_RLE4, 3}, Colours(3, 4),
                                      {5, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1})},
        {"top_down8", InfoFile({3, -2, 8}, Colours(256, 4), Pattern(8, 13))},
        {"top_down24", InfoFile({2, -3, 24}, {}, Pattern(24, 17))},
        {"bitfields565", InfoFile({3, -2, 16, BI_BITFIELDS}, masks565.Take(), Pattern(16, 19))},
        {"bitfields555", InfoFile({2, 2, 16, BI_BITFIELDS}, masks555.Take(), Pattern(8, 23))},
        {"bitfields32", InfoFile({2, 2, 32, BI_BITFIELDS}, masks32.Take(), Pattern(16, 31))},
        {"short_table4", InfoFile({3, 1, 4, BI_RGB, 3}, Colours(3, 4), Pattern(4, 37))},
        {"short_table8", InfoFile({4, 2, 8, BI_RGB, 5}, Colours(5, 4), Pattern(8, 41))},
        {"direct24_with_entries",
         InfoFile({3, 2, 24, BI_RGB, 16}, Colours(16, 4), Pattern(24, 43))},
        {"direct16_with_entries", InfoFile({2, 2, 16, BI_RGB, 4}, Colours(4, 4), Pattern(8, 47))},
        {"empty_width", InfoFile({0, 3, 8}, Colours(256, 4), {})},
        // Forms only the formats module reads: 2 bits, alpha bit fields, a V5 header.
        {"two_bits", InfoFile({7, 2, 2, BI_RGB, 4}, Colours(4, 4), Pattern(8, 53))},
        {"alpha_bitfields4444",
         InfoFile({3, 2, 16, 6}, Writer().U32(0x0F00).U32(0x00F0).U32(0x000F).U32(0xF000).Take(),
                  Pattern(16, 59))},
        {"v5_bitfields", V5File(3, 2, Pattern(24, 61))},
    };
}

void Write(const std::filesystem::path& path, const std::uint8_t* bytes, std::size_t size) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
}

// A BMP file's picture written as PNG or JPEG by the formats module; false when it has none.
bool EncodedAs(const Bytes& bmp, orvel::formats::Format format, Bytes& encoded) {
    HGLOBAL block = orvel::formats::ReadPicture(bmp.data(), bmp.size(), {}, nullptr);
    if (block == nullptr) {
        return false;
    }
    orvel::formats::WriteOptions options;
    options.jpegQuality = 75; // small seeds mutate faster
    const bool written = orvel::formats::EncodePicture(block, format, options, &encoded, nullptr);
    GlobalFree(block);
    return written;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <folder>\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    std::filesystem::create_directories(root);
    auto pictures = LibraryPictures(root);
    for (auto& picture : ReaderOnlyPictures()) {
        pictures.push_back(std::move(picture));
    }
    for (const orvel::fuzz::Target& target : orvel::fuzz::Targets()) {
        const std::filesystem::path folder = root / std::string(target.name);
        std::filesystem::create_directories(folder);
        // The packed-DIB targets take what follows the file header.
        const bool packed = target.name == "packed_dib" || target.name == "clipboard_dib";
        const std::size_t skip = packed ? sizeof(BITMAPFILEHEADER) : 0;
        const bool png = target.name == "png_reader";
        const bool jpeg = target.name == "jpeg_reader";
        for (const auto& [name, bytes] : pictures) {
            if (png || jpeg) {
                // The same pictures as the formats module writes them.
                Bytes encoded;
                if (EncodedAs(bytes,
                              png ? orvel::formats::Format::png : orvel::formats::Format::jpeg,
                              encoded)) {
                    Write(folder / (name + (png ? ".png" : ".jpg")), encoded.data(),
                          encoded.size());
                }
                continue;
            }
            Write(folder / (name + ".bmp"), bytes.data() + skip, bytes.size() - skip);
        }
    }
    std::filesystem::remove(root / "picture.bmp");
    std::printf("make_seeds: %zu pictures for each of %zu targets in %s\n", pictures.size(),
                orvel::fuzz::Targets().size(), root.string().c_str());
    return 0;
}
