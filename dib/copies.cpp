#include "CDib.h"

#include "../platform/memory/global_memory.h"

#include <algorithm>
#include <cstring>

// A deep copy: the copy gets its own block with the source block's bytes and builds its own
// palette from it; the DrawDib handle, the halftone palette and the DrawDib preference stay the
// copy's own.
BOOL CDib::Load(const CDib& source) {
    if (source.IsFailed()) {
        return SetProgError(14);
    }
    // The object is its own source: it already holds that picture, and releasing it first would
    // free the very bytes to be copied.
    if (&source == this) {
        return TRUE;
    }
    CDibInfo sourceView(source.m_hDib);
    DestroyClass();
    const BYTE* sourceBytes = sourceView.GetDIB();
    if (sourceBytes == nullptr) {
        return SetProgError(14);
    }
    // bfSize bytes, as the block says; the block passed the normalisation step, so they lie
    // within it, and the bound only guards a block its owner has since written over through the
    // handle it lends.
    DWORD copyBytes = 0;
    std::memcpy(&copyBytes, sourceBytes + offsetof(BITMAPFILEHEADER, bfSize), sizeof copyBytes);
    copyBytes = static_cast<DWORD>(std::min<SIZE_T>(copyBytes, GlobalSize(source.m_hDib)));
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, copyBytes);
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
        std::memcpy(view.GetDIB(), sourceBytes, copyBytes);
    }
    return InitDib(block);
}

// A null source is a rejected argument: the picture stays.
BOOL CDib::Copy(const CDib* const source) {
    if (source == nullptr) {
        return SetProgError(14);
    }
    return Load(*source);
}

const CDib& CDib::operator=(const CDib& source) {
    if (&source != this) {
        Load(source);
    }
    return *this;
}
