// orvel_bench_inputs: writes the pictures that bench/compare-peers.sh times orvel and its peers on.
//
//   orvel_bench_inputs DIR [SIDE]
//
// writes into DIR, for a SIDE x SIDE picture (default 4096):
//   photo24.bmp    a photo-like 24-bit picture: each channel a gradient in its own direction plus
//                  noise from a fixed linear congruential sequence (the benchmarks' picture)
//   photo8.bmp     the same reduced to 8 bits onto the halftone palette by the library
//   photo8rle.bmp  photo8.bmp run-length encoded (BI_RLE8) by the platform's "mrle" compressor
//   halftone.bmp   a 16 x 16 8-bit picture whose pixel i is entry i of the halftone palette, for
//                  peers that take a palette as a picture of its colours
//   bw.bmp         a 2 x 1 1-bit picture, black then white: the two-colour palette
// Every byte depends on SIDE only, so two runs write the same files.
#include <orvel/orvel.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::size_t Stride(int width, int bitCount) {
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32 * 4;
}

// A packed DIB: header, `colours` RGBQUADs, then zeroed rows.
std::vector<BYTE> PackedDib(int width, int height, int bitCount, int colours) {
    const std::size_t imageBytes = Stride(width, bitCount) * static_cast<std::size_t>(height);
    std::vector<BYTE> packed(sizeof(BITMAPINFOHEADER) + 4U * static_cast<std::size_t>(colours) +
                             imageBytes);
    const BITMAPINFOHEADER header =
        CDibSupport::MakeBIH(width, height, static_cast<WORD>(bitCount), BI_RGB,
                             static_cast<DWORD>(imageBytes), 0, 0, 0, 0);
    std::memcpy(packed.data(), &header, sizeof header);
    return packed;
}

std::vector<BYTE> PhotoPacked(int side) {
    std::vector<BYTE> packed = PackedDib(side, side, 24, 0);
    const std::size_t stride = Stride(side, 24);
    std::uint32_t state = 12345;
    auto noise = [&state] {
        state = state * 1664525U + 1013904223U;
        return static_cast<int>(state >> 27) - 12;
    };
    auto clamp = [](int value) {
        return static_cast<BYTE>(value < 0 ? 0 : (value > 255 ? 255 : value));
    };
    for (int y = 0; y < side; ++y) {
        BYTE* pixel = packed.data() + sizeof(BITMAPINFOHEADER) + stride * static_cast<unsigned>(y);
        for (int x = 0; x < side; ++x) {
            *pixel++ = clamp((x + y) / 32 + noise()); // blue
            *pixel++ = clamp(y / 16 + noise());       // green
            *pixel++ = clamp(255 - x / 16 + noise()); // red
        }
    }
    return packed;
}

void Require(bool ok, const std::string& what) {
    if (!ok) {
        throw std::runtime_error(what);
    }
}

void Save(CDib& picture, const std::string& path) {
    Require(picture.IsSucceed() != 0 && picture.SaveAs(path.c_str()) != 0, "cannot write " + path);
}

// The picture's packed DIB (header, full colour table, rows) copied out of its block.
std::vector<BYTE> PackedOf(const CDib& picture) {
    const CDibInfo view(picture.GetSafeHandle());
    Require(view.GetDIB() != nullptr, "no picture");
    const BITMAPINFOHEADER header = picture.GetBIH();
    const std::size_t bytes = sizeof header + 4U * CDibSupport::GetPaletteEntryNum(header) +
                              CDibSupport::GetImageSize(header);
    const auto* start = reinterpret_cast<const BYTE*>(view.GetBI());
    return std::vector<BYTE>(start, start + bytes);
}

