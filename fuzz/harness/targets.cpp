// The five ways attacker-controlled bytes reach the library, each followed by what an
// application does with the picture it got.
#include "picture_follow_up.h"
#include "picture_harness.h"
#include "run_checks.h"
#include "scratch_folder.h"

#include <orvel/orvel.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <vector>

namespace orvel::fuzz {
namespace {

// The failures a load may record for bytes that are not a picture the library takes: class
// error 1 for headers it refuses, and the ceiling for pictures too large to hold.
constexpr std::initializer_list<Outcome> kLoadOutcomes = {kSucceeded, ClassError(1), kOverCeiling};

// Every run: no fault armed, blocks under the ceiling, and every platform object the run made
// gone at its end (the clipboard emptied first: what a run put there is the clipboard's).
template <class Body>
Findings Checked(Body&& body) {
    orvel::testing::ClearFault();
    const orvel::testing::ScopedGlobalAllocLimit ceiling(kRunBlockLimitBytes);
    const orvel::testing::LiveCounts before = orvel::testing::GetLiveCounts();
    RunChecks checks;
    body(checks);
    EmptyTheClipboard();
    const orvel::testing::LiveCounts after = orvel::testing::GetLiveCounts();
    checks.Expect(after == before, "platform objects outlived the run: " +
                                       orvel::testing::LiveCountChanges(before, after));
    return checks.Take();
}

// One run of a load: its outcome checked, and the follow-up on success.
template <class Load>
Findings Run(Load&& load, std::initializer_list<Outcome> loadOutcomes) {
    return Checked([&](RunChecks& checks) {
        CConvertDib picture;
        const BOOL loaded = load(picture);
        checks.ExpectOutcome(picture, loadOutcomes, "the load");
        checks.ExpectConsistent(picture, loaded, "the load");
        if (loaded != FALSE && picture.IsSucceed()) {
            FollowUp(picture, checks);
        }
    });
}

// A global block holding exactly the input.
HGLOBAL BlockOf(Input input) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, input.size());
    if (block != nullptr && !input.empty()) {
        std::memcpy(GlobalLock(block), input.data(), input.size());
        GlobalUnlock(block);
    }
    return block;
}

// What Load(BITMAPINFOHEADER*) reads of a packed DIB: the header, BI_BITFIELDS masks, the full
// colour table of its depth and the image (biSizeImage, or the rows' size when that is 0). 0 when
// the header is one the library refuses before reading past it.
std::uint64_t PackedDibClaim(Input input) {
    BITMAPINFOHEADER header{};
    std::memcpy(&header, input.data(), std::min(input.size(), sizeof header));
    if (header.biSize != sizeof header || header.biWidth < 0) {
        return 0;
    }
    const std::uint64_t rows =
        header.biHeight < 0 ? -static_cast<std::int64_t>(header.biHeight) : header.biHeight;
    const std::uint64_t stride =
        ((static_cast<std::uint64_t>(header.biWidth) * header.biBitCount + 31) >> 3) & ~3ULL;
    const std::uint64_t image = header.biSizeImage != 0 ? header.biSizeImage : stride * rows;
    const std::uint64_t masks = header.biCompression == BI_BITFIELDS ? 12 : 0;
    return sizeof header + masks + 4ULL * CDibSupport::GetPaletteEntryNum(header) + image;
}

} // namespace

Findings RunMemoryImage(Input input) {
    return Run(
        [input](CConvertDib& picture) {
            std::vector<std::uint8_t> image(input.begin(), input.end());
            image.resize(std::max(image.size(), sizeof(BITMAPFILEHEADER)));
            DWORD claimed = 0;
            std::memcpy(&claimed, image.data() + offsetof(BITMAPFILEHEADER, bfSize),
                        sizeof claimed);
            const auto length = static_cast<DWORD>(std::min<std::size_t>(input.size(), UINT32_MAX));
            if (claimed > length) {
                std::memcpy(image.data() + offsetof(BITMAPFILEHEADER, bfSize), &length,
                            sizeof length);
            }
            return picture.Load(reinterpret_cast<BITMAPFILEHEADER*>(image.data()));
        },
        kLoadOutcomes);
}

Findings RunBmpFile(Input input) {
    const std::string path = ScratchPath("input.bmp");
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(input.data()),
               static_cast<std::streamsize>(input.size()));
    return Run([&path](CConvertDib& picture) { return picture.Load(CString(path)); },
               kLoadOutcomes);
}

Findings RunPackedDib(Input input) {
    return Run(
        [input](CConvertDib& picture) {
            std::vector<std::uint8_t> packed(input.begin(), input.end());
            const std::uint64_t claim = PackedDibClaim(input);
            const std::size_t padded = std::max<std::size_t>(
                sizeof(BITMAPINFOHEADER), std::min<std::uint64_t>(claim, kRunBlockLimitBytes));
            packed.resize(std::max(packed.size(), padded));
            return picture.Load(reinterpret_cast<BITMAPINFOHEADER*>(packed.data()));
        },
        kLoadOutcomes);
}

