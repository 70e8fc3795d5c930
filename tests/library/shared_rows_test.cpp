// Work shared among the worker threads gives the same bytes as on one thread: every case —
// conversions, resizes, run-length decoding, drawing — runs here, with the process's pool, and in
// a forked child whose pool has one thread, and the results are compared.
#include <orvel/orvel.h>

#include "support/bmp_builder.h"
#include "support/processes.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string_view>
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
    {1, 0, false, {6001, 1500}},
    {4, 0, false, {1001, 2101}},
    {32, 0, false, {2003, 350}},
    {16, 0, false, {5000, 701}},
};

// 0 for no bytes: every case must produce some.
std::uint64_t Hash(const std::vector<BYTE>& bytes) {
    return bytes.empty() ? 0
                         : std::hash<std::string_view>{}(std::string_view(
                               reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// A packed run-length DIB of kWidth x kHeight whose stream has every kind of code: runs,
// absolute runs, deltas, and runs that spill past a row's end into the next rows (which the later
// rows' codes overwrite). Cut short, it stops two thirds of the way without an end code.
std::vector<BYTE> RunLengthFile(int bitCount, bool cutShort) {
    std::mt19937 random(bitCount);
    std::vector<BYTE> stream;
    for (int y = 0; y < kHeight; ++y) {
        // One row in 32 spills its last run into the next rows; the others end at their edge.
        const bool spills = random() % 32 == 0;
        int x = 0;
        while (x < kWidth) {
            const std::uint32_t value = random();
            const int room = kWidth - x;
            int count = 1 + static_cast<int>(value % 200);
            count = spills ? count : std::min(count, room);
            unsigned kind = (value >> 8U) % 8;
            kind = kind == 0 && count < 3 ? 2 : kind;
            switch (kind) {
            case 0: { // an absolute run, padded to whole 16-bit words
                stream.insert(stream.end(), {0, static_cast<BYTE>(count)});
                const int bytes = bitCount == 8 ? (count + 1) / 2 * 2 : (count + 3) / 4 * 2;
                for (int i = 0; i < bytes; ++i) {
                    stream.push_back(static_cast<BYTE>(random()));
                }
                break;
            }
            case 1: { // a delta: a few columns right, sometimes a row up
                const int up = (value >> 16U) % 5 == 0 && y + 1 < kHeight ? 1 : 0;
                count = std::min(count % 9, room);
                stream.insert(stream.end(),
                              {0, 2, static_cast<BYTE>(count), static_cast<BYTE>(up)});
                y += up;
                break;
            }
            default:
                stream.insert(stream.end(),
                              {static_cast<BYTE>(count), static_cast<BYTE>(value >> 16U)});
                break;
            }
            x += count;
        }
        stream.insert(stream.end(), {0, 0});
    }
    stream.insert(stream.end(), {0, 1});
    if (cutShort) {
        stream.resize(stream.size() * 2 / 3);
    }
    using namespace orvel::test;
    return MakeBmp({.width = kWidth,
                    .height = kHeight,
                    .bitCount = static_cast<std::uint16_t>(bitCount),
                    .compression = static_cast<std::uint32_t>(bitCount == 8 ? BI_RLE8 : BI_RLE4),
                    .sizeImage = static_cast<std::uint32_t>(stream.size()),
                    .table = Colours(1U << bitCount),
                    .pixels = stream});
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

// StretchDIBits of the 24-bit picture, enlarged by half onto a 32-bit bitmap, or shrunk onto an
// 8-bit one under `palette` (each pixel then asks the nearest-colour search), read back whole.
std::uint64_t DrawingHash(int targetBits, CPalette& palette) {
    CConvertDib picture(CSize(kWidth, kHeight), 0, 24, nullptr);
    FillPixels(picture);
    const CSize size = targetBits == 32 ? CSize(kWidth * 3 / 2, kHeight * 3 / 2)
                                        : CSize(kWidth * 2 / 3, kHeight * 2 / 3);
    const HDC dc = ::CreateCompatibleDC(nullptr);
    const HBITMAP surface =
        ::CreateBitmap(size.cx, size.cy, 1, static_cast<UINT>(targetBits), nullptr);
    const HGDIOBJ previous = ::SelectObject(dc, surface);
    const HPALETTE previousPalette = ::SelectPalette(dc, palette, FALSE);
    ::RealizePalette(dc);
    // Room for a colour table after the header: GetDIBits fills one at 8 bits.
    std::vector<BYTE> info = orvel::test::Packed(
        orvel::test::MakeBmp({.width = size.cx,
                              .height = size.cy,
                              .bitCount = static_cast<std::uint16_t>(targetBits),
                              .table = orvel::test::Bytes(1024, 0)}));
    std::vector<BYTE> pixels(orvel::test::StrideOf(size.cx, targetBits) *
                             static_cast<std::size_t>(size.cy));
    std::uint64_t hash = 0;
    {
        CDibInfo view(picture.GetSafeHandle());
        if (::StretchDIBits(dc, 0, 0, size.cx, size.cy, 0, 0, kWidth, kHeight, view.GetImage(),
                            view.GetBI(), DIB_RGB_COLORS, SRCCOPY) != 0) {
            ::SelectObject(dc, previous); // GetDIBits reads a bitmap no context holds
            if (::GetDIBits(dc, surface, 0, static_cast<UINT>(size.cy), pixels.data(),
                            reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS) != 0) {
                hash = Hash(pixels);
            }
        }
    }
    ::SelectObject(dc, previous);
    ::SelectPalette(dc, previousPalette, FALSE);
    ::DeleteObject(surface);
    ::DeleteDC(dc);
    return hash;
}

// Every case's whole result, hashed.
std::vector<std::uint64_t> RunCases() {
    std::vector<PALETTEENTRY> entries(200);
    std::mt19937 random(11);
    for (PALETTEENTRY& entry : entries) {
        const std::uint32_t value = random();
        entry = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8U),
                 static_cast<BYTE>(value >> 16U), 0};
    }
    CPalette palette;
    palette.Attach(orvel::test::MakePalette(entries));

    std::vector<std::uint64_t> hashes;
    for (const int bitCount : {8, 4}) {
        for (const bool cutShort : {false, true}) {
            // Decoded by the library, and by the formats module with its own rules.
            const std::vector<BYTE> file = RunLengthFile(bitCount, cutShort);
            std::vector<BYTE> packed = orvel::test::Packed(file);
            CDib picture(reinterpret_cast<BITMAPINFOHEADER*>(packed.data()));
            hashes.push_back(Hash(orvel::test::BlockBytes(picture.GetSafeHandle())));
            HGLOBAL read = orvel::formats::ReadPicture(file.data(), file.size(), {}, nullptr);
            hashes.push_back(Hash(orvel::test::BlockBytes(read)));
            GlobalFree(read);
        }
    }
    for (const int targetBits : {32, 8}) {
        hashes.push_back(DrawingHash(targetBits, palette));
    }
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
        hashes.push_back(Hash(orvel::test::BlockBytes(picture.GetSafeHandle())));
        // The PNGs of a direct-colour and an indexed picture: rows deflated in strips.
        if (shared.to == 24 || (shared.to == 8 && !shared.ownPalette)) {
            std::vector<std::uint8_t> png;
            orvel::formats::EncodePicture(picture.GetSafeHandle(), orvel::formats::Format::png, {},
                                          &png, nullptr);
            hashes.push_back(Hash(png));
        }
    }
    return hashes;
}

TEST(SharedRows, EveryConversionGivesTheSameBytesOnOneThreadAndOnMany) {
    // The child's results come back through a file in the test program's own scratch folder.
    const std::string path = std::filesystem::temp_directory_path() / "shared_rows_alone";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv("ORVEL_THREADS", "1", 1);
        const std::vector<std::uint64_t> alone = RunCases();
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(alone.data());
        orvel::test::WriteFileBytes(path, {bytes, bytes + alone.size() * sizeof alone[0]});
        ::_exit(0);
    }
    const std::vector<std::uint64_t> shared = RunCases();
    int status = -1;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::vector<std::uint8_t> bytes = orvel::test::ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), shared.size() * sizeof shared[0]);
    std::vector<std::uint64_t> alone(shared.size());
    std::memcpy(alone.data(), bytes.data(), bytes.size());
    for (std::size_t i = 0; i < shared.size(); ++i) {
        // RunCases' order: run-length decodes, two drawings, then the conversion table.
        SCOPED_TRACE(::testing::Message() << "result " << i);
        EXPECT_NE(shared[i], 0U);
        EXPECT_EQ(shared[i], alone[i]);
    }
}

} // namespace
