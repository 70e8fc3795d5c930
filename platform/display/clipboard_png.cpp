// image/png on the desktop's clipboard, through the platform's PNG codec.
#include "../png/png_codec.h"
#include "../win/error.h"
#include "clipboard_formats.h"

#include <new>

namespace orvel::platform::detail {
namespace {

// The largest picture another program's PNG may bring: the size of the largest picture the
// library takes; the library refuses anything larger when it reads the block anyway.
constexpr std::uint64_t kMaxForeignPixelBytes = std::uint64_t{1} << 30;

// The clipboard hands a picture over; it does not store it. The fastest compression keeps a
// 48 MiB picture's hand-over short, and every reader decodes any level alike.
constexpr int kClipboardCompressionLevel = 1;

} // namespace

std::shared_ptr<const std::vector<BYTE>>
PngFromPackedDib(const std::vector<BYTE>& packedDib) noexcept {
    if (packedDib.size() < sizeof(BITMAPINFOHEADER)) {
        return nullptr;
    }
    try {
        auto png = std::make_shared<std::vector<std::uint8_t>>();
        orvel::png::WriteOptions options;
        options.compressionLevel = kClipboardCompressionLevel;
        orvel::png::Error error;
        if (!orvel::png::EncodePng(reinterpret_cast<const BITMAPINFOHEADER*>(packedDib.data()),
                                   packedDib.size(), options, png.get(), &error)) {
            return nullptr;
        }
        return png;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

HGLOBAL PackedDibFromPng(const std::vector<BYTE>& png) noexcept {
    orvel::png::Error error;
    HGLOBAL block = orvel::png::DecodePng(png.data(), png.size(), orvel::png::DibLayout::packed,
                                          kMaxForeignPixelBytes, &error);
    if (block == nullptr) {
        SetLastError(error.failure == orvel::png::Failure::noMemory ? ERROR_NOT_ENOUGH_MEMORY
                                                                    : ERROR_INVALID_DATA);
    }
    return block;
}

} // namespace orvel::platform::detail