// Compresses an 8-bit picture with "mrle" and writes it as a BI_RLE8 BMP file.
void SaveRunLength(const CDib& picture, const std::string& path) {
    std::vector<BYTE> packed = PackedOf(picture);
    auto* input = reinterpret_cast<BITMAPINFO*>(packed.data());
    const std::size_t formatBytes = sizeof(BITMAPINFOHEADER) + 4U * 256;
    HIC compressor = ICOpen(ICTYPE_VIDEO, mmioFOURCC('m', 'r', 'l', 'e'), ICMODE_COMPRESS);
    Require(compressor != nullptr, "no mrle compressor");
    std::vector<BYTE> format(ICCompressGetFormatSize(compressor, input));
    auto* output = reinterpret_cast<BITMAPINFO*>(format.data());
    Require(ICCompressGetFormat(compressor, input, output) == ICERR_OK, "no RLE8 format");
    std::vector<BYTE> stream(ICCompressGetSize(compressor, input, output));
    Require(ICCompressBegin(compressor, input, output) == ICERR_OK, "cannot begin compressing");
    const DWORD result = ICCompress(compressor, ICCOMPRESS_KEYFRAME, &output->bmiHeader,
                                    stream.data(), &input->bmiHeader, packed.data() + formatBytes,
                                    nullptr, nullptr, 0, 0, 0, nullptr, nullptr);
    ICCompressEnd(compressor);
    ICClose(compressor);
    Require(result == ICERR_OK, "cannot compress");

    BITMAPINFOHEADER header;
    std::memcpy(&header, output, sizeof header);
    BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    Require(out != nullptr, "cannot write " + path);
    const bool written =
        std::fwrite(&file, sizeof file, 1, out) == 1 &&
        std::fwrite(&header, sizeof header, 1, out) == 1 &&
        std::fwrite(format.data() + sizeof header, 4, 256, out) == 256 &&
        std::fwrite(stream.data(), 1, header.biSizeImage, out) == header.biSizeImage;
    Require(std::fclose(out) == 0 && written, "cannot write " + path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: orvel_bench_inputs DIR [SIDE]\n");
        return 2;
    }
    const std::string directory = argv[1];
    const int side = argc == 3 ? std::atoi(argv[2]) : 4096;
    if (side < 16 || side > 16384) {
        std::fprintf(stderr, "orvel_bench_inputs: SIDE must be 16 to 16384\n");
        return 2;
    }
    try {
        std::vector<BYTE> photo = PhotoPacked(side);
        CConvertDib picture(reinterpret_cast<BITMAPINFOHEADER*>(photo.data()));
        Save(picture, directory + "/photo24.bmp");
        Require(picture.ConvertColor(8, nullptr) == 1, "cannot reduce to 8 bits");
        Save(picture, directory + "/photo8.bmp");
        SaveRunLength(picture, directory + "/photo8rle.bmp");

        // The halftone palette as a picture of its 256 colours.
        std::vector<BYTE> indexes = PackedDib(16, 16, 8, 256);
        CPalette halftone;
        Require(CDibSupport::MakeNewPalette(halftone, 8) != 0 && halftone.GetEntryCount() == 256,
                "no halftone palette");
        CDibSupport::GetRGBQUAD(
            &halftone, reinterpret_cast<RGBQUAD*>(indexes.data() + sizeof(BITMAPINFOHEADER)), 8);
        BYTE* pixels = indexes.data() + sizeof(BITMAPINFOHEADER) + 4 * 256;
        for (int i = 0; i < 256; ++i) {
            pixels[i] = static_cast<BYTE>(i);
        }
        CDib palette(reinterpret_cast<BITMAPINFOHEADER*>(indexes.data()));
        Save(palette, directory + "/halftone.bmp");

        // Black then white: the pixel bits 0 and 1 of a 1-bit picture.
        std::vector<BYTE> twoColours = PackedDib(2, 1, 1, 2);
        BYTE* table = twoColours.data() + sizeof(BITMAPINFOHEADER);
        std::memset(table + 4, 255, 3);
        table[8] = 0x40;
        CDib blackWhite(reinterpret_cast<BITMAPINFOHEADER*>(twoColours.data()));
        Save(blackWhite, directory + "/bw.bmp");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "orvel_bench_inputs: %s\n", error.what());
        return 1;
    }
    return 0;
}
