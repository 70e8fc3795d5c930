// What the built-in compressors share, and their installation when the platform loads.
#include "detail/builtin_compressors.h"

#include "detail/compressor_registry.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace orvel::platform::detail {
namespace {

constexpr DWORD kBuiltinInstanceId = 1;
constexpr DWORD kMaxColourEntries = 256;

// Installed in this order, which is the order ICInfo enumerates them in.
const bool g_installed = []() noexcept {
    ICInstall(ICTYPE_VIDEO, mmioFOURCC('m', 'r', 'l', 'e'),
              reinterpret_cast<LPARAM>(&Rle8CompressorProc), "Run-length encoding (RLE8)",
              ICINSTALL_FUNCTION);
    ICInstall(ICTYPE_VIDEO, mmioFOURCC('D', 'I', 'B', ' '),
              reinterpret_cast<LPARAM>(&FullFrameCompressorProc), "Full frames (uncompressed)",
              ICINSTALL_FUNCTION);
    return true;
}();

} // namespace

bool ReadFrameLayout(const BITMAPINFOHEADER* format, std::uint64_t allowedDepths,
                     FrameLayout& layout) noexcept {
    if (format == nullptr || format->biSize != sizeof(BITMAPINFOHEADER) ||
        format->biCompression != BI_RGB || format->biWidth <= 0 || format->biHeight <= 0 ||
        format->biPlanes != 1 || format->biBitCount > 32 ||
        (allowedDepths & DepthBit(format->biBitCount)) == 0) {
        return false;
    }
    const WORD bitCount = format->biBitCount;
    DWORD entries = 0;
    if (bitCount <= 8) {
        const DWORD fullTable = DWORD{1} << bitCount;
        entries = format->biClrUsed != 0 ? format->biClrUsed : fullTable;
        if (entries > fullTable || entries > kMaxColourEntries) {
            return false;
        }
    }
    const auto width = static_cast<std::uint64_t>(format->biWidth);
    const auto height = static_cast<std::uint64_t>(format->biHeight);
    const std::uint64_t stride = ((width * bitCount + 31) / 32) * 4;
    const std::uint64_t imageBytes = stride * height;
    if (imageBytes > UINT32_MAX) {
        return false;
    }
    layout.width = static_cast<DWORD>(width);
    layout.height = static_cast<DWORD>(height);
    layout.bitCount = bitCount;
    layout.stride = static_cast<DWORD>(stride);
    layout.imageBytes = static_cast<DWORD>(imageBytes);
    layout.colourEntries = entries;
    return true;
}

LRESULT OpenForCompression(LPARAM openRecord) noexcept {
    auto* open = reinterpret_cast<ICOPEN*>(openRecord);
    if (open == nullptr) {
        return kBuiltinInstanceId; // opened as a plain driver, not as a compressor
    }
    const bool video = open->fccType == ICTYPE_VIDEO;
    const DWORD mode = open->dwFlags;
    if (!video ||
        (mode != ICMODE_COMPRESS && mode != ICMODE_FASTCOMPRESS && mode != ICMODE_QUERY)) {
        open->dwError = ICERR_UNSUPPORTED;
        return 0;
    }
    return kBuiltinInstanceId;
}

LRESULT Describe(const CompressorDescription& description, LPARAM info, LPARAM bytes) noexcept {
    if (info == 0) {
        return sizeof(ICINFO);
    }
    if (bytes <= 0) {
        return 0;
    }
    ICINFO filled{};
    filled.dwSize = sizeof(ICINFO);
    filled.fccType = ICTYPE_VIDEO;
    filled.fccHandler = description.fccHandler;
    filled.dwFlags = description.flags;
    filled.dwVersion = 1;
    filled.dwVersionICM = ICVERSION;
    CopyToWide(description.name, filled.szName, std::size(filled.szName));
    CopyToWide(description.description, filled.szDescription, std::size(filled.szDescription));
    const std::size_t copied = std::min(sizeof filled, static_cast<std::size_t>(bytes));
    std::memcpy(reinterpret_cast<void*>(info), &filled, copied);
    return static_cast<LRESULT>(copied);
}

LRESULT DefaultAnswer(UINT message) noexcept {
    switch (message) {
    case DRV_LOAD:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_FREE:
    case DRV_CLOSE:
        return 1;
    default:
        return message >= DRV_USER ? ICERR_UNSUPPORTED : 0;
    }
}

} // namespace orvel::platform::detail
