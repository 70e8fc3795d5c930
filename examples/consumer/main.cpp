// The smallest application of an installed Orvel: it makes a DIB block header and checks the
// library's arithmetic on it, and, when built with CMake, finds the bitmap resource it embeds.
#include <orvel/orvel.h>

#ifdef ORVEL_CONSUMER_EMBEDS_BITMAP
#include "resource.h"
#endif

#include <cstdio>
#include <cstring>

namespace {

#ifdef ORVEL_CONSUMER_EMBEDS_BITMAP
// logo.bmp is a 24-bit 2 x 2 picture: as a resource, a 40-byte header and two 8-byte rows.
bool FindEmbeddedLogo() {
    HINSTANCE module = AfxFindResourceHandle(MAKEINTRESOURCE(IDB_LOGO), RT_BITMAP);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCE(IDB_LOGO), RT_BITMAP);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr || module != AfxGetInstanceHandle()) {
        return false;
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);
    return header.biSize == 40 && header.biWidth == 2 && header.biHeight == 2 &&
           header.biBitCount == 24 && SizeofResource(module, found) == 40 + 2 * 8;
}
#endif

} // namespace

int main() {
    const BITMAPINFOHEADER header = CDibSupport::MakeBIH(10, 10, 8, BI_RGB, 0, 0, 0, 0, 0);
    const BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);
    if (file.bfOffBits != 1078 || file.bfSize != 1198) {
        std::printf("orvel consumer: unexpected header arithmetic\n");
        return 1;
    }
#ifdef ORVEL_CONSUMER_EMBEDS_BITMAP
    if (!FindEmbeddedLogo()) {
        std::printf("orvel consumer: the embedded bitmap was not found\n");
        return 1;
    }
    std::printf("orvel consumer: embedded bitmap found\n");
#endif
    std::printf("orvel consumer: ok\n");
    return 0;
}
