#include "CDib.h"

#include "../foundation/CDibSupport.h"
#include "../platform/memory/global_memory.h"
#include "detail/block_layout.h"

#include <cstring>

using orvel::dib::detail::BlockLayout;

// An OS/2 core header (12 bytes, three-byte colour entries) becomes a 40-byte header with a
// four-byte colour table in a new block; the rows keep their layout, which both forms share.
BOOL CDib::ChangeCore() {
    CDibInfo view(m_hDib);
    const BYTE* base = view.GetDIB();
    if (base == nullptr) {
        return SetSystemError();
    }
    DWORD headerBytes = 0;
    if (GlobalSize(m_hDib) >= sizeof(BITMAPFILEHEADER) + sizeof headerBytes) {
        std::memcpy(&headerBytes, base + sizeof(BITMAPFILEHEADER), sizeof headerBytes);
    }
    if (headerBytes == sizeof(BITMAPINFOHEADER)) {
        return SetNoError();
    }
    BlockLayout layout;
    if (headerBytes != sizeof(BITMAPCOREHEADER) ||
        !orvel::dib::detail::InspectBlock(base, GlobalSize(m_hDib), layout)) {
        return SetClassError(1);
    }

    // Colours the file does not store stay black: the scratch table starts zeroed.
    RGBQUAD colours[256] = {};
    const BYTE* triple = base + layout.tableOffset;
    for (DWORD i = 0; i < layout.storedEntries; ++i, triple += sizeof(RGBTRIPLE)) {
        colours[i] = {triple[0], triple[1], triple[2], 0};
    }
    BITMAPINFOHEADER header =
        CDibSupport::MakeBIH(layout.width, static_cast<LONG>(layout.geometry.rows), layout.bitCount,
                             BI_RGB, 0, 0, 0, 0, 0);
    HGLOBAL block = MakeDib(&header, const_cast<BYTE*>(base + layout.pixelOffset), colours, 0);
    if (block == nullptr) {
        return FALSE;
    }
    view.Load(nullptr);
    FullUnlock(m_hDib);
    GlobalFree(m_hDib);
    m_hDib = block;
    return SetNoError();
}
