// Run-length decoding speed: a 4096 x 4096 picture of mixed runs, decoded into a block made once
// (the decoders themselves), and loaded whole through the normalisation funnel.
#include <orvel/orvel.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kSide = 4096;

// Rows of short and long encoded runs and absolute runs, as a drawing or a scanned page gives:
// four codes in ten are short runs of up to 16 pixels, three are long runs, three are absolute
// runs of 3 to 64 pixels. Each row ends with an end-of-line code.
std::vector<BYTE> MixedStream(int bitCount) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> kind(0, 9);
    std::vector<BYTE> stream;
    const int rowPixels = kSide;
    for (int row = 0; row < kSide; ++row) {
        for (int x = 0; x < rowPixels;) {
            const int k = kind(random);
            int length = k < 4   ? 1 + static_cast<int>(random() % 16)
                         : k < 7 ? 17 + static_cast<int>(random() % 239)
                                 : 3 + static_cast<int>(random() % 62);
            length = std::min(length, rowPixels - x);
            if (k >= 7 && length >= 3) {
                stream.push_back(0);
                stream.push_back(static_cast<BYTE>(length));
                const int storedBytes = bitCount == 8 ? (length + 1) & ~1 : (length + 3) / 4 * 2;
                for (int i = 0; i < storedBytes; ++i) {
                    stream.push_back(static_cast<BYTE>(random()));
                }
            } else {
                stream.push_back(static_cast<BYTE>(length));
                stream.push_back(static_cast<BYTE>(random()));
            }
            x += length;
        }
        stream.push_back(0);
        stream.push_back(0);
    }
    stream.push_back(0);
    stream.push_back(1);
    return stream;
}

// A BMP file image of the run-length picture.
std::vector<BYTE> RleImage(int bitCount) {
    const std::vector<BYTE> stream = MixedStream(bitCount);
    BITMAPINFOHEADER header = CDibSupport::MakeBIH(kSide, kSide, static_cast<WORD>(bitCount),
                                                   bitCount == 8 ? BI_RLE8 : BI_RLE4,
                                                   static_cast<DWORD>(stream.size()), 0, 0, 0, 0);
    BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);
    std::vector<BYTE> image(file.bfSize);
    std::memcpy(image.data(), &file, sizeof file);
    std::memcpy(image.data() + sizeof file, &header, sizeof header);
    std::memcpy(image.data() + file.bfOffBits, stream.data(), stream.size());
    return image;
}

HGLOBAL BlockOf(const std::vector<BYTE>& bytes) {
    HGLOBAL block = GlobalAlloc(GHND, bytes.size());
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    FullUnlock(block);
    return block;
}

// Reaches the decoders as the object's own decoding step does: the source is the object's block.
class DecodingDib : public CDib {
public:
    void Decode(HGLOBAL source, HGLOBAL destination, int bitCount) {
        m_hDib = source;
        if (bitCount == 8) {
            DecompressRLE8(CDibInfo(source), CDibInfo(destination));
        } else {
            DecompressRLE4(CDibInfo(source), CDibInfo(destination));
        }
        m_hDib = nullptr;
    }
};

void Decoder(benchmark::State& state) {
    const int bitCount = static_cast<int>(state.range(0));
    HGLOBAL source = BlockOf(RleImage(bitCount));
    BITMAPINFOHEADER header =
        CDibSupport::MakeBIH(kSide, kSide, static_cast<WORD>(bitCount), BI_RGB, 0, 0, 0, 0, 0);
    const BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);
    std::vector<BYTE> canonical(file.bfSize);
    std::memcpy(canonical.data(), &file, sizeof file);
    std::memcpy(canonical.data() + sizeof file, &header, sizeof header);
    HGLOBAL destination = BlockOf(canonical);
    DecodingDib dib;
    for (auto _ : state) {
        dib.Decode(source, destination, bitCount);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * CDibSupport::GetImageSize(header));
    GlobalFree(source);
    GlobalFree(destination);
}
BENCHMARK(Decoder)->ArgName("bits")->Arg(8)->Arg(4)->Unit(benchmark::kMillisecond);

// The whole load of a memory image: copy, checks, a new zero-filled block, decoding, palette.
void LoadRunLengthImage(benchmark::State& state) {
    const int bitCount = static_cast<int>(state.range(0));
    std::vector<BYTE> image = RleImage(bitCount);
    CDib dib;
    for (auto _ : state) {
        if (!dib.Load(reinterpret_cast<BITMAPFILEHEADER*>(image.data()))) {
            state.SkipWithError("the load failed");
            break;
        }
    }
    const DWORD pixelBytes = bitCount == 8 ? kSide * kSide : kSide * kSide / 2;
    state.SetBytesProcessed(state.iterations() * pixelBytes);
}
BENCHMARK(LoadRunLengthImage)->ArgName("bits")->Arg(8)->Arg(4)->Unit(benchmark::kMillisecond);

} // namespace
