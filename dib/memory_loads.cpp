#include "CDib.h"

#include "../platform/memory/global_memory.h"
#include "detail/block_layout.h"

#include <cstring>

// A complete BMP file image in the caller's memory, bfSize bytes long.
BOOL CDib::Load(BITMAPFILEHEADER* image) {
    DestroyClass();
    if (image == nullptr) {
        return SetProgError(14);
    }
    const DWORD imageBytes = image->bfSize;
    // The caller's bfSize is the only length there is. Its headers are checked in place before a
    // block is made, so a picture over the size limit, or one whose headers do not fit bfSize
    // bytes, is refused without allocating anything for it.
    orvel::dib::detail::BlockLayout layout;
    if (!orvel::dib::detail::InspectBlock(reinterpret_cast<const BYTE*>(image), imageBytes,
                                          layout)) {
        return SetClassError(1);
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, imageBytes);
    if (block == nullptr) {
        return SetSystemError();
    }
    {
        CDibInfo view(block);
        if (view.GetDIB() == nullptr) {
            SetSystemError();
            view.Load(nullptr);
            GlobalFree(block);
            return FALSE;
        }
        std::memcpy(view.GetDIB(), image, imageBytes);
    }
    return InitDib(block);
}

// A packed DIB in the caller's memory: a 40-byte header, its colours and its pixels.
BOOL CDib::Load(BITMAPINFOHEADER* packed) {
    DestroyClass();
    if (packed == nullptr) {
        return SetProgError(14);
    }
    HGLOBAL block = MakeDib(packed, nullptr, nullptr, 0);
    if (block == nullptr) {
        return FALSE;
    }
    return InitDib(block);
}
