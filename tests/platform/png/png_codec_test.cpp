// The PNG codec: every DIB depth through a PNG and back, the forms other writers' PNGs take, and
// refusals that leave nothing behind.
#include <orvel/orvel.h>

#include "platform/drawing_helpers.h"
#include "support/live_objects.h"
#include <orvel/platform/png/detail/plain_image_data.h>

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using orvel::png::DecodePng;
using orvel::png::DibLayout;
using orvel::png::EncodePng;
using orvel::png::Error;
using orvel::png::Failure;
using Bytes = std::vector<std::uint8_t>;
using PngCodecTest = orvel::test::LeakCheckedTest;

constexpr std::uint64_t kLimit = std::uint64_t{1} << 30;

/// A packed DIB with a full table of distinct colours and rows of varied bytes; padding is 0.
Bytes MakePackedDib(int width, int height, int bits, BYTE alpha = 0, bool noise = false) {
    std::vector<RGBQUAD> table;
    for (int i = 0; i < (bits <= 8 ? 1 << bits : 0); ++i) {
        table.push_back({BYTE(i * 7), BYTE(255 - i), BYTE(i * 3 + 1), 0});
    }
    orvel::test::TestDib dib(width, height < 0 ? -height : height, bits, height < 0, table);
    const std::uint64_t rowBytes = (std::uint64_t(width) * bits + 7) / 8;
    std::uint32_t random = 1;
    for (int y = 0; y < (height < 0 ? -height : height); ++y) {
        BYTE* row = dib.Bits() + y * dib.Stride();
        for (std::uint64_t x = 0; x < rowBytes; ++x) {
            // Bands of eight rows of a ramp, a tilted plane, a corner and a curve: a PNG writer
            // picks a different filter for each.
            const std::uint64_t u = y;
            const std::uint64_t band[4] = {x * 37 + u * 101 + 5, x + 768 - 3 * u,
                                           std::min<std::uint64_t>(x / 3, u) * 5,
                                           (x * x / 64 + u * u / 32) ^ (x * u % 7)};
            random ^= random << 13, random ^= random >> 17, random ^= random << 5;
            row[x] = bits == 32 && x % 4 == 3 ? alpha : BYTE(noise ? random : band[y / 8 % 4]);
        }
        // Bits past the last pixel of a 1- or 4-bit row are padding too.
        if (width * bits % 8 != 0) {
            row[rowBytes - 1] &= BYTE(0xFF << (8 - width * bits % 8));
        }
    }
    return dib.Packed();
}

/// Decodes and returns the block's bytes (from its information header on).
Bytes Decode(const Bytes& png, DibLayout layout, Error* error = nullptr) {
    HGLOBAL block = DecodePng(png.data(), png.size(), layout, kLimit, error);
    if (block == nullptr) {
        return {};
    }
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0U);
    const Bytes all = orvel::test::BlockBytes(block);
    GlobalFree(block);
    const std::size_t skip = layout == DibLayout::withFileHeader ? 14 : 0;
    if (skip != 0) {
        EXPECT_EQ(all[0] | all[1] << 8, DIB_SIGNATURE);
        EXPECT_EQ(orvel::test::U32At(all, 2), all.size());
        const int bitCount = all[28];
        EXPECT_EQ(orvel::test::U32At(all, 10), 54 + (bitCount <= 8 ? 4U << bitCount : 0U));
    }
    return Bytes(all.begin() + static_cast<std::ptrdiff_t>(skip), all.end());
}

