#include "packed_dib.h"

#include <cstring>

namespace orvel::packed {

bool FindPackedDib(const BITMAPINFOHEADER* header, std::size_t byteCount, PackedDib& dib,
                   std::string& reason) {
    auto refuse = [&reason](std::string what) {
        reason = std::move(what);
        return false;
    };
    if (header == nullptr || byteCount < sizeof(BITMAPINFOHEADER)) {
        return refuse("no 40-byte information header");
    }
    BITMAPINFOHEADER info{};
    std::memcpy(&info, header, sizeof info);
    if (info.biSize != sizeof info) {
        return refuse("a header of " + std::to_string(info.biSize) + " bytes, not 40");
    }
    if (info.biPlanes != 1 || info.biCompression != BI_RGB) {
        return refuse("compressed or multi-plane pixels");
    }
    const int bits = info.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return refuse(std::to_string(bits) + " bits per pixel");
    }
    // The height's sign only says which way rows run.
    const std::int64_t signedHeight = info.biHeight;
    if (info.biWidth <= 0 || signedHeight == 0) {
        return refuse("an empty picture");
    }
    dib.width = static_cast<std::uint32_t>(info.biWidth);
    dib.topDown = signedHeight < 0;
    dib.height = static_cast<std::uint32_t>(signedHeight < 0 ? -signedHeight : signedHeight);
    dib.bitCount = bits;
    dib.xPelsPerMeter = info.biXPelsPerMeter;
    dib.yPelsPerMeter = info.biYPelsPerMeter;
    const std::uint64_t depthEntries = bits <= 8 ? std::uint64_t{1} << bits : 0;
    if (bits <= 8 && info.biClrUsed > depthEntries) {
        return refuse(std::to_string(info.biClrUsed) + " colours for " + std::to_string(bits) +
                      " bits");
    }
    const std::uint64_t tableEntries = info.biClrUsed != 0 ? info.biClrUsed : depthEntries;
    dib.stride = (std::uint64_t{dib.width} * bits + 31) / 32 * 4;
    const std::uint64_t tableOffset = sizeof info;
    const std::uint64_t rowsOffset = tableOffset + tableEntries * sizeof(RGBQUAD);
    // At most 2^31 rows of at most 2^37 bytes: the product is checked before it is formed.
    if (rowsOffset > byteCount || dib.height > (byteCount - rowsOffset) / dib.stride) {
        return refuse("its pixels run past the end of its " + std::to_string(byteCount) + " bytes");
    }
    const auto* base = reinterpret_cast<const BYTE*>(header);
    dib.table = reinterpret_cast<const RGBQUAD*>(base + tableOffset);
    dib.tableEntries = bits <= 8 ? static_cast<int>(tableEntries) : 0;
    dib.rows = base + rowsOffset;
    if (bits == 32) {
        const BYTE* row = dib.rows;
        for (std::uint32_t y = 0; y < dib.height && !dib.hasAlpha; ++y, row += dib.stride) {
            const BYTE* const end = row + std::uint64_t{dib.width} * 4;
            for (const BYTE* alpha = row + 3; alpha < end; alpha += 4) {
                if (*alpha != 0) {
                    dib.hasAlpha = true;
                    break;
                }
            }
        }
    }
    return true;
}

void WidenRow555(const BYTE* row, std::uint32_t width, BYTE* rgb) noexcept {
    const BYTE* const end = row + std::uint64_t{width} * 2;
    for (; row != end; row += 2, rgb += 3) {
        const unsigned pixel = row[0] | unsigned{row[1]} << 8;
        const unsigned red = pixel >> 10 & 0x1F;
        const unsigned green = pixel >> 5 & 0x1F;
        const unsigned blue = pixel & 0x1F;
        rgb[0] = static_cast<BYTE>(red << 3 | red >> 2);
        rgb[1] = static_cast<BYTE>(green << 3 | green >> 2);
        rgb[2] = static_cast<BYTE>(blue << 3 | blue >> 2);
    }
}

} // namespace orvel::packed
