// BMP files through the file layer: Load of a whole 4096 x 4096 file (read into a fresh block,
// normalisation, palette) and SaveAs of the picture (one write of the block), at 8 and 24 bits
// per pixel, beside a plain read(2) and write(2) of the same bytes into and out of memory that is
// already there, the floor of both. Bytes are the file's.
//
// The files live in the temporary directory; where that is a disk rather than memory, SaveAs also
// measures the page cache's write-back pressure, as any writer of the same bytes would.
#include <orvel/orvel.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSide = 4096;

std::filesystem::path BenchDirectory() {
    return std::filesystem::temp_directory_path() /
           ("orvel-bmp-bench-" + std::to_string(::getpid()));
}

// A picture of the given depth written once as a BMP file by the library; its path.
std::string PictureFile(int bitCount) {
    std::filesystem::create_directories(BenchDirectory());
    const std::filesystem::path path =
        BenchDirectory() / ("picture" + std::to_string(bitCount) + ".bmp");
    if (!std::filesystem::exists(path)) {
        CDib picture;
        picture.Load(CSize(kSide, kSide), RGB(200, 100, 50), bitCount, nullptr);
        picture.SaveAs(path.c_str());
    }
    return path.string();
}

void BmpFileLoad(benchmark::State& state) {
    const std::string path = PictureFile(static_cast<int>(state.range(0)));
    CDib picture;
    for (auto _ : state) {
        if (!picture.Load(CString(path.c_str()))) {
            state.SkipWithError("the load failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BmpFileLoad)->ArgName("bits")->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

void BmpFileSave(benchmark::State& state) {
    const std::string source = PictureFile(static_cast<int>(state.range(0)));
    const std::string target = (BenchDirectory() / "saved.bmp").string();
    CDib picture(CString(source.c_str()));
    for (auto _ : state) {
        if (!picture.SaveAs(target.c_str())) {
            state.SkipWithError("the save failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(source)));
    std::filesystem::remove(target);
}
BENCHMARK(BmpFileSave)->ArgName("bits")->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

// The floor: the file's bytes read into, and written from, memory that is already mapped.
void PlainReadWriteBaseline(benchmark::State& state) {
    const std::string source = PictureFile(24);
    const std::string target = (BenchDirectory() / "plain.bmp").string();
    std::vector<BYTE> bytes(std::filesystem::file_size(source));
    for (auto _ : state) {
        const int in = ::open(source.c_str(), O_RDONLY);
        const bool read =
            ::read(in, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        ::close(in);
        const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const bool written =
            ::write(out, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        ::close(out);
        if (!read || !written) {
            state.SkipWithError("plain copy failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
    std::filesystem::remove(target);
}
BENCHMARK(PlainReadWriteBaseline)->Unit(benchmark::kMillisecond);

// The directory goes when the program ends.
const struct Cleanup {
    ~Cleanup() {
        std::error_code error;
        std::filesystem::remove_all(BenchDirectory(), error);
    }
} g_cleanup;

} // namespace