Findings RunClipboardDib(Input input) {
    return Run(
        [input](CConvertDib& picture) {
            HGLOBAL block = BlockOf(input);
            if (OpenClipboard(nullptr)) {
                EmptyClipboard();
                // The clipboard owns the block from here, and frees it when emptied.
                SetClipboardData(CF_DIB, block);
                CloseClipboard();
            }
            return picture.GetClipboard(nullptr);
        },
        // A block of no bytes cannot be locked: program error 14.
        {kSucceeded, ClassError(1), kOverCeiling, kProgError14});
}

Findings RunHandedOverBlock(Input input) {
    return Run([input](CConvertDib& picture) { return picture.AttachHandle(BlockOf(input)); },
               kLoadOutcomes);
}

namespace {

// A file through the formats module's reader, when its first bytes are of `format` (the target
// of each reader stays with its own format). A refusal must name what is wrong and leave nothing
// behind; a picture must be a canonical block that the library keeps as it stands, and is then
// used as any other.
Findings RunFormatReader(Input input, formats::Format format) {
    if (formats::FormatOfBytes(input.data(), input.size()) != format) {
        return {};
    }
    return Checked([&](RunChecks& checks) {
        formats::ReadOptions options;
        // Half the ceiling, so that the module's own limit refuses most huge claims and the
        // ceiling catches any block it makes beyond them.
        options.maxPixelBytes = kRunBlockLimitBytes / 2;
        formats::Error error;
        HGLOBAL block = formats::ReadPicture(input.data(), input.size(), options, &error);
        if (block == nullptr) {
            checks.Expect(error.failure != formats::Failure::none && !error.message.empty(),
                          "a refusal without a reason");
        } else {
            const std::vector<BYTE> made = BlockBytes(block);
            CConvertDib picture;
            const BOOL attached = picture.AttachHandle(block);
            checks.Expect(attached != FALSE && picture.IsSucceed(),
                          "the library refused the module's picture");
            if (attached != FALSE && picture.IsSucceed()) {
                checks.ExpectInstalled(picture, "the module's picture");
                checks.Expect(BlockBytes(picture.GetSafeHandle()) == made,
                              "the library changed the module's picture: it was not canonical");
                FollowUp(picture, checks);
            }
        }
    });
}

/// The CRC-32 a PNG chunk carries, of its type and data.
std::uint32_t ChunkCrc(const std::uint8_t* bytes, std::size_t count) noexcept {
    std::uint32_t crc = 0xFFFFFFFFU;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
        }
    }
    return ~crc;
}

/// `png` with the CRC of every whole chunk made right; false when none was wrong.
bool MendChunkCrcs(std::vector<std::uint8_t>& png) noexcept {
    bool mended = false;
    for (std::size_t at = 8; png.size() >= at && png.size() - at >= 12;) {
        const std::size_t length = std::size_t{png[at]} << 24 | std::size_t{png[at + 1]} << 16 |
                                   std::size_t{png[at + 2]} << 8 | png[at + 3];
        if (length > png.size() - at - 12) {
            break;
        }
        const std::uint32_t crc = ChunkCrc(png.data() + at + 4, length + 4);
        std::uint8_t* stored = png.data() + at + 8 + length;
        for (int i = 0; i < 4; ++i) {
            const auto byte = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
            mended = mended || stored[i] != byte;
            stored[i] = byte;
        }
        at += 12 + length;
    }
    return mended;
}

} // namespace

Findings RunBmpReader(Input input) {
    return RunFormatReader(input, formats::Format::bmp);
}

// Nearly every change a fuzzer makes inside a PNG's chunk breaks its CRC, and the file is then
// refused before its image data is inflated or unfiltered. So the reader also takes each input
// with its CRCs made right, which lets the changes reach the decoders.
Findings RunPngReader(Input input) {
    Findings findings = RunFormatReader(input, formats::Format::png);
    std::vector<std::uint8_t> mended(input.begin(), input.end());
    if (findings.empty() &&
        formats::FormatOfBytes(input.data(), input.size()) == formats::Format::png &&
        MendChunkCrcs(mended)) {
        findings = RunFormatReader(mended, formats::Format::png);
    }
    return findings;
}

Findings RunJpegReader(Input input) {
    return RunFormatReader(input, formats::Format::jpeg);
}

std::span<const Target> Targets() noexcept {
    static constexpr std::array<Target, 8> kTargets = {{
        {"memory_image", RunMemoryImage, 1 << 16},
        {"bmp_file", RunBmpFile, 1 << 16},
        {"packed_dib", RunPackedDib, 1 << 16},
        {"clipboard_dib", RunClipboardDib, 1 << 16},
        {"handed_over_block", RunHandedOverBlock, 1 << 16},
        {"bmp_reader", RunBmpReader, 1 << 16},
        {"png_reader", RunPngReader, 1 << 16},
        {"jpeg_reader", RunJpegReader, 1 << 16},
    }};
    return kTargets;
}

const Target* FindTarget(std::string_view name) noexcept {
    for (const Target& target : Targets()) {
        if (target.name == name) {
            return &target;
        }
    }
    return nullptr;
}

} // namespace orvel::fuzz
