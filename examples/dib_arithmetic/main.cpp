// Makes a DIB block for each depth the library handles and prints its header arithmetic: the
// colour-table length, row stride, image and block sizes, and where the pixels start.
#include <orvel/orvel.h>

#include <cstdio>
#include <cstring>

namespace {

// Builds a blank DIB block for a header, as the library lays every picture out: file header,
// information header, colour table, pixels.
HGLOBAL MakeBlock(const BITMAPINFOHEADER& header) {
    const BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, file.bfSize);
    if (block == nullptr) {
        return nullptr;
    }
    CDibInfo view(block);
    if (view.GetDIB() == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(view.GetDIB(), &file, sizeof file);
    std::memcpy(view.GetBI(), &header, sizeof header);
    return block;
}

} // namespace

int main() {
    std::printf("%-6s %-9s %7s %7s %10s %10s %9s %10s\n", "depth", "size", "entries", "stride",
                "image", "block", "bfOffBits", "GlobalSize");
    const WORD depths[] = {1, 4, 8, 16, 24, 32};
    for (WORD depth : depths) {
        const BITMAPINFOHEADER header =
            CDibSupport::MakeBIH(640, 480, depth, BI_RGB, 0, 0, 0, 0, 0);
        HGLOBAL block = MakeBlock(header);
        if (block == nullptr) {
            std::fprintf(stderr, "dib_arithmetic: no block for %u bits per pixel (error %u)\n",
                         depth, GetLastError());
            return 1;
        }
        CDibInfo view(block);
        const BITMAPINFOHEADER& stored = view.GetBI()->bmiHeader;
        const auto* file = reinterpret_cast<const BITMAPFILEHEADER*>(view.GetDIB());
        std::printf("%-6u %4dx%-4d %7u %7u %10u %10u %9u %10zu\n", stored.biBitCount,
                    stored.biWidth, stored.biHeight, CDibSupport::GetPaletteEntryNum(stored),
                    CDibSupport::GetBytePerLine(stored), CDibSupport::GetImageSize(stored),
                    CDibSupport::GetDIBSize(stored), file->bfOffBits, GlobalSize(block));
        view.Load(nullptr);
        GlobalFree(block);
    }
    return 0;
}