std::size_t BigEndian32(const Bytes& bytes, std::size_t at) {
    return std::size_t{bytes[at]} << 24 | std::size_t{bytes[at + 1]} << 16 |
           std::size_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

std::vector<std::size_t> ChunksOf(const Bytes& png, const char* type);

/// The filtered rows of a PNG: its IDAT chunks joined and inflated whole, which checks the zlib
/// stream's header and checksum (libpng stops reading once it has every row).
Bytes FilteredRows(const Bytes& png, std::size_t expectedBytes) {
    Bytes stream;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = BigEndian32(png, at);
        if (std::memcmp(png.data() + at + 4, "IDAT", 4) == 0) {
            stream.insert(stream.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
        }
        at += 12 + length;
    }
    Bytes rows(expectedBytes + 1);
    uLongf size = rows.size();
    EXPECT_EQ(uncompress(rows.data(), &size, stream.data(), stream.size()), Z_OK);
    EXPECT_EQ(size, expectedBytes);
    rows.resize(size);
    return rows;
}

Bytes Encode(const Bytes& dib) {
    Bytes png;
    Error error;
    EXPECT_TRUE(EncodePng(reinterpret_cast<const BITMAPINFOHEADER*>(dib.data()), dib.size(), {},
                          &png, &error))
        << error.message;
    return png;
}

// The formats module's tests take every depth through its writer and reader (16 bits widened to
// 24 among them); these add top-down sources, the file-header layout and the fourth byte.
struct RoundTrip {
    int bits;
    int width;
    BYTE alpha;      ///< the fourth byte of 32-bit pixels
    int decodedBits; ///< opaque 32 bits come back as 24
    int height = 3;  ///< over 256 KiB of rows: written in strips, each primed with the one before
    int filters = 0; ///< if not 0, bit n: some row is written with filter type n
    bool noise = false; ///< rows of noise, which deflate's faster coder takes
};

class PngRoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(PngRoundTripTest, EveryDepthComesBackWithItsPixels) {
    const RoundTrip c = GetParam();
    const int height = c.height;
    for (int signedHeight : {height, -height}) {
        const Bytes dib = MakePackedDib(c.width, signedHeight, c.bits, c.alpha, c.noise);
        const Bytes png = Encode(dib);
        const std::uint64_t pngRowBytes =
            (std::uint64_t(c.width) * (c.bits == 32 && c.decodedBits == 24 ? 24 : c.bits) + 7) / 8;
        const Bytes filtered = FilteredRows(png, (pngRowBytes + 1) * height);
        int filters = 0;
        for (std::size_t at = 0; at < filtered.size(); at += pngRowBytes + 1) {
            filters |= 1 << filtered[at];
        }
        EXPECT_TRUE(c.filters == 0 || filters == c.filters) << filters;
        if (c.height >= 200) {
            // Strips, and the faster coder where it is chosen, cost under 5% of one zlib stream.
            std::size_t idatBytes = 0;
            for (std::size_t at : ChunksOf(png, "IDAT")) {
                idatBytes += BigEndian32(png, at);
            }
            uLongf oneStream = compressBound(uLong(filtered.size()));
            Bytes deflated(oneStream);
            ASSERT_EQ(compress2(deflated.data(), &oneStream, filtered.data(), filtered.size(), 6),
                      Z_OK);
            EXPECT_LE(idatBytes, oneStream + oneStream / 20) << oneStream;
        }
        for (DibLayout layout : {DibLayout::packed, DibLayout::withFileHeader}) {
            const Bytes back = Decode(png, layout);
            ASSERT_FALSE(back.empty());
            const auto& info = *reinterpret_cast<const BITMAPINFOHEADER*>(back.data());
            EXPECT_EQ(info.biBitCount, c.decodedBits);
            EXPECT_EQ(info.biHeight, height);
            EXPECT_EQ(info.biXPelsPerMeter, 2835);
            const int entries = c.bits <= 8 ? 1 << c.bits : 0;
            EXPECT_TRUE(
                std::equal(dib.begin() + 40, dib.begin() + 40 + entries * 4, back.begin() + 40));
            const std::uint64_t inStride = orvel::test::StrideOf(c.width, c.bits);
            const std::uint64_t outStride = orvel::test::StrideOf(c.width, c.decodedBits);
            ASSERT_EQ(back.size(), 40 + entries * 4 + outStride * height);
            for (int y = 0; y < height; ++y) {
                // A top-down source row y is the decoded picture's row height - 1 - y.
                const int sourceRow = signedHeight < 0 ? height - 1 - y : y;
                const BYTE* in = dib.data() + 40 + entries * 4 + sourceRow * inStride;
                const BYTE* out = back.data() + 40 + entries * 4 + y * outStride;
                for (int x = 0; c.bits == 32 && c.decodedBits == 24 && x < c.width; ++x) {
                    ASSERT_TRUE(std::equal(in + 4 * x, in + 4 * x + 3, out + 3 * x));
                }
                if (c.decodedBits == c.bits) {
                    ASSERT_TRUE(std::equal(in, in + inStride, out)) << "row " << y;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PngCodec, PngRoundTripTest,
                         ::testing::Values(RoundTrip{1, 13, 0, 1}, RoundTrip{4, 5, 0, 4},
                                           RoundTrip{8, 3, 0, 8}, RoundTrip{24, 5, 0, 24},
                                           RoundTrip{32, 2, 0, 24}, RoundTrip{32, 3, 0x80, 32},
                                           RoundTrip{8, 1500, 0, 8, 400, 0b00001},
                                           RoundTrip{24, 1000, 0, 24, 300, 0b10111},
                                           RoundTrip{32, 700, 0x80, 32, 200, 0b11110},
                                           RoundTrip{24, 400, 0, 24, 300, 0, true}));

/// A PNG written by libpng itself from top-down rows of already packed samples.
Bytes WritePng(int width, int height, int bitDepth, int colourType, const Bytes& samples,
               const std::vector<png_color>& palette = {}, const Bytes& trnsAlpha = {},
               bool interlaced = false) {
    Bytes png;
    png_structp writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(writer);
    png_set_write_fn(
        writer, &png,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* out = static_cast<Bytes*>(png_get_io_ptr(p));
            out->insert(out->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(writer, info, width, height, bitDepth, colourType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, 0, 0);
    if (!palette.empty()) {
        png_set_PLTE(writer, info, palette.data(), int(palette.size()));
    }
    if (!trnsAlpha.empty()) {
        png_set_tRNS(writer, info, trnsAlpha.data(), int(trnsAlpha.size()), nullptr);
    }
    // libpng checks indexes against the palette it writes; the test writes a bad one on purpose.
    png_set_check_for_invalid_index(writer, 0);
    png_write_info(writer, info);
    const std::size_t rowBytes = samples.size() / height;
    std::vector<png_bytep> rows;
    for (int y = 0; y < height; ++y) {
        rows.push_back(const_cast<png_bytep>(samples.data() + y * rowBytes));
    }
    png_write_image(writer, rows.data());
    png_write_end(writer, nullptr);
    png_destroy_write_struct(&writer, &info);
    return png;
}

struct ForeignPng {
    const char* what;
    Bytes png;
    int decodedBits;
    Bytes firstDibRowBytes; ///< the DIB's bottom row: the PNG's last
};

TEST_F(PngCodecTest, OtherWritersFormsBecomeTheDepthThatKeepsThem) {
    const std::vector<png_color> three{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    const ForeignPng cases[] = {
        // 2-bit grey widens to 4 bits a pixel, nibbles in order; Adam7 rows arrive whole.
        {"grey2 interlaced",
         WritePng(5, 2, 2, PNG_COLOR_TYPE_GRAY, {0x00, 0x00, 0x1B, 0xC0}, {}, {}, true),
         4,
         {0x01, 0x23, 0x30, 0x00}},
        // Two colours of 8-bit indexes become a 1-bit picture, the leftmost pixel highest.
        {"palette8 of two",
         WritePng(10, 1, 8, PNG_COLOR_TYPE_PALETTE, {1, 0, 1, 1, 0, 0, 0, 0, 1, 1},
                  {three[0], three[1]}),
         1,
         {0xB0, 0xC0, 0x00, 0x00}},
        // A palette of three 8-bit indexes becomes a 4-bit picture.
        {"palette8 short",
         WritePng(3, 1, 8, PNG_COLOR_TYPE_PALETTE, {2, 0, 1}, three),
         4,
         {0x20, 0x10, 0x00, 0x00}},
        // 16-bit samples round to nearest: 25829 is 100.502 of 255 steps.
        {"rgb16",
         WritePng(1, 1, 16, PNG_COLOR_TYPE_RGB, {0x64, 0xE5, 0x64, 0xE4, 0, 0}),
         24,
         {0, 100, 101, 0}},
        // 8-bit grey rows, filtered by libpng against the row above, come back as they were.
        {"grey8",
         WritePng(4, 3, 8, PNG_COLOR_TYPE_GRAY, {10, 20, 30, 40, 15, 27, 36, 45, 21, 30, 43, 55}),
         8,
         {21, 30, 43, 55}},
        // A translucent palette entry keeps its alpha in 32 bits.
        {"palette tRNS",
         WritePng(2, 1, 8, PNG_COLOR_TYPE_PALETTE, {1, 2}, three, {255, 128}),
         32,
         {0, 255, 0, 128, 255, 0, 0, 255}},
    };
    for (const ForeignPng& c : cases) {
        Error error;
        const Bytes dib = Decode(c.png, DibLayout::packed, &error);
        ASSERT_FALSE(dib.empty()) << c.what << ": " << error.message;
        const auto& info = *reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
        EXPECT_EQ(info.biBitCount, c.decodedBits) << c.what;
        const std::size_t rows = 40 + (c.decodedBits <= 8 ? 4 << c.decodedBits : 0);
        EXPECT_EQ(Bytes(dib.begin() + rows, dib.begin() + rows + c.firstDibRowBytes.size()),
                  c.firstDibRowBytes)
            << c.what;
    }
    // 2-bit grey's table is the ramp over its four levels.
    const Bytes grey = Decode(cases[0].png, DibLayout::packed);
    EXPECT_EQ(Bytes(grey.begin() + 40, grey.begin() + 56),
              (Bytes{0, 0, 0, 0, 85, 85, 85, 0, 170, 170, 170, 0, 255, 255, 255, 0}));
}

TEST_F(PngCodecTest, BadDataIsRefusedWithItsKindAndNothingIsLeft) {
    const Bytes good = Encode(MakePackedDib(7, 5, 24));
    Error error;
    const Bytes notPng(good.begin() + 1, good.end());
    EXPECT_TRUE(Decode(notPng, DibLayout::packed, &error).empty());
    EXPECT_EQ(error.failure, Failure::notPng);
    // Cut-off files are the formats module's truncation test, through the same reader.

    Bytes badCrc = good;
    badCrc[29] ^= 1; // IHDR's CRC
    EXPECT_TRUE(Decode(badCrc, DibLayout::packed, &error).empty());
    EXPECT_EQ(error.failure, Failure::corrupt);
    EXPECT_NE(error.message.find("IHDR"), std::string::npos) << error.message;

    const std::vector<png_color> one{{1, 2, 3}};
    EXPECT_TRUE(
        Decode(WritePng(2, 1, 8, PNG_COLOR_TYPE_PALETTE, {0, 1}, one), DibLayout::packed, &error)
            .empty());
    EXPECT_EQ(error.failure, Failure::corrupt);
}

TEST_F(PngCodecTest, HugeClaimsAreRefusedBeforeAnyBlockAndFailedBlocksLeaveNothing) {
    Bytes huge = WritePng(1, 1, 8, PNG_COLOR_TYPE_RGB, {1, 2, 3});
    for (int i : {16, 20}) { // width and height: 100000 each, then IHDR's CRC made right
        huge[i + 1] = 0x01, huge[i + 2] = 0x86, huge[i + 3] = 0xA0;
    }
    const png_uint_32 crc = png_uint_32(crc32(0, huge.data() + 12, 17));
    for (int i = 0; i < 4; ++i) {
        huge[29 + i] = BYTE(crc >> (24 - 8 * i));
    }
    orvel::testing::InjectFault(orvel::testing::kFaultGlobalAlloc, 1);
    Error error;
    EXPECT_TRUE(Decode(huge, DibLayout::packed, &error).empty());
    EXPECT_EQ(error.failure, Failure::tooLarge) << error.message;
    EXPECT_EQ(orvel::testing::FaultSiteCalls(), 0);

    orvel::testing::InjectFault(orvel::testing::kFaultGlobalAlloc, 1);
    EXPECT_TRUE(Decode(Encode(MakePackedDib(3, 3, 8)), DibLayout::packed, &error).empty());
    EXPECT_EQ(error.failure, Failure::noMemory);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

TEST_F(PngCodecTest, EncodingRefusesWhatIsNotACanonicalDibInItsBytes) {
    Bytes dib = MakePackedDib(4, 2, 8);
    Bytes png{1, 2};
    Error error;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
    EXPECT_FALSE(EncodePng(header, dib.size() - 1, {}, &png, &error));
    EXPECT_EQ(error.failure, Failure::badPicture);
    EXPECT_FALSE(EncodePng(header, dib.size(), {10}, &png, &error));
    EXPECT_EQ(error.failure, Failure::unsupported);
    dib[16] = BI_RLE8;
    EXPECT_FALSE(EncodePng(header, dib.size(), {}, &png, &error));
    EXPECT_EQ(error.failure, Failure::badPicture);
    EXPECT_TRUE(png.empty() || png == (Bytes{1, 2}));
}

/// The chunk starting at `at` with its CRC made right again after an edit.
void FixCrc(Bytes& png, std::size_t at) {
    const std::size_t length = BigEndian32(png, at);
    const auto crc = png_uint_32(crc32(0, png.data() + at + 4, uInt(length + 4)));
    for (int i = 0; i < 4; ++i) {
        png[at + 8 + length + i] = BYTE(crc >> (24 - 8 * i));
    }
}

/// Offsets of the chunks of `type`.
std::vector<std::size_t> ChunksOf(const Bytes& png, const char* type) {
    std::vector<std::size_t> found;
    for (std::size_t at = 8; at + 12 <= png.size(); at += 12 + BigEndian32(png, at)) {
        if (std::memcmp(png.data() + at + 4, type, 4) == 0) {
            found.push_back(at);
        }
    }
    return found;
}

/// `png` with its image data replaced by `filtered` deflated into one IDAT chunk.
Bytes WithImageData(const Bytes& png, const Bytes& filtered) {
    const std::vector<std::size_t> idat = ChunksOf(png, "IDAT");
    const std::size_t after = idat.back() + 12 + BigEndian32(png, idat.back());
    uLongf size = compressBound(uLong(filtered.size()));
    Bytes chunk(8 + size + 4);
    EXPECT_EQ(compress(chunk.data() + 8, &size, filtered.data(), filtered.size()), Z_OK);
    chunk.resize(8 + size + 4);
    for (int i = 0; i < 4; ++i) {
        chunk[i] = BYTE(size >> (24 - 8 * i));
    }
    std::memcpy(chunk.data() + 4, "IDAT", 4);
    Bytes out(png.begin(), png.begin() + std::ptrdiff_t(idat[0]));
    const std::size_t at = out.size();
    out.insert(out.end(), chunk.begin(), chunk.end());
    FixCrc(out, at);
    out.insert(out.end(), png.begin() + std::ptrdiff_t(after), png.end());
    return out;
}

// Plain 8-bit pictures are read by a faster path that takes only what it finds clean and
// otherwise hands the file back to libpng: each damage must make it step aside, and the verdict
// on the file must stay libpng's.
TEST_F(PngCodecTest, ThePlainPathTakesCleanFilesAndLeavesTheVerdictOnDamageToLibpng) {
    constexpr int kWidth = 97;
    constexpr int kHeight = 61;
    Bytes samples(kWidth * kHeight * 3);
    std::uint32_t noise = 1;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        // Rows of noise among smooth ones: the stream outgrows libpng's 8 KiB IDAT chunks.
        noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
        const std::size_t row = i / (kWidth * 3);
        samples[i] = row % 3 == 0 ? BYTE(i / 5 + row) : BYTE(noise);
    }
    const Bytes clean = WritePng(kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, samples);
    const std::vector<std::size_t> idat = ChunksOf(clean, "IDAT");
    ASSERT_GE(idat.size(), 2U); // the stream crosses chunks
    const std::size_t cleanIend = ChunksOf(clean, "IEND").at(0);
    const std::size_t lastData = idat.back() + 8 + BigEndian32(clean, idat.back());

    struct Damage {
        const char* what;
        void (*apply)(Bytes& png, std::size_t firstIdat, std::size_t lastData, std::size_t iend);
        Failure verdict;
    };
    const Damage damages[] = {
        {"none", [](Bytes&, std::size_t, std::size_t, std::size_t) {}, Failure::none},
        {"IDAT CRC", [](Bytes& p, std::size_t at, std::size_t, std::size_t) { p[at + 20] ^= 1; },
         Failure::corrupt},
        {"zlib checksum",
         [](Bytes& p, std::size_t, std::size_t end, std::size_t) {
             // The stream's last byte is in the last IDAT, whose CRC is made right.
             p[end - 1] ^= 1;
             std::size_t at = 8;
             while (at + 12 + BigEndian32(p, at) < end) {
                 at += 12 + BigEndian32(p, at);
             }
             FixCrc(p, at);
         },
         Failure::corrupt},
        {"text after the data",
         [](Bytes& p, std::size_t, std::size_t, std::size_t iend) {
             const Bytes text{0, 0, 0, 3, 't', 'E', 'X', 't', 'a', 0, 'b', 0, 0, 0, 0};
             p.insert(p.begin() + std::ptrdiff_t(iend), text.begin(), text.end());
             FixCrc(p, iend);
         },
         Failure::none},
        {"an empty IDAT after the stream",
         [](Bytes& p, std::size_t, std::size_t, std::size_t iend) {
             const Bytes empty{0, 0, 0, 0, 'I', 'D', 'A', 'T', 0, 0, 0, 0};
             p.insert(p.begin() + std::ptrdiff_t(iend), empty.begin(), empty.end());
             FixCrc(p, iend);
         },
         Failure::none},
        {"cut in the data",
         [](Bytes& p, std::size_t at, std::size_t, std::size_t) { p.resize(at + 30); },
         Failure::truncated},
        {"a filter type of 5",
         [](Bytes& p, std::size_t, std::size_t, std::size_t) {
             Bytes rows = FilteredRows(p, (kWidth * 3 + 1) * kHeight);
             rows[(kWidth * 3 + 1) * 7] = 5;
             p = WithImageData(p, rows);
         },
         Failure::corrupt},
        {"no IEND", [](Bytes& p, std::size_t, std::size_t, std::size_t iend) { p.resize(iend); },
         Failure::truncated},
    };
    for (const Damage& d : damages) {
        Bytes png = clean;
        d.apply(png, idat[0], lastData, cleanIend);
        if (orvel::png::detail::PlainImageDataAvailable()) {
            Bytes rows(std::size_t{kWidth} * 3 * kHeight);
            orvel::png::detail::PlainPicture picture;
            picture.file = png.data();
            picture.fileBytes = png.size();
            picture.imageDataOffset = idat[0] + 8;
            picture.width = kWidth;
            picture.height = kHeight;
            picture.pixelBytes = 3;
            picture.dibStride = std::size_t{kWidth} * 3;
            picture.lastDibRow = rows.data() + (kHeight - 1) * picture.dibStride;
            const bool taken = orvel::png::detail::ReadPlainImageData(picture);
            EXPECT_EQ(taken, &d == &damages[0]) << d.what;
            for (int y = 0; taken && y < kHeight; ++y) { // bottom-up, red and blue swapped
                const BYTE* in = samples.data() + y * kWidth * 3;
                const BYTE* out = picture.lastDibRow - y * picture.dibStride;
                for (int x = 0; x < kWidth * 3; x += 3) {
                    ASSERT_EQ(out[x] << 16 | out[x + 1] << 8 | out[x + 2],
                              in[x] | in[x + 1] << 8 | in[x + 2] << 16)
                        << "row " << y << " byte " << x;
                }
            }
        }
        Error error;
        EXPECT_EQ(Decode(png, DibLayout::packed, &error).empty(), d.verdict != Failure::none)
            << d.what;
        EXPECT_EQ(error.failure, d.verdict) << d.what << ": " << error.message;
    }
}

} // namespace
