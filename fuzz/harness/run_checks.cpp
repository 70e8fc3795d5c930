#include "run_checks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace orvel::fuzz {
namespace {

constexpr std::size_t kHeadersBytes = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);

bool KeptDepth(WORD bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
           bitCount == 32;
}

// Bytes per bottom-up row, in 64 bits so that no header can wrap it.
std::uint64_t StrideOf(const BITMAPINFOHEADER& header) {
    const auto rowBits = static_cast<std::uint64_t>(header.biWidth) * header.biBitCount;
    return ((rowBits + 31) >> 3) & ~std::uint64_t{3};
}

std::string Named(std::string_view step, std::string_view what) {
    std::string text(step);
    text += ": ";
    text += what;
    return text;
}

} // namespace

Outcome OutcomeOf(const CHTErr& record) {
    Outcome outcome;
    outcome.flag = record.GetLastError(outcome.kind, outcome.code);
    return outcome;
}

std::string Describe(const Outcome& outcome) {
    return "(kind " + std::to_string(outcome.kind) + ", code " + std::to_string(outcome.code) +
           ", flag " + std::to_string(outcome.flag) + ")";
}

void RunChecks::Expect(bool held, std::string_view what) {
    if (!held) {
        findings_.emplace_back(what);
    }
}

void RunChecks::ExpectOutcome(const CHTErr& record, std::initializer_list<Outcome> allowed,
                              std::string_view step) {
    const Outcome outcome = OutcomeOf(record);
    Expect(std::find(allowed.begin(), allowed.end(), outcome) != allowed.end(),
           Named(step, "unexpected status " + Describe(outcome)));
}

void RunChecks::ExpectUnlocked(const CDib& picture, std::string_view step) {
    if (HGLOBAL block = picture.GetSafeHandle(); block != nullptr) {
        Expect((GlobalFlags(block) & GMEM_LOCKCOUNT) == 0, Named(step, "the block is left locked"));
    }
}

void RunChecks::ExpectInstalled(const CDib& picture, std::string_view step) {
    ExpectUnlocked(picture, step);
    Expect(picture.IsSucceed() != FALSE, Named(step, "the record is failed"));
    const std::vector<BYTE> block = BlockBytes(picture.GetSafeHandle());
    if (block.size() < kHeadersBytes) {
        Expect(false, Named(step, "no block with a file and an information header"));
        return;
    }
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER header;
    std::memcpy(&file, block.data(), sizeof file);
    std::memcpy(&header, block.data() + sizeof file, sizeof header);
    const BITMAPINFOHEADER cached = picture.GetBIH();
    Expect(std::memcmp(&cached, &header, sizeof header) == 0,
           Named(step, "the cached header differs from the block's"));
    const bool shapeKept = file.bfType == DIB_SIGNATURE && header.biSize == sizeof header &&
                           header.biPlanes == 1 && header.biCompression == BI_RGB &&
                           header.biWidth >= 0 && header.biHeight >= 0 &&
                           KeptDepth(header.biBitCount);
    Expect(shapeKept, Named(step, "the block is not a canonical bottom-up BI_RGB picture"));
    if (!shapeKept) {
        return;
    }
    const WORD entries = CDibSupport::GetPaletteEntryNum(header);
    const std::uint64_t pixelBytes = StrideOf(header) * static_cast<std::uint64_t>(header.biHeight);
    const std::uint64_t contentEnd = std::uint64_t{file.bfOffBits} + pixelBytes;
    Expect(file.bfOffBits == kHeadersBytes + 4U * entries,
           Named(step, "the pixels do not follow a full colour table"));
    Expect(header.biSizeImage == 0 || header.biSizeImage == pixelBytes,
           Named(step, "biSizeImage is not the rows' own size"));
    Expect(contentEnd <= block.size(), Named(step, "the rows run past the block"));
    Expect(file.bfSize >= contentEnd && file.bfSize <= block.size(),
           Named(step, "bfSize does not cover the picture within the block"));

    const CPalette* palette = picture.GetPalette();
    Expect(palette != nullptr && palette->m_hObject != nullptr, Named(step, "no logical palette"));
    if (palette != nullptr && palette->m_hObject != nullptr && entries != 0) {
        Expect(palette->GetEntryCount() == entries,
               Named(step, "the logical palette does not hold one entry per table entry"));
    }
}

void RunChecks::ExpectConsistent(const CDib& picture, BOOL result, std::string_view step) {
    ExpectUnlocked(picture, step);
    Expect((result != FALSE) == (picture.IsSucceed() != FALSE),
           Named(step, "the result and the record disagree"));
    if (picture.IsSucceed()) {
        ExpectInstalled(picture, step);
    } else if (picture.GetSafeHandle() == nullptr) {
        Expect(picture.GetPalette() == nullptr,
               Named(step, "an empty object keeps a palette object"));
    }
}

std::vector<BYTE> BlockBytes(HGLOBAL block) {
    std::vector<BYTE> bytes;
    if (block == nullptr) {
        return bytes;
    }
    if (const auto* base = static_cast<const BYTE*>(GlobalLock(block)); base != nullptr) {
        bytes.assign(base, base + GlobalSize(block));
        GlobalUnlock(block);
    }
    return bytes;
}

PictureContent ContentOf(const CDib& picture) {
    PictureContent content;
    const std::vector<BYTE> block = BlockBytes(picture.GetSafeHandle());
    if (block.size() < kHeadersBytes) {
        return content;
    }
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER header;
    std::memcpy(&file, block.data(), sizeof file);
    std::memcpy(&header, block.data() + sizeof file, sizeof header);
    content.width = header.biWidth;
    content.height = header.biHeight;
    content.bitCount = header.biBitCount;
    const std::size_t tableEnd = std::min<std::size_t>(file.bfOffBits, block.size());
    if (tableEnd > kHeadersBytes) {
        content.colours.assign(block.begin() + kHeadersBytes,
                               block.begin() + static_cast<std::ptrdiff_t>(tableEnd));
    }
    const std::uint64_t rowsEnd =
        std::uint64_t{file.bfOffBits} +
        StrideOf(header) * static_cast<std::uint64_t>(std::max<LONG>(header.biHeight, 0));
    if (header.biWidth >= 0 && rowsEnd <= block.size()) {
        content.rows.assign(block.begin() + static_cast<std::ptrdiff_t>(file.bfOffBits),
                            block.begin() + static_cast<std::ptrdiff_t>(rowsEnd));
    }
    return content;
}

void EmptyTheClipboard() {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

} // namespace orvel::fuzz
