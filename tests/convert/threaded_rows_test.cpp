// Conversions shared among worker threads give the same bytes as on one thread: each case runs
// here, with the process's pool, and in a forked child whose pool has one thread.
#include <orvel/orvel.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

struct SharedCase {
    int from;        // the source's depth, made from the 24-bit picture without a palette
    int to;          // the target depth (ignored when resizing)
    bool ownPalette; // onto a 200-entry palette of arbitrary colours: the search path
    CSize resizeTo;  // a size conversion instead of a colour conversion when not empty
};

// Large enough for every depth to pass the pool's threshold; odd sizes so that no row ends on
// a byte or word boundary.
constexpr int kWidth = 2003;
constexpr int kHeight = 701;

const SharedCase kCases[] = {
    {24, 8, false, {}},
    {24, 8, true, {}},
    {32, 8, false, {}},
    {24, 4, false, {}},
    {24, 1, false, {}},
    {16, 4, true, {}},
    {32, 1, true, {}},
    {8, 24, false, {}},
    {4, 32, false, {}},
    {1, 16, false, {}},
    {24, 16, false, {}},
    {16, 32, false, {}},
    {8, 1, false, {}},
    {4, 8, true, {}},
    {24, 0, false, {4007, 1403}},
    {24, 0, false, {667, 233}},
    {8, 0, false, {3000, 999}},
    {1, 0, false, {4001, 1500}},
    {4, 0, false, {1001, 2101}},
    {32, 0, false, {2003, 350}},
    {16, 0, false, {5000, 701}},
};

std::uint64_t Fnv1a(const BYTE* bytes, std::size_t size) {
    std::uint64_t hash = 1469598103934665603ULL;
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ bytes[i]) * 1099511628211ULL;
    }
    return hash;
}

// The 24-bit picture: noise with runs of equal pixels, as photographs and drawings have.
void FillPixels(CConvertDib& picture) {
    CDibInfo info(picture.GetSafeHandle());
    const std::size_t bytes = CDibSupport::GetBytePerLine(info.GetBI()->bmiHeader) * kHeight;
    std::mt19937 random(7);
    BYTE* pixel = info.GetImage();
    for (std::size_t i = 0; i < bytes; i += 3) {
        const std::uint32_t value = random();
        const std::size_t run = (value >> 24U) % 4 == 0 ? 12 : 3;
        for (std::size_t j = i; j < i + run && j < bytes; ++j) {
            pixel[j] = static_cast<BYTE>(value >> (8 * ((j - i) % 3)));
        }
        i += run - 3;
    }
}

// Every case's whole result block, hashed.
std::vector<std::uint64_t> RunCases() {
    std::vector<BYTE> logical(sizeof(LOGPALETTE) + 200 * sizeof(PALETTEENTRY));
    auto* entries = reinterpret_cast<LOGPALETTE*>(logical.data());
    entries->palVersion = 0x300;
    entries->palNumEntries = 200;
    std::mt19937 random(11);
    for (int i = 0; i < 200; ++i) {
        const std::uint32_t value = random();
        entries->palPalEntry[i] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8U),
                                   static_cast<BYTE>(value >> 16U), 0};
    }
    CPalette palette;
    palette.CreatePalette(entries);

    std::vector<std::uint64_t> hashes;
    for (const SharedCase& shared : kCases) {
        CConvertDib picture(CSize(kWidth, kHeight), 0, 24, nullptr);
        FillPixels(picture);
        if (shared.from != 24) {
            picture.ConvertColor(shared.from, nullptr);
        }
        if (shared.resizeTo.cx != 0) {
            picture.ConvertSize(shared.resizeTo);
        } else {
            picture.ConvertColor(shared.to, shared.ownPalette ? &palette : nullptr);
        }
        const HGLOBAL block = picture.GetSafeHandle();
        const auto* bytes = static_cast<const BYTE*>(::GlobalLock(block));
        hashes.push_back(bytes == nullptr ? 0 : Fnv1a(bytes, ::GlobalSize(block)));
        ::GlobalUnlock(block);
    }
    return hashes;
}

TEST(SharedRows, EveryConversionGivesTheSameBytesOnOneThreadAndOnMany) {
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(channel[0]);
        ::setenv("ORVEL_THREADS", "1", 1);
        const std::vector<std::uint64_t> alone = RunCases();
        const std::size_t size = alone.size() * sizeof alone[0];
        const bool written = ::write(channel[1], alone.data(), size) == static_cast<ssize_t>(size);
        ::_exit(written ? 0 : 1);
    }
    ::close(channel[1]);
    const std::vector<std::uint64_t> shared = RunCases();
    std::vector<std::uint64_t> alone(shared.size());
    std::size_t received = 0;
    const std::size_t size = alone.size() * sizeof alone[0];
    while (received < size) {
        const ssize_t got =
            ::read(channel[0], reinterpret_cast<char*>(alone.data()) + received, size - received);
        if (got <= 0) {
            break;
        }
        received += static_cast<std::size_t>(got);
    }
    ::close(channel[0]);
    int status = -1;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(received, size);
    for (std::size_t i = 0; i < shared.size(); ++i) {
        SCOPED_TRACE(::testing::Message()
                     << "case " << i << ": " << kCases[i].from << " -> " << kCases[i].to
                     << ", size " << kCases[i].resizeTo.cx << " x " << kCases[i].resizeTo.cy);
        EXPECT_NE(shared[i], 0U);
        EXPECT_EQ(shared[i], alone[i]);
    }
}

} // namespace
